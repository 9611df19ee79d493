#include "setup/SetupRun.hpp"

#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

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

namespace setup {

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

std::string readText(const std::string& path)
{
    std::ifstream in(path);
    if (!in) throw SetupError("cannot read the command file <" + path + ">");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void run(const std::string& commandFile, const std::string& output, int logLevel)
{
    const std::string text = readText(commandFile);
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        throw SetupError("the command file <" + commandFile + "> is not valid JSON: " + e.what());
    }
    const SetupDescription description = readCommandFile(doc, folderOf(commandFile));
    for (const auto& warning : description.warnings) std::cout << warning << std::endl;

    if (!std::ifstream(description.meshFile))
        throw SetupError("GEOMETRY: cannot read the mesh file <" + description.meshFile + ">");
    if (logLevel > 1)
        std::cout << " -> "
                  << "reading mesh <" << description.meshFile << ">" << std::endl;
    TriMesh mesh = read2dm(description.meshFile);
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
