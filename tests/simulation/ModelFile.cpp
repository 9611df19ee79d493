#include "simulation/ModelFile.hpp"

#include <hdf5.h>

#include <stdexcept>

namespace drivertest {

namespace {

/// Closes an HDF5 identifier with the matching close function.
class Handle {
public:
    Handle(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close)
    {
        if (id_ < 0) throw std::runtime_error("HDF5 call failed");
    }
    ~Handle() { close_(id_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    operator hid_t() const { return id_; }

private:
    hid_t id_;
    herr_t (*close_)(hid_t);
};

hid_t linkCreationWithParents()
{
    hid_t lcpl = H5Pcreate(H5P_LINK_CREATE);
    H5Pset_create_intermediate_group(lcpl, 1);
    return lcpl;
}

void writeNumeric(hid_t file, const std::string& path, hid_t type, std::vector<hsize_t> dims, const void* values)
{
    Handle lcpl(linkCreationWithParents(), H5Pclose);
    Handle space(H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr), H5Sclose);
    Handle set(H5Dcreate2(file, path.c_str(), type, space, lcpl, H5P_DEFAULT, H5P_DEFAULT), H5Dclose);
    if (H5Dwrite(set, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, values) < 0) throw std::runtime_error("write " + path);
}

void ints(hid_t file, const std::string& path, int rows, int cols, const std::vector<int>& v)
{
    std::vector<hsize_t> dims{static_cast<hsize_t>(rows)};
    if (cols > 0) dims.push_back(static_cast<hsize_t>(cols));
    writeNumeric(file, path, H5T_NATIVE_INT, dims, v.data());
}

void doubles(hid_t file, const std::string& path, int rows, int cols, const std::vector<double>& v)
{
    std::vector<hsize_t> dims{static_cast<hsize_t>(rows)};
    if (cols > 0) dims.push_back(static_cast<hsize_t>(cols));
    writeNumeric(file, path, H5T_NATIVE_DOUBLE, dims, v.data());
}

void text(hid_t file, const std::string& path, const std::string& value)
{
    Handle type(H5Tcopy(H5T_C_S1), H5Tclose);
    H5Tset_size(type, H5T_VARIABLE);
    H5Tset_cset(type, H5T_CSET_UTF8);
    Handle lcpl(linkCreationWithParents(), H5Pclose);
    const hsize_t one = 1;
    Handle space(H5Screate_simple(1, &one, nullptr), H5Sclose);
    Handle set(H5Dcreate2(file, path.c_str(), type, space, lcpl, H5P_DEFAULT, H5P_DEFAULT), H5Dclose);
    const char* data[1] = {value.c_str()};
    if (H5Dwrite(set, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) < 0) throw std::runtime_error("write " + path);
}

}  // namespace

void writeModelFile(const std::string& path, const ModelFileSpec& spec)
{
    Handle file(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT), H5Fclose);
    text(file, ".config/model", spec.setupText);

    // Sets: one int per set.
    ints(file, "NodesAll/set", 1, 0, {4});
    ints(file, "CellsAll/set", 1, 0, {2});
    ints(file, "EdgesAll/set", 1, 0, {5});
    ints(file, "EdgHydWL/set", 1, 0, {spec.wallEdges});
    ints(file, "EdgesSWE/set", 1, 0, {1});
    ints(file, "NodeStrg/set", 1, 0, {0});
    if (spec.morphologySets) {
        ints(file, "EdgMorWL/set", 1, 0, {4});
        ints(file, "EdgesEXN/set", 1, 0, {1});
    }

