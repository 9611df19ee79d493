// The set-up program run as a process: a model file with exactly the items of the composed model, in the
// mesh framework's conventions, readable by the model composition; and the bad inputs that leave no file.
#include <gtest/gtest.h>
#include <hdf5.h>

#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "dataio/Archive.hpp"
#include "dataio/Factory.hpp"
#include "model/Factory.hpp"
#include "model/Kernel.hpp"
#include "setup/ChannelCase.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"

using testsupport::program;
using testsupport::runProcess;
using testsupport::ScratchDir;

namespace {

const std::string kKilled = " -> ... unfortunately HYDROVA is killed!\n";

/// Writes channel.2dm (20 m x 4 m, 10 x 2 rectangles, material 1 for x < 10, 2 beyond, strings left, right,
/// bottom, top) and setup.json with the given HYDRAULICS block and extra GEOMETRY keys.
void writeCase(const ScratchDir& dir, const std::string& hydraulics,
               const std::string& geometryExtra = R"("STRINGDEF": [{"name": "left"}, {"name": "right"}],
                    "REGIONDEF": [{"name": "lake", "index": [1]}])")
{
    setuptest::writeChannelCase(dir, "channel.2dm", geometryExtra, hydraulics);
}

testsupport::ProcessResult runSetup(const ScratchDir& dir, const std::string& extra = "")
{
    return runProcess(program("hydrova_setup") + " -f setup.json -o model.h5" + extra, dir.path());
}

bool exists(const std::string& path) { return std::ifstream(path).good(); }

herr_t collect(hid_t, const char* name, const H5O_info_t* info, void* out)
{
    if (info->type == H5O_TYPE_DATASET) static_cast<std::set<std::string>*>(out)->insert(name);
    return 0;
}

std::set<std::string> datasetsOf(const std::string& file)
{
    std::set<std::string> names;
    const hid_t f = H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    EXPECT_GE(f, 0);
    H5Ovisit(f, H5_INDEX_NAME, H5_ITER_NATIVE, collect, &names);
    H5Fclose(f);
    return names;
}

/// Every path the model file must hold for `model`: its sets, the non-simulation maps, data and parameters,
/// the kernel schedule and the archived command text.
std::set<std::string> expectedPaths(const api::IModel& model, bool stringLines = false)
{
    // Besides the model's items: the double-precision copy of the node coordinates, and the lines of the node
    // strings of STRINGDEF for pictures.
    std::set<std::string> paths = {model::Kernel::kernelPath, model::Kernel::kernelTimingPath, ".config/model",
                                   "NodesAll/CoordDbl"};
    if (stringLines) paths.insert({"StringLines/Names", "StringLines/Points"});
    for (const auto* s : model.getSets()) paths.insert(s->getH5Path());
    for (const auto* m : model.getMaps()) paths.insert(m->getH5Path());
    for (const auto* d : model.getDats())
        if (!d->isSimulationOnly()) paths.insert(d->getH5Path());
    for (const auto* p : model.getPars())
        if (!p->isSimulationOnly()) paths.insert(p->getH5Path());
    return paths;
}

}  // namespace

