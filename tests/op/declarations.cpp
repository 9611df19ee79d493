// Declarations, registries, loop argument checks, the timing table, and the errors of each declaration.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "op/op_openmp_decl.h"
#include "tests/op/OpFixture.hpp"

using OpDeclarations = optest::OpTest;
using OpDeclarationsDeathTest = optest::OpTest;

TEST_F(OpDeclarations, RegistriesGrowWithoutMovingRecords)
{
    std::vector<op_set> sets;
    static int table[11][2];
    static float values[11][10];
    for (int i = 0; i < 11; ++i) {
        sets.push_back(op_decl_set(i, ("s" + std::to_string(i)).c_str()));
        op_decl_map(sets[0], sets[0], 2, table[i], "m");
        op_decl_dat(sets[i], 1, "float", values[i], ("d" + std::to_string(i)).c_str());
    }
    int n = 0;
    for (op_dat_entry* e = OP_dat_list; e != nullptr; e = e->next, ++n) {
        EXPECT_EQ(OP_set_list[n], sets[n]) << "set record moved";
        EXPECT_EQ(OP_map_list[n]->map, table[n]) << "the table is adopted, not copied";
        EXPECT_EQ(e->dat->data, (char*)values[n]);
        EXPECT_EQ(e->dat->index, n);
    }
    EXPECT_EQ(n, 11);
    EXPECT_EQ(op_size_of_set("s7"), 7);
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
    float g = 0;
    // Consistent arguments and switched-off ones pass silently.
    ::testing::internal::CaptureStdout();
    op_arg_check(edges, 0, op_arg_dat(cf, 1, e2c, 1, "float", OP_INC), &ninds, "kernel_B");
    op_arg_check(edges, 1, op_arg_dat(cf, -2, e2c, 1, "float", OP_READ), &ninds, "kernel_B");
    op_arg_check(edges, 2, op_arg_dat(cd, 0, e2c, 1, "r8", OP_READ), &ninds, "kernel_B");
    op_arg_check(edges, 3, op_opt_arg_dat(0, cf, 7, e2c, 9, "int", OP_READ), &ninds, "kernel_B");
    op_arg_check(edges, 4, op_arg_dat(cf, 0, e2c, 2, "float", OP_READ), &ninds, "kernel_B");
    op_arg_check(cells, 5, op_arg_dat(cf, 2, e2c, 1, "int", OP_READ), &ninds, "kernel_B");
    op_arg_check(edges, 6, op_arg_dat(cf, -1, OP_ID, 1, "float", OP_READ), &ninds, "kernel_B");
    op_arg_check(edges, 7, op_arg_gbl(&g, 0, "float", OP_READ), &ninds, "kernel_B");
    op_arg_check(edges, 8, op_arg_gbl_char(nullptr, 1, "float", 4, OP_READ), &ninds, "kernel_B");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "error: arg 4 in kernel \"kernel_B\"\ndataset dim does not match declared dim \n"
              "error: arg 5 in kernel \"kernel_B\"\nmapping error \n"
              "error: arg 5 in kernel \"kernel_B\"\ninvalid index \n"
              "cells float int (cf)\n"
              "error: arg 5 in kernel \"kernel_B\"\ndataset type does not match declared type \n"
              "error: arg 6 in kernel \"kernel_B\"\ndataset set does not match loop set \n"
              "error: arg 7 in kernel \"kernel_B\"\ndimension should be strictly positive \n");
    EXPECT_EQ(ninds, 4) << "args 0, 2, 4 and 5 have idx >= 0 (arg 5's column is out of range but still counted)";
}

TEST_F(OpDeclarations, TimingTableListsTheKernelsThatRan)
{
    // Records 0 (direct) and 2 (indirect) ran; record 1 did not and is left out.
    op_timing_realloc(2);
    OP_kernels[0].name = "kernel_direct";
    OP_kernels[0].count = 3;
    OP_kernels[0].time = 2.0;
    OP_kernels[0].transfer = 4.0e9f;
    op_kernel& indirect = OP_kernels[2];
    indirect.name = "kernel_indirect";
    indirect.count = 2;
    indirect.time = 1.0;
    indirect.plan_time = 0.25f;
    indirect.transfer = 1.0e9f;
    indirect.transfer2 = 2.0e9f;
    OP_plan_time = 0.25;
    ::testing::internal::CaptureStdout();
    op_timing_output();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "\n  count   plan time     MPI time(std)        time(std)           GB/s      GB/s   kernel name "
              "\n -------------------------------------------------------------------------------------------\n"
              "      3;    0.0000;    0.0000(  0.0000);    2.0000(  0.0000);    2.0000;         ;   kernel_direct \n"
              "      2;    0.2500;    0.0000(  0.0000);    1.0000(  0.0000);   1.0000;   2.0000;   kernel_indirect \n"
              "Total plan time:   0.2500\n");
}

TEST_F(OpDeclarationsDeathTest, DeclarationErrorsStopWithTheirMessages)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    op_set a = op_decl_set(0, "empty");
    op_set two = op_decl_set(2, "two");
    int table[2] = {0, 5};
    float data[2] = {0};
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { op_decl_set(-1, "bad"); }, " op_decl_set error -- negative/zero size for set: bad\n"},
        {[&] { op_decl_map(nullptr, a, 1, table, "m"); }, " op_decl_map error -- invalid 'from' set for map m"},
        {[&] { op_decl_map(a, nullptr, 1, table, "m"); }, "op_decl_map error -- invalid 'to' set for map m"},
        {[&] { op_decl_map(a, a, 0, table, "m"); }, "op_decl_map error -- negative/zero dimension for map m"},
        {[&] { op_decl_dat(nullptr, 1, "float", data, "d"); }, "op_decl_dat error -- invalid set for data: d"},
        {[&] { op_decl_dat(a, 0, "float", data, "d"); }, "op_decl_dat error -- negative/zero dimension for data: d"},
        {[&] { op_size_of_set("nowhere"); }, "Error: set nowhere not found\n"},
        {[&] { check_map("checked", two, two, 1, table); },
         "op_decl_map error -- invalid data for map checked\nelement = 1, dimension = 0, map = 5\n"},
    };
    for (const auto& [run, message] : cases) OP_EXPECT_EXIT(run(), 255, message);
}
