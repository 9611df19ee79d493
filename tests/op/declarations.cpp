// Declarations, registries, start-up options, loop arguments and their checks, data access and dumps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "op/op_openmp_decl.h"
#include "support/ScratchDir.hpp"
#include "tests/op/OpFixture.hpp"

using optest::OpTest;

namespace {
std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
}  // namespace

using OpDeclarations = OpTest;
using OpDeclarationsDeathTest = OpTest;

TEST_F(OpDeclarations, EleventhSetMapAndDataGrowRegistriesWithoutMovingRecords)
{
    std::vector<op_set> sets;
    for (int i = 0; i < 11; ++i) sets.push_back(op_decl_set(i, ("s" + std::to_string(i)).c_str()));
    EXPECT_EQ(OP_set_index, 11);
    EXPECT_EQ(OP_set_max, 20);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(OP_set_list[i], sets[i]) << "set record moved";
        EXPECT_EQ(sets[i]->index, i);
        EXPECT_EQ(sets[i]->size, i);
        EXPECT_EQ(sets[i]->core_size, i);
        EXPECT_EQ(sets[i]->exec_size, 0);
        EXPECT_STREQ(sets[i]->name, ("s" + std::to_string(i)).c_str());
    }

    static int table[11][2];
    std::vector<op_map> maps;
    for (int i = 0; i < 11; ++i) {
        table[i][0] = 0;
        table[i][1] = 1;
        maps.push_back(op_decl_map(sets[1], sets[2], 2, table[i], "m"));
    }
    EXPECT_EQ(OP_map_index, 11);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(OP_map_list[i], maps[i]);
        EXPECT_EQ(maps[i]->index, i);
        EXPECT_EQ(maps[i]->map, table[i]) << "the table is adopted, not copied";
        EXPECT_EQ(maps[i]->user_managed, 1);
    }

    static float values[11][10];
    for (int i = 0; i < 11; ++i) op_decl_dat(sets[10], 1, "float", values[i], ("d" + std::to_string(i)).c_str());
    int n = 0;
    for (op_dat_entry* e = OP_dat_list; e != nullptr; e = e->next, ++n) {
        EXPECT_EQ(e->dat->index, n);
        EXPECT_EQ(e->dat->data, (char*)values[n]);
        EXPECT_EQ(e->dat->size, 4);
        EXPECT_STREQ(e->dat->name, ("d" + std::to_string(n)).c_str());
    }
    EXPECT_EQ(n, 11);
    EXPECT_EQ(OP_dat_index, 11);
    EXPECT_EQ(op_size_of_set("s7"), 7);
}

TEST_F(OpDeclarations, OneBasedMapsAreConvertedInTheCallersArray)
{
    op_set from = op_decl_set(1, "from");
    op_set to = op_decl_set(3, "to");
    int table[2] = {1, 3};
    OP_maps_base_index = 1;
    op_map map = op_decl_map(from, to, 2, table, "oneBased");
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[1], 2);
    EXPECT_EQ(map->map, table);

    int zeroBased[2] = {1, 2};
    OP_maps_base_index = 0;
    op_decl_map(from, to, 2, zeroBased, "zeroBased");
    EXPECT_EQ(zeroBased[0], 1);
    EXPECT_EQ(zeroBased[1], 2);
}

TEST_F(OpDeclarationsDeathTest, DeclarationErrorsStopWithTheirMessages)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    op_set a = op_decl_set(0, "empty");
    int table[1] = {0};
    float data[1] = {0};
    OP_EXPECT_EXIT(op_decl_set(-1, "bad"), 255, " op_decl_set error -- negative/zero size for set: bad\n");
    OP_EXPECT_EXIT(op_decl_map(nullptr, a, 1, table, "m"), 255, " op_decl_map error -- invalid 'from' set for map m");
    OP_EXPECT_EXIT(op_decl_map(a, nullptr, 1, table, "m"), 255, "op_decl_map error -- invalid 'to' set for map m");
    OP_EXPECT_EXIT(op_decl_map(a, a, 0, table, "m"), 255, "op_decl_map error -- negative/zero dimension for map m");
    OP_EXPECT_EXIT(op_decl_dat(nullptr, 1, "float", data, "d"), 255, "op_decl_dat error -- invalid set for data: d");
    OP_EXPECT_EXIT(op_decl_dat(a, 0, "float", data, "d"), 255,
                   "op_decl_dat error -- negative/zero dimension for data: d");
    OP_EXPECT_EXIT(op_size_of_set("nowhere"), 255, "Error: set nowhere not found\n");

    op_set three = op_decl_set(2, "three");
    int bad[2] = {0, 5};
    OP_EXPECT_EXIT(check_map("checked", three, three, 1, bad), 255,
                   "op_decl_map error -- invalid data for map checked\nelement = 1, dimension = 0, map = 5\n");
}