TEST(SetupProgram, ModelFileHoldsExactlyTheComposedModel)
{
    ScratchDir dir("setup-program");
    writeCase(dir, R"({
        "PARAMETER": {"CFL": 0.8, "safe_mode": true},
        "INITIAL": {"type": "index_table", "values": [{"index": [1], "water_surface": 1.0}]},
        "FRICTION": {"type": "manning", "default_friction": 0.03},
        "BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left", "discharge": [[0, 1], [60, 2]],
                      "slope": 0.001},
                     {"name": "down", "type": "free_outflow", "string": "right"}],
        "SOURCE": [{"name": "storm", "type": "rain", "region": "lake", "intensity": [[0, 20], [600, 0]]}],
        "FLOOD": {}})");
    const auto r = runSetup(dir);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(" -> model file <model.h5> written\n"), std::string::npos) << r.out;
    EXPECT_FALSE(exists(dir.file("model.h5.incomplete")));

    // The composition finds every aggregate switched on by the command file in the archived text.
    std::unique_ptr<api::IModel> model(model::Factory::getModelFromH5File(dir.file("model.h5")));
    std::set<model::AggregateID> aggregates;
    for (const auto* a : model->getAggregates()) aggregates.insert(a->getID());
    using model::AggregateID;
    EXPECT_EQ(aggregates, (std::set<AggregateID>{AggregateID::hydraulics_aggr, AggregateID::hyd_boundary_aggr,
                                                 AggregateID::hyd_friction_aggr, AggregateID::hyd_source_aggr,
                                                 AggregateID::hyd_flood_aggr}));
    EXPECT_EQ(datasetsOf(dir.file("model.h5")), expectedPaths(*model, true));

    std::unique_ptr<api::IH5Reader> reader(dataio::Factory::createH5Reader(dir.file("model.h5")));
    EXPECT_EQ(reader->readIntScalar("CellsAll/set"), 40);
    EXPECT_EQ(reader->readIntScalar("EdgHydBC/set"), 4);
    EXPECT_EQ(reader->readIntScalar("Parameters/SafeMode"), 1);
    EXPECT_EQ(reader->readIntScalar("Parameters/FrictionType"), 1);
    EXPECT_FLOAT_EQ(static_cast<float>(reader->readDoubleScalar("Parameters/CFLnumber")), 0.8f);
    EXPECT_DOUBLE_EQ(reader->readDoubleScalar("Parameters/MinWaterDepth"), 0.001);
    const std::string text =
        std::string(std::istreambuf_iterator<char>(*std::make_unique<std::ifstream>(dir.file("setup.json"))),
                    std::istreambuf_iterator<char>());
    EXPECT_EQ(dataio::Archive::getModel(reader.get()), text);

    // One schedule row per kernel: the initialisations once at the start, the others every step.
    const auto ids = reader->readIntVecVec(model::Kernel::kernelPath);
    const auto timing = reader->readDoubleVecVec(model::Kernel::kernelTimingPath);
    ASSERT_EQ(ids.size(), model->getKernels().size());
    ASSERT_EQ(timing.size(), ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ASSERT_EQ(timing[i].size(), 3u);
        const bool init = ids[i][0] == 0 || ids[i][0] == 2;
        EXPECT_EQ(timing[i][0], 0.0);
        EXPECT_EQ(timing[i][1], 0.0);
        EXPECT_EQ(timing[i][2] == 0.0, init) << "kernel " << ids[i][0];
    }
}

