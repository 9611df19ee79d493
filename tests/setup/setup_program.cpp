// The set-up program run as a process: a model file with exactly the items of the composed model, readable by the
// model composition; and the bad inputs that stop it with a located reason and leave no file.
#include <gtest/gtest.h>
#include <hdf5.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "dataio/Archive.hpp"
#include "dataio/Factory.hpp"
#include "model/Factory.hpp"
#include "model/Kernel.hpp"
#include "setup/ChannelCase.hpp"
#include "support/H5Data.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"
#include "support/Text.hpp"

using testsupport::program;
using testsupport::runProcess;
using testsupport::ScratchDir;

namespace {

const std::string kKilled = " -> ... unfortunately HYDROVA is killed!\n";

/// The bytes of a file, or "<missing>" when there is none: a refused run must leave no file, not an empty one.
std::string readFile(const std::string& path)
{
    return std::filesystem::exists(path) ? testsupport::readFile(path) : "<missing>";
}

herr_t collect(hid_t, const char* name, const H5O_info_t* info, void* out)
{
    if (info->type == H5O_TYPE_DATASET) static_cast<std::set<std::string>*>(out)->insert(name);
    return 0;
}

/// The datasets of `file` against every path the model file must hold for its model: its sets, the non-simulation
/// maps, data and parameters, the kernel schedule, the archived command text, the double-precision copy of the node
/// coordinates and, with node strings in STRINGDEF, their lines for pictures.
void expectExactlyTheModel(const std::string& file, const api::IModel& model, bool stringLines)
{
    std::set<std::string> names, paths = {model::Kernel::kernelPath, model::Kernel::kernelTimingPath, ".config/model",
                                          "NodesAll/CoordDbl"};
    const hid_t f = H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    ASSERT_GE(f, 0);
    H5Ovisit(f, H5_INDEX_NAME, H5_ITER_NATIVE, collect, &names);
    H5Fclose(f);
    if (stringLines) paths.insert({"StringLines/Names", "StringLines/Points"});
    for (const auto* s : model.getSets()) paths.insert(s->getH5Path());
    for (const auto* m : model.getMaps()) paths.insert(m->getH5Path());
    for (const auto* d : model.getDats())
        if (!d->isSimulationOnly()) paths.insert(d->getH5Path());
    for (const auto* p : model.getPars())
        if (!p->isSimulationOnly()) paths.insert(p->getH5Path());
    EXPECT_EQ(names, paths);
}

}  // namespace

TEST(SetupProgram, ModelFileHoldsExactlyTheComposedModel)
{
    ScratchDir dir("setup-program");
    setuptest::writeChannelCase(dir, "channel.2dm", setuptest::kStringsAndLake, R"({
        "PARAMETER": {"CFL": 0.8, "safe_mode": true},
        "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0}]},
        "FRICTION": {"type": "manning", "default_friction": 0.03},
        "BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left", "discharge": [[0, 1], [60, 2]],
                      "slope": 0.001},
                     {"name": "down", "type": "free_outflow", "string": "right"}],
        "SOURCE": [{"name": "storm", "type": "rain", "region": "lake", "intensity": [[0, 20], [600, 0]]}],
        "FLOOD": {}})");
    const auto r = runProcess(program("hydrova_setup") + " -f setup.json -o model.h5", dir.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(" -> model file <model.h5> written\n"), std::string::npos) << r.out;
    EXPECT_EQ(readFile(dir.file("model.h5.incomplete")), "<missing>");

    // The composition finds every aggregate switched on by the command file in the archived text.
    std::unique_ptr<api::IModel> model(model::Factory::getModelFromH5File(dir.file("model.h5")));
    std::set<model::AggregateID> aggregates;
    for (const auto* a : model->getAggregates()) aggregates.insert(a->getID());
    using model::AggregateID;
    EXPECT_EQ(aggregates, (std::set<AggregateID>{AggregateID::hydraulics_aggr, AggregateID::hyd_boundary_aggr,
                                                 AggregateID::hyd_friction_aggr, AggregateID::hyd_source_aggr,
                                                 AggregateID::hyd_flood_aggr}));
    expectExactlyTheModel(dir.file("model.h5"), *model, true);
    std::unique_ptr<api::IH5Reader> reader(dataio::Factory::createH5Reader(dir.file("model.h5")));
    EXPECT_EQ(reader->readIntScalar("EdgHydBC/set"), 4);
    EXPECT_EQ(reader->readIntScalar("Parameters/SafeMode"), 1);
    EXPECT_FLOAT_EQ(static_cast<float>(reader->readDoubleScalar("Parameters/CFLnumber")), 0.8f);
    EXPECT_EQ(dataio::Archive::getModel(reader.get()), readFile(dir.file("setup.json")));

    // Only the hydraulics aggregate, started from another folder: the mesh is found beside the command file; the
    // (empty) node-string set and its names are set-up data of every model.
    setuptest::writeChannelCase(dir, "channel.2dm", R"("STRINGDEF": [])",
                                R"({"INITIAL": {"type": "water_surface", "value": 0.5}})");
    ASSERT_EQ(runProcess(program("hydrova_setup") + " -f " + dir.file("setup.json") + " -o " + dir.file("m.h5"), "/")
                  .status,
              0);
    std::unique_ptr<api::IModel> bare(model::Factory::getModelFromH5File(dir.file("m.h5")));
    expectExactlyTheModel(dir.file("m.h5"), *bare, false);
    EXPECT_TRUE(testsupport::h5::exists(dir.file("m.h5"), "NodeStrg/StrNames"));
}