TEST_F(OpDeclarations, OptionWordsAndEnvironmentSetTheFrameworkOptions)
{
    ::testing::internal::CaptureStdout();
    op_set_args(0, (char*)"OP_PART_SIZE=128");
    op_set_args(0, (char*)"--xOP_CACHE_LINE_SIZE=64");
    op_set_args(0, (char*)"OP_BLOCK_SIZE=32");
    op_set_args(0, (char*)"OP_MAPS_BASE_INDEX=7");
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(OP_part_size, 128);
    EXPECT_EQ(OP_cache_line_size, 64);
    EXPECT_EQ(OP_block_size, 32);
    EXPECT_EQ(OP_maps_base_index, 7) << "an unsupported base stays stored";
    EXPECT_EQ(out,
              "\n OP_part_size = 128 \n"
              "\n OP_cache_line_size  = 64 \n"
              "\n OP_block_size = 32 \n"
              "\n Unsupported OP_maps_base_index : 7 --       reverting to C/C++ style (i.e. 0 besed) indexing \n");

    OP_maps_base_index = 0;
    ::testing::internal::CaptureStdout();
    op_set_args(0, (char*)"OP_MAPS_BASE_INDEX=1");
    op_set_args(0, (char*)"OP_MAPS_BASE_INDEX=1");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "\n OP_maps_base_index  = 1 (Default value 0 overridden)\n")
        << "an unchanged value prints nothing";
    set_maps_base(5);
    EXPECT_EQ(OP_maps_base_index, 1);
    set_maps_base(0);
    EXPECT_EQ(OP_maps_base_index, 0);

    // Start-up reads the environment and scans argv[1..].
    op_exit();
    setenv("OP_HYBRID_BALANCE", "0.25", 1);
    char prog[] = "prog", word[] = "OP_PART_SIZE=512";
    char* argv[] = {prog, word};
    ::testing::internal::CaptureStdout();
    op_init(2, argv, 3);
    out = ::testing::internal::GetCapturedStdout();
    unsetenv("OP_HYBRID_BALANCE");
    EXPECT_EQ(out, "\n Initializing OP2\n\n OP_hybrid_balance  = 0.25 \n\n OP_part_size = 512 \n");
    EXPECT_EQ(OP_diags, 3);
    EXPECT_DOUBLE_EQ(OP_hybrid_balance, 0.25);
    OP_hybrid_balance = 1.0;
    OP_block_size = 64;
    OP_cache_line_size = 128;
}

TEST_F(OpDeclarations, ArgumentConstructorsFillTheRecord)
{
    op_set edges = op_decl_set(2, "edges");
    op_set cells = op_decl_set(3, "cells");
    int table[4] = {0, 1, 1, 2};
    op_map e2c = op_decl_map(edges, cells, 2, table, "e2c");
    float f[6] = {};
    op_dat cellData = op_decl_dat(cells, 2, "float", f, "cellData");

    op_arg direct = op_arg_dat(cellData, -1, OP_ID, 2, "float", OP_READ);
    EXPECT_EQ(direct.map_data, nullptr);
    EXPECT_EQ(direct.size, 8);
    EXPECT_EQ(direct.data, (char*)f);
    op_arg through = op_arg_dat(cellData, 1, e2c, 2, "float", OP_INC);
    EXPECT_EQ(through.map_data, table);
    EXPECT_EQ(through.type, direct.type) << "common type names share one constant string";

    char custom[] = "real(4)";
    op_arg other = op_arg_dat(cellData, 0, e2c, 2, custom, OP_READ);
    EXPECT_STREQ(other.type, "real(4)");
    EXPECT_NE(other.type, (const char*)custom) << "other names are copied";

    op_arg off = op_opt_arg_dat(0, cellData, 0, e2c, 2, "float", OP_READ);
    EXPECT_EQ(off.opt, 0);

    double g[3] = {1, 2, 3};
    op_arg gbl = op_arg_gbl(g, 3, "double", OP_MAX);
    EXPECT_EQ(gbl.size, 24);
    EXPECT_EQ(gbl.opt, 1);
    EXPECT_EQ(op_arg_gbl((int*)nullptr, 1, "int", OP_READ).opt, 0);
    EXPECT_EQ(op_arg_gbl(g, 1, "weird", OP_READ).type, nullptr);
}

