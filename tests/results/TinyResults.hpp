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

/// Cells 0 and 1 form the left unit square, cells 2 and 3 the right one.
inline const std::vector<std::vector<double>>& nodes()
{
    static const std::vector<std::vector<double>> n = {{0, 0, 0.0}, {1, 0, 0.0}, {2, 0, 0.5},
                                                       {0, 1, 0.0}, {1, 1, 0.0}, {2, 1, 0.5}};
    return n;
}
inline const std::vector<std::vector<int>>& cells()
{
    static const std::vector<std::vector<int>> c = {{0, 1, 4}, {0, 4, 3}, {1, 2, 5}, {1, 5, 4}};
    return c;
}

struct Record {
    double t;
    std::vector<std::vector<double>> hydState;  ///< per cell (H, qx, qy)
    std::vector<std::vector<double>> bottom;    ///< per cell zb; empty: the bed is constant (not a record)
    std::vector<std::vector<double>> stateVar;  ///< per node-string piece, 10 values; empty: none
};

struct Content {
    std::string modelText = R"({"SETUP":{"DOMAIN":{"LAMINA_2D":{"HYDRAULICS":{}}}}})";
    std::vector<std::string> outputs = {"water_depth"};
    std::vector<double> bottom = {0.0, 0.0, 0.5, 0.5};  ///< constant bed per cell (set-up copy)
    double minDepth = 0.001;
    bool refBottomEl = false;
    double refValue = 0.0;
    std::vector<std::string> stringNames;
    std::vector<Record> records;
    std::vector<std::vector<double>> flood;  ///< tracked flood maxima per cell (4 values), written once at record 0
    bool writeRecords = true;
};

/// State at time t: left square at H = 1 with qx = 0.5 + 0.1 t, qy = -0.2; right square dry (H = bed).
inline Record record(double t)
{
    Record r;
    r.t = t;
    r.hydState = {{1.0, 0.5 + 0.1 * t, -0.2}, {1.0, 0.5 + 0.1 * t, -0.2}, {0.5, 0, 0}, {0.5, 0, 0}};
    return r;
}

inline void write(const std::string& file, const Content& c)
{
    std::unique_ptr<api::IH5Writer> w(dataio::Factory::createH5Writer(file));
    dataio::Archive::addModel(w.get(), c.modelText);
    std::string outputs;
    for (const auto& o : c.outputs) outputs += (outputs.empty() ? "\"" : ",\"") + o + "\"";
    dataio::Archive::addSimulation(
        w.get(), R"({"SIMULATION":{"OUTPUT":[)" + outputs + R"(],"TIME":{"end":20.0,"out":10.0,"start":0.0}}})");
    w->writeIntScalar("NodesAll/set", static_cast<int>(nodes().size()));
    w->writeDoubleVecVec("NodesAll/Coordnts", nodes());
    w->writeIntScalar("CellsAll/set", static_cast<int>(cells().size()));
    w->writeIntVecVec("CellsAll/Topology", cells());
    std::vector<std::vector<double>> bed;
    for (double z : c.bottom) bed.push_back({z});
    w->writeDoubleVecVec("CellsAll/BottomEl", bed);
    w->writeDoubleScalar("Parameters/MinWaterDepth", c.minDepth);
    if (c.refBottomEl) w->writeDoubleScalar("Parameters/RefBottomEl", c.refValue);
    if (!c.stringNames.empty()) {
        w->writeIntScalar("NodeStrg/set", static_cast<int>(c.stringNames.size()));
        w->writeStringVec("NodeStrg/StrNames", static_cast<int>(c.stringNames.size()), c.stringNames);
    }
    if (!c.flood.empty()) {
        const std::string path = dataio::ResultReader::getOutputPath("CellsAll/FloodVar", 0);
        w->writeDoubleVecVec(path, c.flood);
        w->attachAttributeDouble(path, "t", 0.0);
    }
    if (!c.writeRecords) return;
    for (std::size_t i = 0; i < c.records.size(); ++i) {
        const Record& r = c.records[i];
        const int index = static_cast<int>(i);
        auto put = [&](const std::string& data, const std::vector<std::vector<double>>& table) {
            const std::string path = dataio::ResultReader::getOutputPath(data, index);
            w->writeDoubleVecVec(path, table);
            w->attachAttributeDouble(path, "t", r.t);
        };
        put("CellsAll/HydState", r.hydState);
        if (!r.bottom.empty()) put("CellsAll/BottomEl", r.bottom);
        if (!r.stateVar.empty()) put("NodeStrg/StateVar", r.stateVar);
    }
}

}  // namespace resultstest