TEST(SetupProgram, MeshObjectsFollowTheFrameworkConvention)
{
    ScratchDir dir("setup-program");
    writeCase(dir, R"({"INITIAL": {"type": "water_surface", "value": 0.5}})", R"("STRINGDEF": [])");
    // Started from another folder: the mesh named in the command file is found beside the command file.
    const auto r =
        runProcess(program("hydrova_setup") + " -f " + dir.file("setup.json") + " -o " + dir.file("model.h5"), "/");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const hid_t f = H5Fopen(dir.file("model.h5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    ASSERT_GE(f, 0);
    auto check = [&](const char* path, hid_t nativeType, int dim) {
        const hid_t d = H5Dopen2(f, path, H5P_DEFAULT);
        ASSERT_GE(d, 0) << path;
        const hid_t t = H5Dget_type(d);
        EXPECT_GT(H5Tequal(t, nativeType), 0) << path;
        const hid_t s = H5Dget_space(d);
        hsize_t dims[2] = {0, 0};
        EXPECT_EQ(H5Sget_simple_extent_ndims(s), 2) << path;
        H5Sget_simple_extent_dims(s, dims, nullptr);
        EXPECT_EQ(static_cast<int>(dims[1]), dim) << path;
        int value = 0;
        const hid_t a = H5Aopen(d, "dim", H5P_DEFAULT);
        H5Aread(a, H5T_NATIVE_INT, &value);
        EXPECT_EQ(value, dim) << path;
        H5Aclose(a);
        const hid_t sa = H5Aopen(d, "size", H5P_DEFAULT);
        H5Aread(sa, H5T_NATIVE_INT, &value);
        EXPECT_EQ(value, 4 * dim) << path;
        H5Aclose(sa);
        H5Sclose(s);
        H5Tclose(t);
        H5Dclose(d);
    };
    check("CellsAll/HydState", H5T_NATIVE_FLOAT, 3);
    check("CellsAll/EdgeSign", H5T_NATIVE_INT, 3);
    check("EdgesAll/CellsAll", H5T_NATIVE_INT, 2);
    check("EdgHydWL/CellsAll", H5T_NATIVE_INT, 1);
    check("EdgesAll/CharSize", H5T_NATIVE_FLOAT, 2);
    H5Fclose(f);
    // Only the hydraulics aggregate: no boundary, source, friction or flood items; the (empty) node-string set
    // and its names are there all the same, as set-up data of every model.
    const auto names = datasetsOf(dir.file("model.h5"));
    std::unique_ptr<api::IModel> model(model::Factory::getModelFromH5File(dir.file("model.h5")));
    EXPECT_EQ(names, expectedPaths(*model));
    EXPECT_EQ(names.count("NodeStrg/StrNames"), 1u);
    for (const char* absent : {"EdgHydBC/set", "CellsAll/Friction", "ClHydSrc/set", "InSeries/set", "CellsAll/FloodVar",
                               "EdgesAll/FluxesHy"})
        EXPECT_EQ(names.count(absent), 0u) << absent;
}

TEST(SetupProgram, BadInputStopsWithTheReasonAndLeavesNoModelFile)
{
    struct Case {
        std::string hydraulics;
        std::string geometry;
        std::string message;
        bool bySchema = false;  ///< found by the schema check: a located line on standard output
    };
    const std::string strings = R"("STRINGDEF": [{"name": "left"}, {"name": "right"}, {"name": "inner"}])";
    const std::string plain = R"("STRINGDEF": [{"name": "left"}])";
    const std::vector<Case> cases = {
        {R"({"BOUNDARY": [{"name": "a", "type": "wall", "string": "inner"}]})", strings,
         "boundary <a>: string <inner> does not exist in the mesh <"},
        {R"({"BOUNDARY": [{"name": "a", "type": "free_outflow", "string": "left"},
                          {"name": "b", "type": "free_outflow", "string": "left"}]})",
         strings, "string <left> carries two conditions: <a> and <b>"},
        {R"({"SOURCE": [{"name": "r", "type": "rain", "region": "lake", "intensity": [[0, 1]]}]})",
         R"("REGIONDEF": [{"name": "lake", "index": [1, 9]}])", "region <lake>: no triangle has material id 9"},
        {R"({"BOUNDARY": [{"name": "up", "type": "water_level", "string": "left", "water_surface": [[0, 1], [0, 2]]}]})",
         strings, "boundary <up>: water_surface: the abscissae must increase, but pair 1 has x = 0 after x = 0"},
        {R"({"FRICTION": {"type": "manning", "default_friction": 0.02, "regions": [{"index": [1], "friction": -1}]}})",
         strings,
         "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/FRICTION/regions/0/friction: Error: This value must be greater than or "
         "equal to 0.000000.\n",
         true},
        {R"({"PARAMETER": {"CFL": 1.5}})", plain,
         "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/PARAMETER/CFL: Error: This value must be less than or equal to "
         "1.000000.\n",
         true},
        {R"({"PARAMETER": {"minimum_water_depth": 10}})", plain,
         "/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/PARAMETER/minimum_water_depth: Error: This value must be less than or "
         "equal to 0.100000.\n",
         true},
        {R"({"FRICTION": {"type": "manning", "default_friction": 0}})", plain,
         "FRICTION: default_friction must be greater than 0 for manning friction (0); leave FRICTION out for a "
         "frictionless run"},
        {R"({"INITIAL": {"type": "index_table", "values": [{"index": [7], "water_surface": 1}]}})", plain,
         "INITIAL: values entry 0 names material id 7, which no triangle has"},
        {"{}", R"("REGIONDEF": [{"name": "lake", "index": [99999999999]}])",
         "/SETUP/DOMAIN/LAMINA_2D/GEOMETRY/REGIONDEF/0/index/0: a material id must be a whole number from 0 to "
         "2147483647"},
        {"{}", R"("STRINGDEF": [], "REGIONDEF": [], "STRINGDEF": [{"name": "left"}])",
         "/SETUP/DOMAIN/LAMINA_2D/GEOMETRY/STRINGDEF: this key appears twice in its object; give it once"},
    };
    for (const auto& c : cases) {
        ScratchDir dir("setup-program");
        writeCase(dir, c.hydraulics, c.geometry);
        const auto r = runSetup(dir);
        EXPECT_EQ(r.status, 1) << c.message << "\n" << r.out;
        if (c.bySchema) {
            EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        } else {
            EXPECT_EQ(r.err.rfind(" -> " + c.message, 0), 0u) << r.err;
        }
        EXPECT_NE(r.err.find(kKilled), std::string::npos) << r.err;
        EXPECT_FALSE(exists(dir.file("model.h5"))) << c.message;
        EXPECT_FALSE(exists(dir.file("model.h5.incomplete"))) << c.message;
    }
}