TEST_F(OpDeclarations, ArgumentCheckPrintsEachFindingAndCountsIndirectArguments)
{
    op_set edges = op_decl_set(2, "edges");
    op_set cells = op_decl_set(3, "cells");
    int table[4] = {0, 1, 1, 2};
    op_map e2c = op_decl_map(edges, cells, 2, table, "e2c");
    float f[3] = {};
    double d[3] = {};
    op_dat cf = op_decl_dat(cells, 1, "float", f, "cf");
    op_dat cd = op_decl_dat(cells, 1, "double", d, "cd");

    int ninds = 0;
    ::testing::internal::CaptureStdout();
    op_arg_check(edges, 0, op_arg_dat(cf, 1, e2c, 1, "float", OP_INC), &ninds, "kernel_A");
    op_arg_check(edges, 1, op_arg_dat(cf, -2, e2c, 1, "float", OP_READ), &ninds, "kernel_A");
    op_arg_check(edges, 2, op_arg_dat(cd, 0, e2c, 1, "r8", OP_READ), &ninds, "kernel_A");
    op_arg_check(edges, 3, op_opt_arg_dat(0, cf, 7, e2c, 9, "int", OP_READ), &ninds, "kernel_A");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "consistent arguments and switched-off ones pass";
    EXPECT_EQ(ninds, 2);

    ::testing::internal::CaptureStdout();
    op_arg_check(edges, 4, op_arg_dat(cf, 0, e2c, 2, "float", OP_READ), &ninds, "kernel_B");
    op_arg_check(cells, 5, op_arg_dat(cf, 2, e2c, 1, "int", OP_READ), &ninds, "kernel_B");
    op_arg_check(edges, 6, op_arg_dat(cf, -1, OP_ID, 1, "float", OP_READ), &ninds, "kernel_B");
    float g = 0;
    op_arg_check(edges, 7, op_arg_gbl(&g, 0, "float", OP_READ), &ninds, "kernel_B");
    op_arg_check(edges, 8, op_arg_gbl_char(nullptr, 1, "float", 4, OP_READ), &ninds, "kernel_B");
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "error: arg 4 in kernel \"kernel_B\"\ndataset dim does not match declared dim \n"
              "error: arg 5 in kernel \"kernel_B\"\nmapping error \n"
              "error: arg 5 in kernel \"kernel_B\"\ninvalid index \n"
              "cells float int (cf)\n"
              "error: arg 5 in kernel \"kernel_B\"\ndataset type does not match declared type \n"
              "error: arg 6 in kernel \"kernel_B\"\ndataset set does not match loop set \n"
              "error: arg 7 in kernel \"kernel_B\"\ndimension should be strictly positive \n");
    EXPECT_EQ(ninds, 4) << "args 4 and 5 have idx >= 0 (arg 5's column is out of range but still counted)";
}

TEST_F(OpDeclarations, DiagnosticTablesListTheRegistriesAtLevelTwo)
{
    op_set edges = op_decl_set(2, "edges");
    op_set cells = op_decl_set(3, "cells");
    int table[4] = {0, 1, 1, 2};
    op_decl_map(edges, cells, 2, table, "e2c");
    float f[3] = {};
    op_decl_dat(cells, 1, "float", f, "depth");

    OP_diags = 1;
    ::testing::internal::CaptureStdout();
    op_diagnostic_output();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    OP_diags = 2;
    ::testing::internal::CaptureStdout();
    op_diagnostic_output();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "\n  OP diagnostic output\n  --------------------\n\n       set       size\n  -------------------\n"
              "     edges          2\n     cells          3\n"
              "\n       map        dim       from         to\n  -----------------------------------------\n"
              "       e2c          2      edges      cells\n"
              "\n       dat        dim        set\n  ------------------------------\n"
              "     depth          1      cells\n\n");
}

