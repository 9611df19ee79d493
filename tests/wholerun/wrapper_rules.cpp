// The rules the kernel wrappers apply around their loops, seen in whole runs: the first-step rule of the time step
// on a dry domain, the mass-conservation kill rule under safe mode, the stops of a run that cannot go on, the
// model-file check. (The water-level boundary is run by the verification cases.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "simulation/ModelFile.hpp"
#include "support/H5Data.hpp"
#include "support/Text.hpp"
#include "support/Tolerance.hpp"
#include "wholerun/WholeRun.hpp"

using testsupport::contains;
using wholerun::Case;
using wholerun::config;

namespace {

/// No edge limits the step: the first is dtInit = 0.1 s, then CFL x max_time_step, the last cut at the end. The
/// default max_time_step is 2 s (dry steps of 1 s with the default CFL 0.5): the former default of 100 s let 50 s
/// of an inflow into a dry basin arrive at once.
TEST(WholeRunWrapperRules, DryDomainTakesTheInitialStepFirstAndTheCappedMaximumAfterwards)
{
    const std::tuple<std::string, double, std::vector<std::string>> rows[] = {
        {R"("CFL": 0.5, "max_time_step": 0.25)", 1.0,
         {"0.1", "0.225", "0.35", "0.475", "0.6", "0.725", "0.85", "0.975", "1"}},
        {"", 2.0, {"0.1", "1.1", "2"}}};
    for (const auto& [parameters, end, expected] : rows) {
        Case c("dry", "--size 10 10 --cells 5 5");
        c.setup("", R"({"PARAMETER": {)" + parameters + R"(}, "INITIAL": {"type": "dry"}})");
        const std::string out = c.run(config(end, end, 0.1), "results.h5", 1, "-l 3").out;
        const std::regex time(" -> time: ([^\n]*)\n");
        std::vector<std::string> times;  // printed at log level 3 after each step
        for (std::sregex_iterator m(out.begin(), out.end(), time), last; m != last; ++m)
            times.push_back((*m)[1]);
        EXPECT_EQ(times, expected) << parameters;
    }
}

/// A pump draws 1 m^3/s by an "exact" sink from 0.1 m of water over a 10 m x 10 m region: the cells run dry after
/// about 10 s and the source kernel reports negative depths. Safe mode ends the run; without it the run goes on, and
/// the 50 cells of the pit report in many steps, but each of the two reporting loops prints at most 10 of them per
/// step and then one line with the number it left out. A run that cannot go on stops with a located message and
/// status 1, its last state written as a record: a time step that stays below TIMESTEP/minimum (here raised above
/// the step the lake admits) and a state that is no longer finite (an inflow of 1e38 m^3/s overflows the
/// single-precision state).
TEST(WholeRunWrapperRules, LostMassEndsSafeRunsOnlyAndRunsThatCannotGoOnStopWithTheCellAndTheLastState)
{
    struct Row {
        const char* tag;
        std::string parameters;
        double level, inflow, minimum, end;
        const char* reason;  ///< of a stop; nullptr for the pump
    };
    const Row rows[] = {
        {"sinksafe", R"("CFL": 0.7, "safe_mode": true)", 0.1, -1.0, 1e-4, 30.0, nullptr},
        {"sinkon", R"("CFL": 0.7, "safe_mode": false)", 0.1, -1.0, 1e-4, 30.0, nullptr},
        {"stalled", "", 1.0, 0.0, 0.5, 100.0,
         "the time step has stayed below SIMULATION/TIMESTEP/minimum = 0.5 s for 100 steps"},
        {"nan", "", 1.0, 1e38, 1e-4, 100.0, "the state of a cell is no longer a finite number"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tag);
        Case c(row.tag, "--size 20 10 --cells 10 5 --material 0:10:1,10:20:2");
        std::ostringstream hydraulics;
        hydraulics << R"({"PARAMETER": {)" << row.parameters << R"(}, "INITIAL": {"type": "water_surface", "value": )"
                   << row.level << R"(}, "SOURCE": [{"name": "q", "type": "inflow", "region": "pit", )"
                   << (row.inflow < 0.0 ? R"("sink": "exact", )" : "") << R"("discharge": [[0, )" << row.inflow
                   << "], [1000, " << row.inflow << "]]}]}";
        c.setup(R"(, "REGIONDEF": [{"name": "pit", "index": [1]}])", hydraulics.str());
        const bool logged = std::string(row.tag) == "sinkon";
        const auto r = c.simulate(config(row.end, row.end / 2, 0.02, R"("water_depth")", 0.0, row.minimum),
                                  "results.h5", 1, logged ? "-l 3" : "");
        EXPECT_EQ(r.status, logged ? 0 : 1) << r.out << r.err;
        EXPECT_EQ(r.out.find("successfully processed") == std::string::npos, !logged);
        if (logged) {
            EXPECT_EQ(r.err.find("not conserved"), std::string::npos) << r.err;
            EXPECT_EQ(c.outputs("results.h5"), 3);
            int mostInAStep = 0;
            std::size_t begin = 0;
            for (std::size_t end = r.out.find(" -> time: "); end != std::string::npos;
                 begin = end, end = r.out.find(" -> time: ", end + 1))
                mostInAStep = std::max(mostInAStep, testsupport::countOf(r.out.substr(begin, end - begin), "MASS BALANCE"));
            EXPECT_EQ(mostInAStep, 20);
            EXPECT_TRUE(contains(r.out, " more such messages of kernel_HYDRAULICS_Source in this step not shown\n"));
        } else if (!row.reason) {
            EXPECT_TRUE(contains(r.out, "MASS BALANCE PROBLEM"));
            EXPECT_TRUE(contains(r.err, " -> ERROR in kernel_HYDRAULICS_Source... LIQUID MASS not conserved\n"));
        } else {
            EXPECT_EQ(r.err.rfind(" -> run stopped at t = ", 0), 0u) << r.err;
            EXPECT_TRUE(contains(r.err, row.reason));
            EXPECT_TRUE(contains(r.err, " (centroid x = "));
            // The last record: after the first (t = 0), at the time the message gives.
            ASSERT_EQ(c.outputs("results.h5"), 2) << r.err;
            const double last = c.timeOf("results.h5", 1);
            EXPECT_GT(last, 0.0);
            EXPECT_LT(last, 50.0);
            std::ostringstream written;
            written << "is written as the last record, at t = " << last << " s\n";
            EXPECT_TRUE(contains(r.err, written.str()));
            const auto state = c.state("results.h5", 1);
            EXPECT_EQ(std::any_of(state.begin(), state.end(), [](double v) { return std::isnan(v); }), row.inflow > 0.0);
        }
    }
}

/// A damaged model file is refused with the item and its first bad element before the results file is touched
/// (here an earlier results file, which must survive unchanged).
TEST(WholeRunWrapperRules, DamagedModelFilesAreRefusedBeforeTheResultsFileIsTouched)
{
    using drivertest::readValues;
    struct Damage {
        const char* path;
        std::size_t element;
        double value;  ///< written into the element; NaN for a table one row short
        std::string message;
    };
    const Damage damages[] = {
        {"EdgesAll/CellsAll", 5, 100, "element 2 maps to 100, outside its target set of 100 elements"},
        {"CellsAll/BottomEl", 0, 0, "the data have 99 x 1 values where the set and the catalogue give 100 x 1"},
        {"NodeStrg/ListSize", 0, 1000, "element 0 lists 1000 edges, at most 40 fit"},
        {"kernels/ID", 0, 99, "row 0 names no kernel of the catalogue (ids 0 to 25)"},
        {"CellsAll/GeomArea", 3, 0.0, "element 3 holds 0, which is not a positive finite number"},
        {"CellsAll/HydState", 4, std::nan(""), "element 1 holds nan, which is not a finite number"},
        {"Parameters/MorphStart", 0, 0.0, "morphology would start at t = 0 s, but the model has no morphology"},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.path);
        Case c("damaged", "--size 20 10 --cells 10 5");
        c.setup(R"(, "STRINGDEF": [{"name": "right"}])", R"({"INITIAL": {"type": "water_surface", "value": 1.0},
            "BOUNDARY": [{"name": "out", "type": "free_outflow", "string": "right"}]})");
        auto v = readValues(c.model(), d.path);
        if (std::string(d.path) == "CellsAll/BottomEl") {
            v.pop_back();
            testsupport::H5Output::open(c.model()).doubles(d.path, static_cast<int>(v.size()), 1, v);
        } else {
            v.at(d.element) = d.value;
            drivertest::overwriteValues(c.model(), d.path, v);
        }
        c.dir().write("results.h5", "earlier results");
        const auto r = c.simulate(config(1.0, 1.0));
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_TRUE(contains(r.err, ">: " + std::string(d.path) + ": " + d.message +
                             "\n -> ... unfortunately HYDROVA is killed!\n"));
        std::ifstream kept(c.dir().file("results.h5"));
        std::string text;
        std::getline(kept, text);
        EXPECT_EQ(text, "earlier results");
    }
}

}  // namespace
