// Small results files written through the data layer, in the layout the simulation writes: four triangles on
// [0,2] x [0,1], the left square wet, the right one dry.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "dataio/Archive.hpp"
#include "dataio/Factory.hpp"
#include "dataio/ResultReader.hpp"

namespace resultstest {

struct Record {
    double t;
    std::vector<std::vector<double>> hydState;  ///< per cell (H, qx, qy)
    std::vector<std::vector<double>> bottom;    ///< per cell zb; empty: the bed is constant (not a record)
    std::vector<std::vector<double>> stateVar;  ///< per node-string piece, 10 values; empty: none
};

struct Content {
    std::string modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"HYDRAULICS":{}}}}})";
    std::vector<std::string> outputs = {"water_depth"};
    double refValue = 0.0;  ///< Parameters/RefBottomEl; 0: not written
    std::vector<std::string> stringNames;
    std::vector<Record> records;
    std::vector<std::vector<double>> flood;  ///< tracked flood maxima per cell (4 values), written once at record 0
};

/// State at time t: left square at H = 1 with qx = 0.5 + 0.1 t, qy = -0.2; right square dry (H = bed).
inline Record record(double t)
{
    return {t, {{1.0, 0.5 + 0.1 * t, -0.2}, {1.0, 0.5 + 0.1 * t, -0.2}, {0.5, 0, 0}, {0.5, 0, 0}}, {}, {}};
}

inline void write(const std::string& file, const Content& c)
{
    std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(file));
    dataio::Archive::addModel(w.get(), c.modelText);
    std::string outputs;
    for (const auto& o : c.outputs) outputs += (outputs.empty() ? "\"" : ",\"") + o + "\"";
    dataio::Archive::addSimulation(
        w.get(), R"({"SIMULATION":{"OUTPUT":[)" + outputs + R"(],"TIME":{"end":20.0,"out":10.0,"start":0.0}}})");
    // Cells 0 and 1 form the left unit square, cells 2 and 3 the right one.
    w->writeIntScalar("NodesAll/set", 6);
    w->writeDoubleVecVec("NodesAll/Coordnts", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0.5}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0.5}});
    w->writeIntScalar("CellsAll/set", 4);
    w->writeIntVecVec("CellsAll/Topology", {{0, 1, 4}, {0, 4, 3}, {1, 2, 5}, {1, 5, 4}});
    w->writeDoubleVecVec("CellsAll/BottomEl", {{0.0}, {0.0}, {0.5}, {0.5}});  // the set-up copy
    w->writeDoubleScalar("Parameters/MinWaterDepth", 0.001);
    if (c.refValue != 0.0) w->writeDoubleScalar("Parameters/RefBottomEl", c.refValue);
    if (!c.stringNames.empty()) {
        w->writeIntScalar("NodeStrg/set", static_cast<int>(c.stringNames.size()));
        w->writeStringVec("NodeStrg/StrNames", static_cast<int>(c.stringNames.size()), c.stringNames);
    }
    auto put = [&](const std::string& data, int index, double t, const std::vector<std::vector<double>>& table) {
        if (table.empty()) return;
        w->writeDoubleVecVec(dataio::ResultReader::getOutputPath(data, index), table);
        w->attachAttributeDouble(dataio::ResultReader::getOutputPath(data, index), "t", t);
    };
    put("CellsAll/FloodVar", 0, 0.0, c.flood);
    for (std::size_t i = 0; i < c.records.size(); ++i) {
        const Record& r = c.records[i];
        for (const auto& [data, table] : {std::pair{"CellsAll/HydState", &r.hydState},
                                          {"CellsAll/BottomEl", &r.bottom},
                                          {"NodeStrg/StateVar", &r.stateVar}})
            put(data, static_cast<int>(i), r.t, *table);
    }
}

}  // namespace resultstest
