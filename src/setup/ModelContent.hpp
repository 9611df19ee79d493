// Values of every set, map, datum and parameter the set-up can provide, keyed by catalogue identifier.
// The composed model decides which of them go into the model file.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/Identifiers.hpp"

namespace setup {

/// A table of rows x cols values of one type (maps and integer data: ints; real data: floats).
struct Table {
    bool isInt = false;
    int rows = 0;
    int cols = 1;
    std::vector<int> ints;
    std::vector<float> floats;

    static Table ofInts(int rows, int cols, std::vector<int> values);
    static Table ofFloats(int rows, int cols, std::vector<float> values);
};

/// One parameter: a single value or, for a vector parameter, one row of values.
struct ParameterValue {
    bool isInt = false;
    std::vector<double> values;
};

/// A kernel's timing row: start offset, increment, end offset [s] relative to the start of the run.
struct KernelTiming {
    double start = 0.0, increment = 0.0, end = 0.0;
};

struct ModelContent {
    std::map<model::SetID, int> sets;  ///< element counts
    std::map<model::MapID, Table> maps;
    std::map<model::DataID, Table> data;
    std::vector<std::string> stringNames;  ///< NodeStrg/StrNames, one per node-string piece
    /// x, y, z per node as the mesh file gives them (the float table of Coordnts loses metres at UTM northings);
    /// written beside it for what users see (results file, XDMF, pictures).
    std::vector<double> nodeCoordinates;
    std::map<model::ParameterID, ParameterValue> parameters;
    /// The gauges of GAUGEDEF with the cell (model numbering) that holds each point.
    struct Gauge {
        std::string name;
        double x = 0.0, y = 0.0;
        int cell = -1;
    };
    std::vector<Gauge> gauges;
    /// The node strings of STRINGDEF as lines: their names and rows (string index, x, y) of their nodes.
    std::vector<std::string> lineNames;
    std::vector<std::vector<double>> linePoints;
    std::string crsWkt;  ///< the model's coordinate reference system (".config/crs"), empty when none is known
};

/// The kernel's timing row: the initialisation kernels once at the start, every other kernel every step.
KernelTiming kernelTiming(model::KernelID id);

}  // namespace setup