TEST(SetupProgram, SchemaAndFileErrorsAreReportedBeforeAnythingIsWritten)
{
    ScratchDir dir("setup-program");
    writeCase(dir, R"({"BOUNDARY": [{"name": "a", "type": "weir", "string": "left"}]})");
    auto r = runSetup(dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("/SETUP/DOMAIN/LAMINA_2D/HYDRAULICS/BOUNDARY/0/type: Error: This value must be equal to one "
                         "of the following: 'wall', 'discharge_inflow', 'water_level', 'rating_curve', "
                         "'normal_outflow', 'free_outflow', 'incident_wave'."),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(exists(dir.file("model.h5")));

    // A series longer than 6000 pairs, from a file.
    std::string longSeries;
    for (int i = 0; i < 6001; ++i) longSeries += std::to_string(i) + " 1.0\n";
    dir.write("q.txt", longSeries);
    writeCase(dir, R"({"BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left",
                                     "discharge": {"file": "q.txt"}, "slope": 0.01}]})");
    r = runSetup(dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind(" -> boundary <up>: discharge: the series has 6001 pairs, at most 6000 are allowed\n", 0), 0u)
        << r.err;

    // The mesh file named in GEOMETRY is missing.
    std::remove(dir.file("channel.2dm").c_str());
    writeCase(dir, "{}");
    std::remove(dir.file("channel.2dm").c_str());
    r = runSetup(dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " -> GEOMETRY: cannot read the mesh file <channel.2dm>\n" + kKilled);
    EXPECT_FALSE(exists(dir.file("model.h5")));

    // A mesh of one triangle, which the simulation could not run; a folder given as the command file.
    writeCase(dir, "{}");
    dir.write("channel.2dm", "MESH2D\nE3T 1 1 2 3 1\nND 1 0 0 0\nND 2 1 0 0\nND 3 0 1 0\n");
    r = runSetup(dir);
    EXPECT_EQ(r.err, " -> channel.2dm: the mesh has 1 triangle; the simulation needs at least 2\n" + kKilled);
    r = runProcess(program("hydrova_setup") + " -f . -o model.h5", dir.path());
    EXPECT_EQ(r.err, " -> configuration file is not a regular file: .\n" + kKilled);
    EXPECT_FALSE(exists(dir.file("model.h5")));

    // A model file that cannot be created.
    writeCase(dir, "{}");
    r = runProcess(program("hydrova_setup") + " -f setup.json -o nofolder/model.h5", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind(" -> cannot write the model file <nofolder/model.h5>: ", 0), 0u) << r.err;

    // A model file that would replace the mesh file or a series file the command file names.
    dir.write("q.txt", "0 1\n100 1\n");
    writeCase(dir, R"({"BOUNDARY": [{"name": "up", "type": "discharge_inflow", "string": "left",
                                     "discharge": {"file": "q.txt"}, "slope": 0.01}]})");
    for (const std::string target : {"channel.2dm", "./q.txt"}) {
        r = runProcess(program("hydrova_setup") + " -f setup.json -o " + target, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(" -> the model file <" + target + "> is the same file as the "), std::string::npos) << r.err;
    }
    std::ifstream series(dir.file("q.txt"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(series), {}), "0 1\n100 1\n");
    std::remove(dir.file("channel.2dm").c_str());

    // An existing model file is replaced only by a complete one.
    dir.write("model.h5", "old");
    r = runSetup(dir);
    EXPECT_EQ(r.status, 1);
    std::ifstream old(dir.file("model.h5"));
    std::string content;
    old >> content;
    EXPECT_EQ(content, "old");
}
