#include "setup/SetupRun.hpp"

#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <vector>

#include "common/TerraException.hpp"
#include "model/Factory.hpp"
#include "setup/CommandFile.hpp"
#include "setup/ModelBuilder.hpp"
#include "common/FileChecks.hpp"
#include "setup/ModelFileWriter.hpp"
#include "gis/GisError.hpp"
#include "setup/SetupError.hpp"
#include "setup/InitialState.hpp"
#include "setup/LandUse.hpp"
#include "setup/Terrain.hpp"
#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/Mesh2dm.hpp"
#include "setup/mesh/TextInput.hpp"

namespace setup {

// The parser alone would keep the last of two values of one key silently.
nlohmann::json parseCommandText(const std::string& text, const std::string& file)
{
    using nlohmann::json;
    struct Level {
        bool object;
        std::set<std::string> keys;
        std::size_t index = 0;  // next element of an array
        std::string key;        // last key of an object
    };
    std::vector<Level> levels;
    std::string duplicate;
    const auto pointer = [&levels]() {
        std::string p;
        for (const Level& l : levels) {
            p += '/';
            if (!l.object) {
                p += std::to_string(l.index);
                continue;
            }
            for (const char c : l.key)
                p += c == '~' ? std::string("~0") : c == '/' ? std::string("~1") : std::string(1, c);
        }
        return p;
    };
    // Counts one finished value in the enclosing array.
    const auto valueDone = [&levels]() {
        if (!levels.empty() && !levels.back().object) ++levels.back().index;
    };
    const json::parser_callback_t callback = [&](int, json::parse_event_t event, json& parsed) {
        switch (event) {
            case json::parse_event_t::object_start:
            case json::parse_event_t::array_start:
                levels.push_back({event == json::parse_event_t::object_start, {}, 0, {}});
                break;
            case json::parse_event_t::key: {
                Level& l = levels.back();
                l.key = parsed.get<std::string>();
                if (!l.keys.insert(l.key).second && duplicate.empty()) duplicate = pointer();
                break;
            }
            case json::parse_event_t::object_end:
            case json::parse_event_t::array_end:
                levels.pop_back();
                valueDone();
                break;
            case json::parse_event_t::value:
                valueDone();
                break;
        }
        return true;
    };
    json doc;
    try {
        doc = json::parse(text, callback);
    } catch (const json::exception& e) {
        throw SetupError("the command file <" + file + "> is not valid JSON: " + e.what());
    }
    if (!duplicate.empty()) throw SetupError(duplicate + ": this key appears twice in its object; give it once");
    return doc;
}

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

std::string readText(const std::string& path)
{
    if (!isRegularFileOrMissing(path)) throw SetupError("the command file <" + path + "> is not a regular file");
    std::ifstream in(path);
    if (!in) throw SetupError("cannot read the command file <" + path + ">");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Fewest triangles the simulation runs: with one, every cell table is a single value, which the model-file
/// reader cannot tell from a scalar.
constexpr int kMinimumCells = 2;

void run(const std::string& commandFile, const std::string& output, int logLevel)
{
    const std::string text = readText(commandFile);
    const nlohmann::json doc = parseCommandText(text, commandFile);
    const SetupDescription description = readCommandFile(doc, folderOf(commandFile));
    for (const auto& warning : description.warnings) std::cout << warning << std::endl;

    if (!std::ifstream(description.meshFile))
        throw SetupError("GEOMETRY: cannot read the mesh file <" + description.meshFile + ">");
    if (logLevel > 1)
        std::cout << " -> "
                  << "reading mesh <" << description.meshFile << ">" << std::endl;
    TriMesh mesh = read2dm(description.meshFile);
    if (mesh.cellCount() < kMinimumCells)
        throw SetupError(description.meshFile + ": the mesh has " + std::to_string(mesh.cellCount()) +
                         " triangle; the simulation needs at least " + std::to_string(kMinimumCells));
    const TerrainSpec terrainSpec = readTerrain(doc, folderOf(commandFile));
    const Terrain terrain = prepareTerrain(terrainSpec, description.meshFile, mesh);
    const LandUseSpec landUse = readLandUse(doc, folderOf(commandFile));
    applyMaterialPolygons(landUse, mesh);
    MeshGeometry geometry = computeGeometry(mesh);
    applyCellBed(terrainSpec, terrain, mesh, geometry);
    std::cout << " -> "
              << "mesh with " << geometry.nNodes << " nodes, " << geometry.nCells << " cells and " << geometry.nEdges
              << " edges" << std::endl;
    reportTimeStepCells(mesh, geometry, description.parameters.cfl, description.parameters.gravity, std::cout);
    ModelContent content = buildModelContent(mesh, geometry, description);
    content.crsWkt = terrain.crsWkt;
    applyInitialData(readInitialData(doc, folderOf(commandFile)), mesh, geometry, content);
    applyFriction(landUse, geometry, content);

    std::unique_ptr<api::IModel> model(model::Factory::getModelFromCommandFile(text));
    // The model file replaces none of the files the command file named.
    std::vector<std::pair<std::string, std::string>> inputs = {{"mesh file", description.meshFile}};
    const auto addSeries = [&](const Series& s) { inputs.push_back({"series file", s.file}); };
    for (const auto& b : description.boundaries)
        if (b.series) addSeries(*b.series);
    for (const auto& s : description.sources) addSeries(s.series);
    for (const auto& b : description.morphology.boundaries)
        if (b.series) addSeries(*b.series);
    for (const auto& s : description.morphology.sources) addSeries(s.series);
    hydrova::refuseSameFile("model file", output, inputs);
    try {
        writeModelFile(output, *model, content, text, logLevel);
    } catch (const TerraException&) {
        throw;  // already reported by the data layer
    } catch (const SetupError&) {
        throw;
    } catch (const std::exception& e) {
        throw SetupError("cannot write the model file <" + output + ">: " + e.what());
    }
    std::cout << " -> "
              << "model file <" << output << "> written" << std::endl;
}

}  // namespace

void runSetup(const std::string& commandFile, const std::string& output, int logLevel)
{
    try {
        run(commandFile, output, logLevel);
    } catch (const SetupError& e) {
        std::cerr << " -> " << e.what() << std::endl;
        throw TerraException();
    } catch (const MeshError& e) {
        std::cerr << " -> " << e.what() << std::endl;
        throw TerraException();
    } catch (const gis::GisError& e) {
        std::cerr << " -> " << e.what() << std::endl;
        throw TerraException();
    }
}

}  // namespace setup
