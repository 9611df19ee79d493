#include "ConfigurationSchema.hpp"

namespace hydrova {

const char* const configurationSchema = R"json({
  "$schema": "file://HYDROVA_MetaSchema.json",
  "type": "object",
  "description": "Configuration of a HYDROVA simulation.",
  "required": ["SIMULATION"],
  "properties": {
    "SIMULATION": {
      "type": "object",
      "description": "Parameters required for the numerical simulation.",
      "required": ["TIME", "OUTPUT"],
      "optional": ["TIMESTEP", "GAUGES", "COMPRESS"],
      "properties": {
        "TIME": {
          "type": "object",
          "description": "Time parameters of the numerical simulation.",
          "required": ["start", "end", "out"],
          "properties": {
            "start": {
              "type": "number",
              "description": "Time in seconds at which the simulation starts.",
              "minimum": 0.0,
              "default": 0.0
            },
            "end": {
              "type": "number",
              "description": "Total run time in seconds; the simulation stops when it is reached.",
              "minimum": 0.0
            },
            "out": {
              "type": "number",
              "description": "Output interval in seconds.",
              "minimum": 0.0
            }
          }
        },
        "TIMESTEP": {
          "type": "object",
          "required": ["init", "minimum"],
          "properties": {
            "init": {
              "type": "number",
              "description": "Time step used when the CFL criterion is not applicable, e.g. a completely dry domain [s].",
              "minimum": 0.0,
              "exclusiveMinimum": true,
              "default": 0.02
            },
            "minimum": {
              "type": "number",
              "description": "Warning threshold: a time step below it is reported; it does not change the step [s].",
              "minimum": 0.0,
              "exclusiveMinimum": true,
              "default": 0.0001
            }
          }
        },
        "COMPRESS": {
          "description": "true: the results records are stored compressed (HDF5 shuffle and deflate), as with --compress."
        },
        "GAUGES": {
          "type": "object",
          "description": "Recording of the gauges of the model file (GAUGEDEF of the set-up).",
          "optional": ["interval"],
          "properties": {
            "interval": {
              "type": "number",
              "description": "Time between two samples of the gauges [s]; 0 records every step; otherwise linear in time within the step that passes a sampling time.",
              "minimum": 0.0,
              "default": 0.0
            }
          }
        },
        "OUTPUT": {
          "type": "array",
          "description": "Desired output of a numerical simulation",
          "items": {
            "type": "string",
            "enum": ["water_surface", "water_depth", "bottom_elevation", "friction_chezy", "delta_z",
                     "flow_curvature", "flow_radius", "flow_velocity", "spec_discharge", "ns_hyd_discharge",
                     "ns_mor_discharge"]
          }
        }
      }
    }
  }
})json";

}  // namespace hydrova
