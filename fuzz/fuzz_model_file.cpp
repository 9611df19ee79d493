// A model file damaged by the fuzzer's bytes, through the simulation's start and a short run: every damage must end
// in a refusal (TerraException, after a message) or a run, never in a crash, a hang, unbounded memory or a leak
// (a refused file and a run the guard stops free everything once the domain is deleted).
//
// Once per process a model file is set up from a 10 m x 5 m channel (wet, Manning friction, a discharge inflow, a
// free outflow, rain; every dataset the simulation reads). Each input is a list of 8-byte edits applied to a copy:
// byte 0 picks the dataset (modulo their number), byte 1 the kind of damage, bytes 2-3 the element, bytes 4-7 the
// value (an int for integer datasets, the bits of a float otherwise). Damages: set one value; drop the last row;
// add a row. The seeds guard_* make the run's state non-finite (a discharge of 3e38) or its step vanish (gravity
// 3e38), so that the guard stops the run.
#include <hdf5.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "common/TerraException.hpp"
#include "setup/SetupRun.hpp"
#include "setup/mesh/Mesh2dm.hpp"
#include "setup/mesh/MeshGenerator.hpp"
#include "simulation/TERRAdomain_op.hpp"

namespace {

namespace fs = std::filesystem;

struct Dataset {
    std::string path;
    bool integer;
};

fs::path g_dir;
std::vector<Dataset> g_datasets;

herr_t collect(hid_t, const char* name, const H5O_info_t* info, void*)
{
    if (info->type != H5O_TYPE_DATASET) return 0;
    const std::string path(name);
    if (path.rfind(".config", 0) == 0 || path.find("StrNames") != std::string::npos) return 0;  // strings
    g_datasets.push_back({path, false});
    return 0;
}

void prepare()
{
    g_dir = fs::temp_directory_path() / ("hydrova-fuzz-model-" + std::to_string(::getpid()));
    fs::create_directories(g_dir);
    setup::RectangleSpec spec;
    spec.lengthX = 10.0;
    spec.lengthY = 5.0;
    spec.cellsX = 5;
    spec.cellsY = 2;
    spec.materials = setup::MaterialInterval::parseList("0:5:1,5:10:2");
    setup::write2dm(setup::generateRectangle(spec), (g_dir / "mesh.2dm").string());
    std::ofstream(g_dir / "setup.json") << R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": "mesh.2dm", "STRINGDEF": [{"name": "left"}, {"name": "right"}],
                     "REGIONDEF": [{"name": "east", "index": [2]}]},
        "HYDRAULICS": {"INITIAL": {"type": "water_surface", "value": 0.5},
          "FRICTION": {"type": "manning", "default_friction": 0.03}, "FLOOD": {},
          "BOUNDARY": [{"name": "in", "type": "discharge_inflow", "string": "left", "discharge": [[0, 1], [10, 2]],
                        "slope": 0.001}, {"name": "out", "type": "free_outflow", "string": "right"}],
          "SOURCE": [{"name": "rain", "type": "rain", "region": "east", "intensity": [[0, 50]]}]}}}}})";
    std::ofstream(g_dir / "config.json")
        << R"({"SIMULATION": {"TIME": {"start": 0, "end": 0.5, "out": 0.25}, "OUTPUT": ["water_depth"]}})";
    setup::runSetup((g_dir / "setup.json").string(), (g_dir / "seed.h5").string(), 0);
    const hid_t f = H5Fopen((g_dir / "seed.h5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    H5Ovisit(f, H5_INDEX_NAME, H5_ITER_NATIVE, collect, nullptr);
    for (Dataset& d : g_datasets) {
        const hid_t set = H5Dopen2(f, d.path.c_str(), H5P_DEFAULT);
        const hid_t type = H5Dget_type(set);
        d.integer = H5Tget_class(type) == H5T_INTEGER;
        H5Tclose(type);
        H5Dclose(set);
    }
    H5Fclose(f);
}

/// Applies one 8-byte edit to the open file.
void damage(hid_t file, const std::uint8_t* e)
{
    const Dataset& d = g_datasets[e[0] % g_datasets.size()];
    const hid_t set = H5Dopen2(file, d.path.c_str(), H5P_DEFAULT);
    if (set < 0) return;
    const hid_t space = H5Dget_space(set);
    hsize_t dims[2] = {0, 1};
    const int rank = H5Sget_simple_extent_ndims(space);
    H5Sget_simple_extent_dims(space, dims, nullptr);
    H5Sclose(space);
    const hsize_t n = dims[0] * (rank > 1 ? dims[1] : 1);
    const hid_t memType = d.integer ? H5T_NATIVE_INT : H5T_NATIVE_FLOAT;
    std::vector<std::uint32_t> values(n + (rank > 1 ? dims[1] : 1));
    if (n > 0) H5Dread(set, memType, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data());
    std::uint32_t value;
    std::memcpy(&value, e + 4, 4);
    const unsigned kind = e[1] % 3;
    if (kind == 0) {
        if (n > 0) {
            values[(e[2] | (e[3] << 8)) % n] = value;
            H5Dwrite(set, memType, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data());
        }
        H5Dclose(set);
        return;
    }
    // A row fewer or more: the dataset is written anew with the same type and attributes' meaning lost or kept as
    // the set-up wrote them (only the extent changes).
    const hid_t type = H5Dget_type(set);
    H5Dclose(set);
    hsize_t newDims[2] = {kind == 1 ? (dims[0] > 0 ? dims[0] - 1 : 0) : dims[0] + 1, dims[1]};
    H5Ldelete(file, d.path.c_str(), H5P_DEFAULT);
    const hid_t newSpace = H5Screate_simple(rank > 1 ? 2 : 1, newDims, nullptr);
    const hid_t created = H5Dcreate2(file, d.path.c_str(), type, newSpace, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    if (created >= 0) {
        if (newDims[0] > 0) H5Dwrite(created, memType, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data());
        H5Dclose(created);
    }
    H5Sclose(newSpace);
    H5Tclose(type);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    std::cout.setstate(std::ios::badbit);  // the set-up's and the runs' progress lines
    prepare();
    std::atexit([] { fs::remove_all(g_dir); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fs::path model = g_dir / "model.h5";
    fs::copy_file(g_dir / "seed.h5", model, fs::copy_options::overwrite_existing);
    {
        const hid_t file = H5Fopen(model.c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
        for (std::size_t at = 0; at + 8 <= size && at < 8 * 16; at += 8) damage(file, data + at);
        H5Fclose(file);
    }
    fs::remove(g_dir / "results.h5");
    simulation::TERRAdomain* domain = nullptr;
    try {
        domain = simulation::TERRAdomain::getInstance((g_dir / "config.json").string(), model.string());
        domain->setParallel(1);
        domain->init(0, false, false, (g_dir / "results.h5").string());
        domain->run();
    } catch (const TerraException&) {
        // Refused with a message, as the program would refuse it.
    }
    delete domain;
    return 0;
}
