#include "setup/SetupSchema.hpp"

namespace setup {

// Booleans and series (a list of pairs or a {"file": ...} object) have no type class in the validator's
// dialect; their form is checked when the command file is read.
const char* const commandFileSchema = R"json({
  "$schema": "file://HYDROVA_MetaSchema.json",
  "type": "object",
  "description": "Set-up command file of a HYDROVA model.",
  "required": ["SETUP"],
  "properties": {
    "SETUP": {
      "type": "object",
      "description": "The model to be set up.",
      "required": ["DOMAIN"],
      "properties": {
        "DOMAIN": {
          "type": "object",
          "description": "The computational domain.",
          "required": ["LAMINA_2D"],
          "properties": {
            "LAMINA_2D": {
              "type": "object",
              "description": "Two-dimensional depth-averaged model on a triangle mesh.",
              "required": ["GEOMETRY", "HYDRAULICS"],
              "optional": ["MORPHOLOGY"],
              "properties": {
                "GEOMETRY": {
                  "type": "object",
                  "description": "Mesh file, node strings and regions of the model.",
                  "required": ["mesh_file"],
                  "optional": ["STRINGDEF", "REGIONDEF", "GAUGEDEF", "bed_raster", "cell_bed", "crs", "material_polygons"],
                  "properties": {
                    "material_polygons": {
                      "type": "object",
                      "description": "Polygons whose integer attribute becomes the material id of the cells inside.",
                      "required": ["file", "attribute"],
                      "properties": {
                        "file": {"type": "string", "description": "Layer as FILE or FILE:LAYER."},
                        "attribute": {"type": "string", "description": "Attribute holding the material id."}
                      }
                    },
                    "mesh_file": {
                      "type": "string",
                      "description": "Mesh in the SMS 2DM format, relative to the command file's folder."
                    },
                    "bed_raster": {
                      "type": "string",
                      "description": "Raster of the bed elevation (any format GDAL reads); overrides the mesh's."
                    },
                    "cell_bed": {
                      "type": "string",
                      "description": "Cell bed: mean of its nodes, or from the raster at the centroid, mean or max.",
                      "enum": ["nodes", "centroid", "mean", "max"]
                    },
                    "crs": {
                      "type": "string",
                      "description": "Coordinate reference system of the model, e.g. EPSG:25832."
                    },
                    "STRINGDEF": {
                      "type": "array",
                      "description": "Node strings of the mesh that the model uses.",
                      "items": {
                        "type": "object",
                        "description": "One node string.",
                        "required": ["name"],
                        "optional": ["upstream_direction"],
                        "properties": {
                          "name": {"type": "string", "description": "Name of the node string in the mesh file."},
                          "upstream_direction": {
                            "type": "string",
                            "description": "Upstream side of a string inside the domain, seen from its first node.",
                            "enum": ["left", "right"]
                          }
                        }
                      }
                    },
                    "GAUGEDEF": {
                      "type": "array",
                      "description": "Named points whose cells the simulation records as time series.",
                      "items": {
                        "type": "object",
                        "description": "One gauge.",
                        "required": ["name", "x", "y"],
                        "properties": {
                          "name": {"type": "string", "description": "Name of the gauge."},
                          "x": {"type": "number", "description": "Abscissa [m] in the mesh's coordinates."},
                          "y": {"type": "number", "description": "Ordinate [m] in the mesh's coordinates."}
                        }
                      }
                    },
                    "REGIONDEF": {
                      "type": "array",
                      "description": "Named groups of material ids.",
                      "items": {
                        "type": "object",
                        "description": "One region.",
                        "required": ["name", "index"],
                        "properties": {
                          "name": {"type": "string", "description": "Name of the region."},
                          "index": {
                            "type": "array",
                            "description": "Material ids of the region's cells.",
                            "items": {"type": "integer"}
                          }
                        }
                      }
                    }
                  }
                },
                "HYDRAULICS": {
                  "type": "object",
                  "description": "Shallow-water flow.",
                  "optional": ["PARAMETER", "INITIAL", "FRICTION", "BOUNDARY", "SOURCE", "FLOOD"],
                  "properties": {
                    "PARAMETER": {
                      "type": "object",
                      "description": "Numerical and physical parameters.",
                      "optional": ["CFL", "max_time_step", "minimum_water_depth", "gravity", "safe_mode"],
                      "properties": {
                        "CFL": {"type": "number", "description": "CFL number (measured stable up to 0.65).",
                                "minimum": 0.0, "exclusiveMinimum": true, "maximum": 1.0, "default": 0.5},
                        "max_time_step": {"type": "number", "description": "Largest time step [s].", "minimum": 0.0,
                                          "exclusiveMinimum": true, "default": 2.0},
                        "minimum_water_depth": {"type": "number", "description": "Wet/dry threshold depth [m].",
                                                "minimum": 1e-6, "maximum": 0.1, "default": 0.001},
                        "gravity": {"type": "number", "description": "Gravitational acceleration [m/s2].",
                                    "minimum": 0.0, "exclusiveMinimum": true, "default": 9.81},
                        "safe_mode": {"description": "true: a mass-balance problem ends the run."}
                      }
                    },
                    "INITIAL": {
                      "type": "object",
                      "description": "Initial water surface and discharge.",
                      "required": ["type"],
                      "optional": ["value", "values", "file", "quantity", "time", "model"],
                      "properties": {
                        "type": {"type": "string", "description": "How the initial state is given.",
                                 "enum": ["dry", "water_surface", "index_table", "raster", "hot_start"]},
                        "file": {"type": "string", "description": "Raster, or results file of a hot start."},
                        "quantity": {"type": "string", "description": "What the raster holds.",
                                     "enum": ["water_surface", "depth"]},
                        "time": {"type": "number", "description": "Time of the stored state of a hot start [s]."},
                        "model": {"type": "string", "description": "Model file of the hot start's results file."},
                        "value": {"type": "number", "description": "Water surface elevation everywhere [m]."},
                        "values": {
                          "type": "array",
                          "description": "Water surface and discharge per material id.",
                          "items": {
                            "type": "object",
                            "required": ["index", "water_surface"],
                            "optional": ["discharge"],
                            "properties": {
                              "index": {"type": "array", "description": "Material ids.", "items": {"type": "integer"}},
                              "water_surface": {"type": "number", "description": "Water surface elevation [m]."},
                              "discharge": {"type": "array", "description": "Specific discharge (qx, qy) [m2/s].",
                                            "items": {"type": "number"}}
                            }
                          }
                        }
                      }
                    },
                    "FRICTION": {
                      "type": "object",
                      "description": "Bottom friction; its presence switches friction on.",
                      "required": ["type", "default_friction"],
                      "optional": ["regions", "raster", "polygons"],
                      "properties": {
                        "raster": {
                          "type": "object",
                          "description": "Land-use raster: friction per pixel class at the cell centroid.",
                          "required": ["file", "classes"],
                          "properties": {
                            "file": {"type": "string", "description": "Raster of classes (any format GDAL reads)."},
                            "classes": {
                              "type": "array",
                              "description": "Friction value of each class.",
                              "items": {
                                "type": "object",
                                "required": ["value", "friction"],
                                "properties": {
                                  "value": {"type": "number", "description": "Pixel value of the class."},
                                  "friction": {"type": "number", "description": "Roughness value of the class."}
                                }
                              }
                            }
                          }
                        },
                        "polygons": {
                          "type": "object",
                          "description": "Polygons with a roughness value attribute (any layer OGR reads).",
                          "required": ["file", "attribute"],
                          "properties": {
                            "file": {"type": "string", "description": "Layer as FILE or FILE:LAYER."},
                            "attribute": {"type": "string", "description": "Attribute holding the roughness."}
                          }
                        },
                        "type": {"type": "string", "description": "Roughness closure.",
                                 "enum": ["manning", "strickler", "log_law", "large_roughness"]},
                        "default_friction": {"type": "number", "description": "Roughness value of every cell.",
                                             "minimum": 0.0},
                        "regions": {
                          "type": "array",
                          "description": "Roughness values per material id.",
                          "items": {
                            "type": "object",
                            "required": ["index", "friction"],
                            "properties": {
                              "index": {"type": "array", "description": "Material ids.", "items": {"type": "integer"}},
                              "friction": {"type": "number", "description": "Roughness value.", "minimum": 0.0}
                            }
                          }
                        }
                      }
                    },
                    "BOUNDARY": {
                      "type": "array",
                      "description": "Boundary conditions on node strings; other boundary edges are walls.",
                      "items": {
                        "type": "object",
                        "description": "One boundary condition.",
                        "required": ["name", "type", "string"],
                        "optional": ["discharge", "slope", "water_surface", "allow_inflow", "rating", "still_level"],
                        "properties": {
                          "name": {"type": "string", "description": "Name of the condition."},
                          "type": {"type": "string", "description": "Kind of condition.",
                                   "enum": ["wall", "discharge_inflow", "water_level", "rating_curve",
                                            "normal_outflow", "free_outflow", "incident_wave"]},
                          "string": {"type": "string", "description": "Node string of STRINGDEF."},
                          "discharge": {"description": "Series of the inflow [m3/s] over time [s]."},
                          "slope": {"type": "number", "description": "Bed slope for the normal depth [-].",
                                    "minimum": 0.0, "exclusiveMinimum": true},
                          "water_surface": {"description": "Series of the water surface [m] over time [s]."},
                          "allow_inflow": {"description": "false: water may only leave."},
                          "still_level": {"type": "number",
                                          "description": "Water surface at rest under an incident wave [m]."},
                          "rating": {"description": "Series of the water surface [m] over the outflow [m3/s]."}
                        }
                      }
                    },
                    "SOURCE": {
                      "type": "array",
                      "description": "Mass sources on regions.",
                      "items": {
                        "type": "object",
                        "description": "One source.",
                        "required": ["name", "type", "region"],
                        "optional": ["intensity", "discharge", "sink"],
                        "properties": {
                          "name": {"type": "string", "description": "Name of the source."},
                          "type": {"type": "string", "description": "Kind of source.", "enum": ["rain", "inflow"]},
                          "region": {"type": "string", "description": "Region of REGIONDEF."},
                          "intensity": {"description": "Series of the rain intensity [mm/h] over time [s]."},
                          "discharge": {"description": "Series of the discharge [m3/s] over time [s]."},
                          "sink": {"type": "string", "description": "Behaviour of a negative source on dry cells.",
                                   "enum": ["exact", "available", "infinity"]}
                        }
                      }
                    },
                    "FLOOD": {"type": "object", "description": "Tracking of flood arrival times and maxima."}
                  }
                },
                "MORPHOLOGY": {
                  "type": "object",
                  "description": "Bed-load transport and bed evolution.",
                  "required": ["BEDMATERIAL", "BEDLOAD"],
                  "optional": ["PARAMETER", "INCIPIENT_MOTION", "SOURCE"],
                  "properties": {
                    "PARAMETER": {
                      "type": "object",
                      "description": "Start of morphology and physical properties.",
                      "optional": ["start_time", "porosity", "fluid_density", "sediment_density"],
                      "properties": {
                        "start_time": {"type": "number", "description": "Time at which the bed starts to move [s].",
                                       "default": 0.0},
                        "porosity": {"type": "number", "description": "Bed porosity [-].", "minimum": 0.0,
                                     "maximum": 1.0, "exclusiveMaximum": true, "default": 0.4},
                        "fluid_density": {"type": "number", "description": "Density of the water [kg/m3].",
                                          "minimum": 0.0, "exclusiveMinimum": true, "default": 1000.0},
                        "sediment_density": {"type": "number", "description": "Density of the grains [kg/m3].",
                                             "minimum": 0.0, "exclusiveMinimum": true, "default": 2650.0}
                      }
                    },
                    "BEDMATERIAL": {
                      "type": "object",
                      "description": "Grain size per material id and the non-erodible layer.",
                      "required": ["grain_size"],
                      "optional": ["regions", "FIXED_BED"],
                      "properties": {
                        "grain_size": {"type": "number", "description": "Median grain size of every cell [m].",
                                       "minimum": 0.0, "exclusiveMinimum": true},
                        "regions": {
                          "type": "array",
                          "description": "Grain sizes per material id.",
                          "items": {
                            "type": "object",
                            "required": ["index", "grain_size"],
                            "properties": {
                              "index": {"type": "array", "description": "Material ids.", "items": {"type": "integer"}},
                              "grain_size": {"type": "number", "description": "Median grain size [m].",
                                             "minimum": 0.0, "exclusiveMinimum": true}
                            }
                          }
                        },
                        "FIXED_BED": {
                          "type": "object",
                          "description": "Non-erodible layer per material id; switches the fixed-bed correction on.",
                          "required": ["type", "regions"],
                          "optional": ["accuracy", "max_iterations"],
                          "properties": {
                            "type": {"type": "string", "description": "How the values are given.",
                                     "enum": ["elevation", "depth"]},
                            "regions": {
                              "type": "array",
                              "description": "Fixed-bed elevation [m] or depth below the initial bed [m] per material id.",
                              "items": {
                                "type": "object",
                                "required": ["index", "value"],
                                "properties": {
                                  "index": {"type": "array", "description": "Material ids.",
                                            "items": {"type": "integer"}},
                                  "value": {"type": "number", "description": "Elevation or depth [m]."}
                                }
                              }
                            },
                            "accuracy": {"type": "number", "description": "Largest accepted overshoot below the fixed bed [m].",
                                         "minimum": 0.0, "exclusiveMinimum": true, "default": 0.001},
                            "max_iterations": {"type": "integer", "description": "Most correction passes per step.",
                                               "minimum": 1, "default": 10}
                          }
                        }
                      }
                    },
                    "BEDLOAD": {
                      "type": "object",
                      "description": "Bed-load formula, direction corrections and morphological boundaries.",
                      "required": ["formula"],
                      "optional": ["coefficient", "exponent", "critical", "factor", "DIRECTION", "BOUNDARY"],
                      "properties": {
                        "formula": {"type": "string", "description": "Bed-load formula.",
                                    "enum": ["meyer_peter_mueller", "shields_power_law", "velocity_power_law",
                                             "engelund_hansen"]},
                        "coefficient": {"type": "number", "description": "Coefficient A of A (x - x_cr)^B.",
                                        "minimum": 0.0, "exclusiveMinimum": true},
                        "exponent": {"type": "number", "description": "Exponent B of A (x - x_cr)^B.",
                                     "minimum": 0.0, "exclusiveMinimum": true},
                        "critical": {"type": "number",
                                     "description": "Critical Shields value [-] or critical velocity [m/s].",
                                     "minimum": 0.0},
                        "factor": {"type": "number", "description": "Calibration factor of every sediment flux.",
                                   "minimum": 0.0, "exclusiveMinimum": true, "default": 1.0},
                        "DIRECTION": {
                          "type": "object",
                          "description": "Deflection of the transport from the flow direction.",
                          "optional": ["IKEDA", "CURVATURE"],
                          "properties": {
                            "IKEDA": {"type": "object", "description": "Lateral bed slope effect.",
                                      "optional": ["factor"],
                                      "properties": {"factor": {"type": "number", "description": "Slope factor (0.3 to 0.6).",
                                                                "minimum": 0.0, "exclusiveMinimum": true,
                                                                "default": 0.45}}},
                            "CURVATURE": {"type": "object", "description": "Secondary-flow effect of curved streamlines.",
                                          "optional": ["factor"],
                                          "properties": {"factor": {"type": "number", "description": "Curvature factor.",
                                                                    "minimum": 0.0, "exclusiveMinimum": true,
                                                                    "default": 7.0}}}
                          }
                        },
                        "BOUNDARY": {
                          "type": "array",
                          "description": "Morphological conditions on node strings; other boundary edges are closed.",
                          "items": {
                            "type": "object",
                            "description": "One morphological condition.",
                            "required": ["name", "type", "string"],
                            "optional": ["level", "limit", "discharge", "distribution", "inflow_only"],
                            "properties": {
                              "name": {"type": "string", "description": "Name of the condition."},
                              "type": {"type": "string", "description": "Kind of condition.",
                                       "enum": ["wall", "bed_level", "sediment_inflow"]},
                              "string": {"type": "string", "description": "Node string of STRINGDEF."},
                              "level": {"description": "Series of the bed level [m] over time [s]."},
                              "limit": {"type": "string", "description": "Which side of the level is kept.",
                                        "enum": ["lower", "upper"]},
                              "discharge": {"description": "Series of the sediment inflow [m3/s of solids] over time [s]."},
                              "distribution": {"type": "string", "description": "How the inflow is spread along the string.",
                                               "enum": ["uniform", "depth", "conveyance"]},
                              "inflow_only": {"description": "false: a negative discharge removes sediment."}
                            }
                          }
                        }
                      }
                    },
                    "INCIPIENT_MOTION": {
                      "type": "object",
                      "description": "Critical value corrected for the local bed slope.",
                      "required": ["formula"],
                      "optional": ["repose_angle"],
                      "properties": {
                        "formula": {"type": "string", "description": "Slope correction.", "enum": ["van_rijn", "chen"]},
                        "repose_angle": {"type": "number", "description": "Angle of repose [degrees].",
                                         "minimum": 0.0, "exclusiveMinimum": true, "maximum": 90.0,
                                         "exclusiveMaximum": true, "default": 30.0}
                      }
                    },
                    "SOURCE": {
                      "type": "array",
                      "description": "Bed material added or removed on regions.",
                      "items": {
                        "type": "object",
                        "description": "One sediment source.",
                        "required": ["name", "region", "discharge"],
                        "optional": ["sink"],
                        "properties": {
                          "name": {"type": "string", "description": "Name of the source."},
                          "region": {"type": "string", "description": "Region of REGIONDEF."},
                          "discharge": {"description": "Series of the bed volume added [m3/s] over time [s]."},
                          "sink": {"type": "string", "description": "How far a negative source may lower the bed.",
                                   "enum": ["exact", "available", "infinity"]}
                        }
                      }
                    }
                  }
                }
              }
            }
          }
        }
      }
    }
  }
})json";

}  // namespace setup
