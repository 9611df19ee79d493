// Shared pieces of the mesh-framework tests: a fixture that starts and shuts the framework down around each test,
// exit-path expectations that see standard output, and a triangle-strip mesh with its edges in shuffled order.
#pragma once

#include <gtest/gtest.h>
#include <omp.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "op/op_openmp_decl.h"

namespace optest {

/// Starts the framework quietly (diagnostics 0) and shuts it down after the test, restoring the thread count.
class OpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::testing::internal::CaptureStdout();
        op_init(0, nullptr, 0);
        ::testing::internal::GetCapturedStdout();
        OP_part_size = 0;
        OP_maps_base_index = 0;
        threads_ = omp_get_max_threads();
    }
    void TearDown() override
    {
        op_exit();
        omp_set_num_threads(threads_);
        OP_diags = 0;
        OP_part_size = 0;
        OP_maps_base_index = 0;
    }
    int threads_ = 1;
};

/// The fixture by the name the loop tests of other folders use (thread counts are restored by OpTest itself).
using ThreadedOpTest = OpTest;

/// Regular expression matching `text` literally.
inline std::string literal(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) out += '\\';
        out += c;
    }
    return out;
}

/// Regular expression for a message that names a scratch file: `before`, any path, `after` (a death test re-runs the
/// test body in a fresh process, whose scratch folders have other names).
inline std::string aroundFile(const std::string& before, const std::string& after)
{
    return literal(before) + "[^ ']*" + literal(after);
}

/// Runs `statement` with standard output joined to standard error, so that death-test regexes see printf output.
#define OP_EXPECT_EXIT_RE(statement, code, regex) \
    EXPECT_EXIT(                                  \
        {                                         \
            fflush(stdout);                       \
            dup2(2, 1);                           \
            statement;                            \
        },                                        \
        ::testing::ExitedWithCode(code), regex)
#define OP_EXPECT_EXIT(statement, code, message) OP_EXPECT_EXIT_RE(statement, code, ::optest::literal(message))

/// Interior edges of a structured nx x ny rectangle of squares, each cut into a lower and an upper triangle, listed
/// in an order shuffled by `seed` (none for seed 0). Every edge has two cells (left, right); `neighbours` gives three
/// neighbour cells per cell, the cell itself where it lies on the boundary.
struct TriangleMesh {
    int ncells = 0;
    std::vector<int> edgeCells;   ///< 2 per edge
    std::vector<int> neighbours;  ///< 3 per cell
    int nedges() const { return (int)edgeCells.size() / 2; }
};

inline TriangleMesh makeTriangleMesh(int nx, int ny, unsigned seed = 0)
{
    TriangleMesh m;
    m.ncells = 2 * nx * ny;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const int lower = 2 * (j * nx + i);  // its upper triangle is lower + 1
            m.edgeCells.insert(m.edgeCells.end(), {lower, lower + 1});
            if (i + 1 < nx) m.edgeCells.insert(m.edgeCells.end(), {lower, lower + 3});
            if (j + 1 < ny) m.edgeCells.insert(m.edgeCells.end(), {lower + 1, lower + 2 * nx});
        }
    std::vector<int> order(m.nedges());
    for (int i = 0; i < m.nedges(); ++i) order[i] = i;
    if (seed != 0) std::shuffle(order.begin(), order.end(), std::mt19937(seed));
    std::vector<int> edges = m.edgeCells;
    m.neighbours.assign(3 * m.ncells, -1);
    for (int i = 0; i < m.nedges(); ++i) {
        m.edgeCells[2 * i] = edges[2 * order[i]];
        m.edgeCells[2 * i + 1] = edges[2 * order[i] + 1];
        for (int side = 0; side < 2; ++side) {
            const int c = m.edgeCells[2 * i + side];
            *std::find(&m.neighbours[3 * c], &m.neighbours[3 * c + 3], -1) = m.edgeCells[2 * i + 1 - side];
        }
    }
    for (int c = 0; c < m.ncells; ++c) std::replace(&m.neighbours[3 * c], &m.neighbours[3 * c + 3], -1, c);
    return m;
}

}  // namespace optest
