// Timing records and their reports on screen and in files.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "op/op_openmp_decl.h"
#include "support/ScratchDir.hpp"
#include "tests/op/OpFixture.hpp"

using OpReports = optest::OpTest;

namespace {
std::string slurp(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
}  // namespace

TEST_F(OpReports, TimingTableAndFilesReportEveryRecordThatRan)
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
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "\n  count   plan time     MPI time(std)        time(std)           GB/s      GB/s   kernel name "
              "\n -------------------------------------------------------------------------------------------\n"
              "      3;    0.0000;    0.0000(  0.0000);    2.0000(  0.0000);    2.0000;         ;   kernel_direct \n"
              "      2;    0.2500;    0.0000(  0.0000);    1.0000(  0.0000);   1.0000;   2.0000;   kernel_indirect \n"
              "Total plan time:   0.2500\n");
    EXPECT_EQ(OP_kernels[0].times[0], 2.0) << "the first per-thread time takes the accumulated time";

    testsupport::ScratchDir dir("op_reports");
    op_timings_to_csv(dir.file("t.csv").c_str());
    EXPECT_EQ(slurp(dir.file("t.csv")),
              "rank,thread,nranks,nthreads,count,total time,plan time,mpi time,GB used,GB total,kernel name\n"
              "0,0,1,1,3,2.000000,0.000000,0.000000,4.000000,0.000000,kernel_direct\n"
              "0,0,1,1,2,1.000000,0.250000,0.000000,1.000000,2.000000,kernel_indirect\n");

    op_timing_output_2_file(dir.file("t.txt").c_str());
    EXPECT_EQ(slurp(dir.file("t.txt")),
              "\n  count     time     GB/s     GB/s   kernel name "
              "\n ----------------------------------------------- \n"
              "      3    2.0000   2.0000            kernel_direct \n"
              "      2    1.0000   1.0000   2.0000   kernel_indirect \n"
              "Total kernel time = 3.000000\n");

    ::testing::internal::CaptureStdout();
    op_timings_to_csv("/nonexistent/dir/t.csv");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "ERROR: Failed to open file for writing: '/nonexistent/dir/t.csv'\n");
}