/// Each bad input ends with status 1, the reason (a located line on standard output when the schema found it, else
/// the " -> " line on standard error), the line that the run was killed, and neither the model file nor its
/// unfinished copy.
TEST(SetupProgram, BadInputStopsWithTheReasonAndLeavesNoModelFile)
{
    struct Case {
        std::string hydraulics, geometry, message;
        bool bySchema = false;
        std::function<void(const ScratchDir&)> prepare = nullptr;
        std::string options = " -f setup.json -o model.h5";
    };
    const std::string plain = R"("STRINGDEF": [{"name": "left"}])";
    const std::string fromFile = R"({"BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left",
                                     "discharge": {"file": "q.txt"}, "slope": 0.01}]})";
    const auto removeMesh = [](const ScratchDir& d) { std::remove(d.file("channel.2dm").c_str()); };
    const auto series = [](const ScratchDir& d) { d.write("q.txt", "0 1\n100 1\n"); };
    const auto oneTriangle = [](const ScratchDir& d) {
        d.write("channel.2dm", "MESH2D\nE3T 1 1 2 3 1\nND 1 0 0 0\nND 2 1 0 0\nND 3 0 1 0\n");
    };
    const std::vector<Case> cases = {
        {R"({"BOUNDARY": [{"name": "a", "type": "free_outflow", "string": "left"},
                          {"name": "b", "type": "free_outflow", "string": "left"}]})",
         plain, "string <left> carries two conditions: <a> and <b>"},
        {R"({"INITIAL": {"type": "index_table", "values": [{"index": [7], "water_surface": 1}]}})", plain,
         "INITIAL: values entry 0 names material id 7, which no triangle has"},
        {"{}", R"("STRINGDEF": [], "REGIONDEF": [], "STRINGDEF": [{"name": "left"}])",
         "/SETUP/DOMAIN/LAMINA_2D/GEOMETRY/STRINGDEF: this key appears twice in its object; give it once"},
        {R"({"PARAMETER": {"CFL": 1.5}})", plain,
         "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/PARAMETER/CFL: Error: This value must be less than or equal to "
         "1.000000.\n",
         true},
        {R"({"BOUNDARY": [{"name": "a", "type": "weir", "string": "left"}]})", plain,
         "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/BOUNDARY/0/type: Error: This value must be equal to one of the following: "
         "'wall', 'discharge_inflow', 'water_level', 'rating_curve', 'normal_outflow', 'free_outflow', "
         "'incident_wave'.",
         true},
        {"{}", plain, "GEOMETRY: cannot read the mesh file <channel.2dm>\n" + kKilled, false, removeMesh},
        // A mesh of one triangle, which the simulation could not run; a folder given as the command file.
        {"{}", plain, "channel.2dm: the mesh has 1 triangle; the simulation needs at least 2\n" + kKilled, false,
         oneTriangle},
        {"{}", plain, "configuration file is not a regular file: .\n" + kKilled, false, nullptr, " -f . -o model.h5"},
        {"{}", plain, "cannot write the model file <nofolder/model.h5>: ", false, nullptr,
         " -f setup.json -o nofolder/model.h5"},
        // A model file that would replace the mesh file or a series file the command file names.
        {fromFile, plain, "the model file <channel.2dm> is the same file as the ", false, series,
         " -f setup.json -o channel.2dm"},
        {fromFile, plain, "the model file <./q.txt> is the same file as the ", false, series,
         " -f setup.json -o ./q.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ScratchDir dir("setup-program");
        setuptest::writeChannelCase(dir, "channel.2dm", c.geometry, c.hydraulics);
        if (c.prepare) c.prepare(dir);
        const std::string before = readFile(dir.file("q.txt"));
        const auto r = runProcess(program("hydrova_setup") + c.options, dir.path());
        EXPECT_EQ(r.status, 1) << r.out;
        if (c.bySchema) {
            EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        } else {
            EXPECT_EQ(r.err.rfind(" -> " + c.message, 0), 0u) << r.err;
        }
        EXPECT_NE(r.err.find(kKilled), std::string::npos) << r.err;
        EXPECT_EQ(readFile(dir.file("model.h5")), "<missing>");
        EXPECT_EQ(readFile(dir.file("model.h5.incomplete")), "<missing>");
        EXPECT_EQ(readFile(dir.file("q.txt")), before);
    }

    // An existing model file is replaced only by a complete one.
    ScratchDir dir("setup-program");
    setuptest::writeChannelCase(dir, "channel.2dm", plain, R"({"PARAMETER": {"CFL": 1.5}})");
    dir.write("model.h5", "old");
    EXPECT_EQ(runProcess(program("hydrova_setup") + " -f setup.json -o model.h5", dir.path()).status, 1);
    EXPECT_EQ(readFile(dir.file("model.h5")), "old");
}
