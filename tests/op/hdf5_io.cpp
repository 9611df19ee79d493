// Sets, maps and data read from HDF5 files written with the C API, with type conversion, and the reader's errors.
#include <gtest/gtest.h>
#include <hdf5.h>

#include <functional>
#include <string>
#include <vector>

#include "op/op_hdf5.h"
#include "op/op_openmp_decl.h"
#include "support/ScratchDir.hpp"
#include "tests/op/OpFixture.hpp"

namespace {

using OpHdf5 = optest::OpTest;
using OpHdf5DeathTest = optest::OpTest;

/// Writes a dataset of `rows` x `cols` (one-dimensional when cols is 0) with the given file and memory types,
/// creating intermediate groups.
void writeDataset(hid_t file, const std::string& path, hid_t type, hsize_t rows, hsize_t cols, const void* data)
{
    hid_t lcpl = H5Pcreate(H5P_LINK_CREATE);
    H5Pset_create_intermediate_group(lcpl, 1);
    hsize_t dims[2] = {rows, cols};
    hid_t space = H5Screate_simple(cols == 0 ? 1 : 2, dims, nullptr);
    hid_t dset = H5Dcreate2(file, path.c_str(), type, space, lcpl, H5P_DEFAULT, H5P_DEFAULT);
    H5Dwrite(dset, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data);
    H5Dclose(dset);
    H5Sclose(space);
    H5Pclose(lcpl);
}

/// A model-like file: two sets, an int map, a long long map with three columns, double, float and int data.
std::string writeModel(const testsupport::ScratchDir& dir)
{
    const std::string name = dir.file("model.h5");
    hid_t f = H5Fcreate(name.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    const int ncells = 4, nedges = 3;
    writeDataset(f, "CellsAll", H5T_NATIVE_INT, 1, 0, &ncells);
    writeDataset(f, "EdgesAll", H5T_NATIVE_INT, 1, 0, &nedges);
    const int e2c[6] = {0, 1, 1, 2, 2, 3};
    writeDataset(f, "Edges/EdgeCell", H5T_NATIVE_INT, 3, 2, e2c);
    const long long c2e[12] = {0, 0, 0, 0, 1, 1, 1, 2, 2, 2, 2, 2};
    writeDataset(f, "Cells/CellEdge", H5T_NATIVE_LLONG, 4, 3, c2e);
    const double zb[8] = {0.5, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.25};
    writeDataset(f, "Cells/BedElev", H5T_NATIVE_DOUBLE, 4, 2, zb);
    const float area[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    writeDataset(f, "Cells/CellArea", H5T_NATIVE_FLOAT, 4, 0, area);
    const int flags[5] = {7, 8, 9, 10, 11};  // one more row than the set: the set size decides
    writeDataset(f, "Cells/Flags", H5T_NATIVE_INT, 5, 1, flags);
    H5Fclose(f);
    return name;
}

}  // namespace

TEST_F(OpHdf5, SetsMapsAndDataAreReadWithConversion)
{
    testsupport::ScratchDir dir("op_hdf5_read");
    const std::string file = writeModel(dir);
    op_set cells = op_decl_set_hdf5(file.c_str(), "CellsAll");
    op_set edges = op_decl_set_hdf5(file.c_str(), "EdgesAll");
    EXPECT_EQ(cells->size, 4);
    EXPECT_EQ(op_decl_set_hdf5_infer_size(file.c_str(), "Rows", "Cells/Flags")->size, 5);

    op_map e2c = op_decl_map_hdf5(edges, cells, 2, file.c_str(), "Edges/EdgeCell");
    EXPECT_EQ(std::vector<int>(e2c->map, e2c->map + 6), (std::vector<int>{0, 1, 1, 2, 2, 3}));
    op_map c2e = op_decl_map_hdf5(cells, edges, 3, file.c_str(), "Cells/CellEdge");
    EXPECT_EQ(std::vector<int>(c2e->map, c2e->map + 12), (std::vector<int>{0, 0, 0, 0, 1, 1, 1, 2, 2, 2, 2, 2}));

    ::testing::internal::CaptureStdout();
    op_dat zb = op_decl_dat_hdf5(cells, 2, "float", file.c_str(), "Cells/BedElev");
    op_dat area = op_decl_dat_hdf5(cells, 1, "real(4)", file.c_str(), "Cells/CellArea");
    op_dat flags = op_decl_dat_hdf5(cells, 1, "int", file.c_str(), "Cells/Flags");
    op_dat longFlags = op_decl_dat_hdf5(cells, 1, "long", file.c_str(), "Cells/Flags");
    op_dat missing = op_decl_dat_hdf5(cells, 1, "float", file.c_str(), "Cells/Nothing");
    op_map missingMap = op_decl_map_hdf5(cells, edges, 3, file.c_str(), "Nowhere/CellEdge");
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string in = " in file " + file, inFile = " not found in file : " + file + " \n";
    EXPECT_EQ(out, "dat.type double" + in + " and type float do not match, performing automatic conversion\n" +
                       "dat.type int" + in + " and type long do not match, performing automatic conversion\n" +
                       "op_dat with name : Cells/Nothing" + inFile + "op_map with name : Nowhere/CellEdge" + inFile);
    EXPECT_TRUE(missing == nullptr && missingMap == nullptr);

    ASSERT_NE(zb, nullptr);
    EXPECT_EQ(zb->size, 8);
    const float* z = (const float*)zb->data;
    EXPECT_EQ(std::vector<float>(z, z + 8), (std::vector<float>{0.5f, 1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f, 7.25f}));
    EXPECT_EQ(((const float*)area->data)[3], 4.0f);
    EXPECT_EQ(std::vector<int>((int*)flags->data, (int*)flags->data + 4), (std::vector<int>{7, 8, 9, 10}));
    EXPECT_EQ(((int*)longFlags->data)[2], 9);
}

TEST_F(OpHdf5DeathTest, ReaderErrorsStopWithCodeTwo)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testsupport::ScratchDir dir("op_hdf5_errors");
    const std::string file = writeModel(dir);
    const char* f = file.c_str();
    op_set cells = op_decl_set(4, "cells");
    op_set edges = op_decl_set(3, "edges");
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { op_decl_map_hdf5(cells, edges, 2, f, "Cells/CellEdge"); },
         optest::aroundFile("map.dim 3 in file ", " and dim 2 do not match\n")},
        {[&] { op_decl_map_hdf5(edges, cells, 3, f, "Cells/CellEdge"); },
         optest::aroundFile("map from set size 4 in file ", " and size 3 do not match \n")},
        {[&] { op_decl_map_hdf5(cells, edges, 1, f, "Cells/CellArea"); },
         optest::aroundFile("Unknown type in file ", " for map Cells/CellArea\n")},
        {[&] { op_decl_dat_hdf5(cells, 3, "float", f, "Cells/BedElev"); },
         optest::aroundFile("dat.dim 2 in file ", " and dim 3 do not match\n")},
        {[&] { op_decl_dat_hdf5(cells, 2, "char", f, "Cells/BedElev"); }, optest::literal("unknown type for dat\n")},
        {[&] { op_decl_dat_hdf5(cells, 1, "float", "/nonexistent.h5", "x"); },
         optest::literal("File /nonexistent.h5 does not exist .... aborting op_decl_dat_hdf5()\n")},
        {[&] { op_decl_set_hdf5_infer_size(f, "x", "Cells/Nothing"); },
         optest::aroundFile("Dataset 'Cells/Nothing' not found in file '", "'\n")},
    };
    for (const auto& [run, regex] : cases) OP_EXPECT_EXIT_RE(run(), 2, regex);
}
