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
                  "optional": ["STRINGDEF", "REGIONDEF"],
                  "properties": {
                    "mesh_file": {
                      "type": "string",
                      "description": "Mesh in the SMS 2DM format, relative to the command file's folder."
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
                        "CFL": {"type": "number", "description": "CFL number.", "minimum": 0.0,
                                "exclusiveMinimum": true, "default": 0.9},
                        "max_time_step": {"type": "number", "description": "Largest time step [s].", "minimum": 0.0,
                                          "exclusiveMinimum": true, "default": 100.0},
                        "minimum_water_depth": {"type": "number", "description": "Wet/dry threshold depth [m].",
                                                "minimum": 0.0, "exclusiveMinimum": true, "default": 0.001},
                        "gravity": {"type": "number", "description": "Gravitational acceleration [m/s2].",
                                    "minimum": 0.0, "exclusiveMinimum": true, "default": 9.81},
                        "safe_mode": {"description": "true: a mass-balance problem ends the run."}
                      }
                    },
                    "INITIAL": {
                      "type": "object",
                      "description": "Initial water surface and discharge.",
                      "required": ["type"],
                      "optional": ["value", "values"],
                      "properties": {
                        "type": {"type": "string", "description": "How the initial state is given.",
                                 "enum": ["dry", "water_surface", "index_table"]},
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
                      "optional": ["regions"],
                      "properties": {
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
                        "optional": ["discharge", "slope", "water_surface", "allow_inflow", "rating"],
                        "properties": {
                          "name": {"type": "string", "description": "Name of the condition."},
                          "type": {"type": "string", "description": "Kind of condition.",
                                   "enum": ["wall", "discharge_inflow", "water_level", "rating_curve",
                                            "normal_outflow", "free_outflow"]},
                          "string": {"type": "string", "description": "Node string of STRINGDEF."},
                          "discharge": {"description": "Series of the inflow [m3/s] over time [s]."},
                          "slope": {"type": "number", "description": "Bed slope for the normal depth [-].",
                                    "minimum": 0.0, "exclusiveMinimum": true},
                          "water_surface": {"description": "Series of the water surface [m] over time [s]."},
                          "allow_inflow": {"description": "false: water may only leave."},
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
                "MORPHOLOGY": {"type": "object", "description": "Bed-load transport and bed evolution."}
              }
            }
          }
        }
      }
    }
  }
})json";

}  // namespace setup