    // Nodes (0,0) (1,0) (1,1) (0,1); cells (0,1,2) and (0,2,3); edges 0-1, 1-2, 2-0 (internal), 2-3, 3-0.
    doubles(file, "NodesAll/Coordnts", 4, 3, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    ints(file, "CellsAll/Topology", 2, 3, {0, 1, 2, 0, 2, 3});
    ints(file, "CellsAll/EdgesAll", 2, 3, {0, 1, 2, 2, 3, 4});
    ints(file, "EdgesAll/CellsAll", 5, 2, {0, 0, 0, 0, 0, 1, 1, 1, 1, 1});
    std::vector<int> wallEdges{0, 1, 3, 4};
    std::vector<int> wallCells{0, 0, 1, 1};
    wallEdges.resize(static_cast<std::size_t>(spec.wallEdges));
    wallCells.resize(static_cast<std::size_t>(spec.wallEdges));
    if (spec.wallEdges > 0) {
        ints(file, "EdgHydWL/EdgesAll", spec.wallEdges, 1, wallEdges);
        ints(file, "EdgHydWL/CellsAll", spec.wallEdges, 1, wallCells);
    }
    ints(file, "EdgesSWE/EdgesAll", 1, 1, {2});
    ints(file, "EdgesSWE/CellsAll", 1, 2, {0, 1});

    const double r = 0.70710678118654752;
    doubles(file, "EdgesAll/NormVect", 5, 2, {0, -1, 1, 0, -r, r, 0, 1, -1, 0});
    doubles(file, "EdgesAll/GeomLeng", 5, 1, {1, 1, 2 * r, 1, 1});
    doubles(file, "EdgesAll/CharSize", 5, 2, {0.67, 0.67, 0.67, 0.67, 0.47, 0.47, 0.67, 0.67, 0.67, 0.67});
    doubles(file, "CellsAll/HydState", 2, 3, {spec.surface[0], 0.0, 0.0, spec.surface[1], 0.0, 0.0});
    doubles(file, "CellsAll/BottomEl", 2, 1, {spec.bottom[0], spec.bottom[1]});
    doubles(file, "CellsAll/GeomArea", 2, 1, {0.5, 0.5});
    ints(file, "CellsAll/EdgeSign", 2, 3, {1, 1, 1, -1, 1, 1});
    if (spec.withWettedFlags) ints(file, "CellsAll/IsWetted", 2, 1, {7, 7});

    doubles(file, "Parameters/RefBottomEl", 1, 0, {0.0});
    doubles(file, "Parameters/CFLnumber", 1, 0, {0.9});
    doubles(file, "Parameters/DTmax", 1, 0, {100.0});
    doubles(file, "Parameters/MinWaterDepth", 1, 0, {0.1});  // not exactly representable as float
    doubles(file, "Parameters/Gravity", 1, 0, {9.81});
    doubles(file, "Parameters/MorphStart", 1, 0, {spec.morphStart});
    ints(file, "Parameters/SafeMode", 1, 0, {1});
    ints(file, "Parameters/FrictionOn", 1, 0, {0});
    ints(file, "Parameters/FrictionType", 1, 0, {1});
    doubles(file, "Parameters/BedPorosity", 1, 0, {0.4});
    doubles(file, "Parameters/FluidDensity", 1, 0, {1000.0});
    doubles(file, "Parameters/SedimentDensity", 1, 0, {2650.0});
    ints(file, "Parameters/BeadloadType", 1, 0, {1});
    for (const char* name : {"BedloadFactor", "BedloadCoeff", "BedloadExpon", "BedloadIkeda", "BedloadCurvature",
                             "ThetaCritical", "ReposeAngle", "FixBedAccuracy"})
        doubles(file, std::string("Parameters/") + name, 1, 0, {1.5});
    ints(file, "Parameters/IncipientMotType", 1, 0, {1});
    ints(file, "Parameters/FixBedMaxIter", 1, 0, {10});
    std::vector<int> bedloadInts;
    for (const auto& row : spec.bedloadInts) bedloadInts.insert(bedloadInts.end(), row.begin(), row.end());
    ints(file, "Parameters/BedloadInts", static_cast<int>(spec.bedloadInts.size()), 2, bedloadInts);

    std::vector<int> ids;
    std::vector<double> timing;
    for (const KernelRow& row : spec.kernels) {
        ids.push_back(row.id);
        timing.insert(timing.end(), row.timing.begin(), row.timing.end());
    }
    ints(file, "kernels/ID", static_cast<int>(spec.kernels.size()), 1, ids);
    doubles(file, "kernels/execution", static_cast<int>(spec.kernels.size()), 3, timing);
}

bool exists(const std::string& file, const std::string& path)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    std::string prefix;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = path.find('/', start);
        prefix = path.substr(0, slash);
        if (!prefix.empty() && H5Lexists(f, prefix.c_str(), H5P_DEFAULT) <= 0) return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

std::vector<double> readValues(const std::string& file, const std::string& path)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    Handle set(H5Dopen2(f, path.c_str(), H5P_DEFAULT), H5Dclose);
    Handle space(H5Dget_space(set), H5Sclose);
    std::vector<double> values(static_cast<std::size_t>(H5Sget_simple_extent_npoints(space)));
    if (H5Dread(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) < 0)
        throw std::runtime_error("read " + path);
    return values;
}

double readAttribute(const std::string& file, const std::string& path, const std::string& name)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    Handle attribute(H5Aopen_by_name(f, path.c_str(), name.c_str(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    double value = 0.0;
    if (H5Aread(attribute, H5T_NATIVE_DOUBLE, &value) < 0) throw std::runtime_error("read attribute " + name);
    return value;
}

std::string readString(const std::string& file, const std::string& path)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    Handle set(H5Dopen2(f, path.c_str(), H5P_DEFAULT), H5Dclose);
    Handle fileType(H5Dget_type(set), H5Tclose);
    Handle type(H5Tcopy(H5T_C_S1), H5Tclose);
    H5Tset_size(type, H5T_VARIABLE);
    H5Tset_cset(type, H5Tget_cset(fileType));
    char* data[1] = {nullptr};
    if (H5Dread(set, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) < 0) throw std::runtime_error("read " + path);
    std::string value = data[0] != nullptr ? data[0] : "";
    H5free_memory(data[0]);
    return value;
}

int countObjects(const std::string& file, const std::string& path)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    Handle group(H5Gopen2(f, path.c_str(), H5P_DEFAULT), H5Gclose);
    H5G_info_t info;
    H5Gget_info(group, &info);
    return static_cast<int>(info.nlinks);
}

void overwriteValues(const std::string& file, const std::string& path, const std::vector<double>& values)
{
    Handle f(H5Fopen(file.c_str(), H5F_ACC_RDWR, H5P_DEFAULT), H5Fclose);
    Handle set(H5Dopen2(f, path.c_str(), H5P_DEFAULT), H5Dclose);
    if (H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) < 0)
        throw std::runtime_error("write " + path);
}

}  // namespace drivertest