TEST_F(OpDeclarationsDeathTest, TemporaryDataIsZeroedUniqueAndReleasable)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    op_set cells = op_decl_set(4, "cells");
    op_dat tmp = op_decl_dat_temp(cells, 2, "double", (double*)nullptr, "scratch");
    EXPECT_EQ(tmp->user_managed, 0);
    EXPECT_EQ(tmp->size, 16);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(((double*)tmp->data)[i], 0.0);
    EXPECT_EQ(search_dat(cells, 2, "double", 8, "scratch"), tmp);
    EXPECT_EQ(search_dat(cells, 2, "float", 8, "scratch"), nullptr);

    OP_EXPECT_EXIT(op_decl_dat_temp(cells, 2, "double", (double*)nullptr, "scratch"), 2,
                   "op_dat with name scratch already exists, cannot create temporary op_dat\n");

    op_dat twin = op_decl_dat_temp(cells, 1, "double", (double*)nullptr, "scratch");  // other dim: allowed
    EXPECT_EQ(op_free_dat_temp<double>(tmp), 1);
    EXPECT_EQ(search_dat(cells, 2, "double", 8, "scratch"), nullptr);
    EXPECT_EQ(OP_dat_list->dat, twin);
    EXPECT_EQ(OP_dat_list->next, nullptr);

    op_dat_core ghost = *twin;
    ghost.name = "ghost";
    EXPECT_EQ(op_free_dat_temp_char(&ghost), -1);
}

TEST_F(OpDeclarationsDeathTest, FetchCopiesElementRangesAndChecksBounds)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    op_set cells = op_decl_set(4, "cells");
    int v[8] = {0, 1, 10, 11, 20, 21, 30, 31};
    op_dat d = op_decl_dat(cells, 2, "int", v, "v");
    int all[8] = {};
    op_fetch_data(d, all);
    EXPECT_EQ(std::vector<int>(all, all + 8), std::vector<int>(v, v + 8));
    int part[4] = {};
    op_fetch_data_idx(d, part, 1, 2);
    EXPECT_EQ(std::vector<int>(part, part + 4), (std::vector<int>{10, 11, 20, 21}));
    OP_EXPECT_EXIT(op_fetch_data_idx(d, part, 2, 4), 2,
                   "op_fetch_data: Indices not within range of elements held in v\n");
    OP_EXPECT_EXIT(op_fetch_data_idx(d, part, -1, 1), 2, "Indices not within range");
}

TEST_F(OpDeclarationsDeathTest, DumpsWriteHeaderAndElements)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testsupport::ScratchDir dir("op_dumps");
    op_set cells = op_decl_set(2, "cells");
    float f[4] = {1.5f, 2.0f, -3.0f, 4.25f};
    op_dat df = op_decl_dat(cells, 2, "float", f, "f");

    op_print_dat_to_txtfile(df, dir.file("f.txt").c_str());
    EXPECT_EQ(slurp(dir.file("f.txt")), "2 2\n1.500000 2.000000 \n-3.000000 4.250000 \n");

    op_print_dat_to_binfile(df, dir.file("f.bin").c_str());
    const std::string bin = slurp(dir.file("f.bin"));
    ASSERT_EQ(bin.size(), 8u + sizeof f);
    int header[2];
    std::memcpy(header, bin.data(), 8);
    EXPECT_EQ(header[0], 2);
    EXPECT_EQ(header[1], 2);
    EXPECT_EQ(std::memcmp(bin.data() + 8, f, sizeof f), 0);

    char bytes[2] = {1, 2};
    op_dat odd = op_decl_dat(cells, 1, "char", bytes, "odd");
    OP_EXPECT_EXIT(op_print_dat_to_txtfile(odd, dir.file("odd.txt").c_str()), 2,
                   "Unknown type char, cannot be written to file");
    OP_EXPECT_EXIT(op_print_dat_to_binfile(df, "/nonexistent/dir/f.bin"), 2,
                   "can't open file /nonexistent/dir/f.bin\n");
}
