// Execution plans: block sizes and cuts, block and element colouring, local numbering, the plan cache and self-check.
#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "op/op_openmp_decl.h"
#include "tests/op/OpFixture.hpp"

using OpPlans = optest::OpTest;

namespace {

/// Every invariant of a plan over a set of `setSize` elements: the blocks cut the set in order; the colours list every
/// block once; each block's element colours run 0 .. nthrcol - 1; no two blocks of one colour, and no two elements of
/// one colour within a block, reach a common target through an argument that read-writes or increments.
void expectValidPlan(const op_plan* p, int setSize, int nargs, const op_arg* args)
{
    int next = 0;
    for (int b = 0; b < p->nblocks; ++b) {
        ASSERT_EQ(p->offset[b], next) << "block " << b;
        ASSERT_GT(p->nelems[b], 0) << "block " << b;
        next += p->nelems[b];
    }
    ASSERT_EQ(next, setSize) << "every element in exactly one block";

    std::vector<int> blockColour(p->nblocks, -1);
    int pos = 0;
    for (int c = 0; c < p->ncolors; ++c)
        for (int i = 0; i < p->ncolblk[c]; ++i) {
            ASSERT_LT(pos, p->nblocks);
            const int b = p->blkmap[pos++];
            ASSERT_EQ(blockColour[b], -1) << "block " << b << " listed twice";
            blockColour[b] = c;
        }
    ASSERT_EQ(pos, p->nblocks) << "every block in some colour";

    for (int c = 0; c < p->ncolors; ++c) {
        std::set<std::pair<op_dat, int>> owner;  // (data, target) already modified by a block of this colour
        for (int b = 0; b < p->nblocks; ++b) {
            if (blockColour[b] != c) continue;
            std::set<std::pair<op_dat, int>> mine;
            std::map<std::pair<int, std::pair<op_dat, int>>, int> elementOf;  // (colour, target) -> element
            int maxColour = -1;
            for (int e = p->offset[b]; e < p->offset[b] + p->nelems[b]; ++e) {
                ASSERT_GE(p->thrcol[e], 0);
                maxColour = std::max(maxColour, p->thrcol[e]);
                for (int m = 0; m < nargs; ++m) {
                    if (args[m].map == nullptr || (args[m].acc != OP_INC && args[m].acc != OP_RW)) continue;
                    const int t = args[m].map_data[e * args[m].map->dim + args[m].idx];
                    mine.insert({args[m].dat, t});
                    const auto key = std::make_pair(p->thrcol[e], std::make_pair(args[m].dat, t));
                    const auto it = elementOf.find(key);
                    if (it != elementOf.end() && it->second != e)
                        ADD_FAILURE() << "elements " << it->second << " and " << e << " of colour " << p->thrcol[e]
                                      << " share target " << t;
                    elementOf[key] = e;
                }
            }
            EXPECT_EQ(p->nthrcol[b], maxColour + 1) << "block " << b;
            for (const auto& t : mine) {
                EXPECT_EQ(owner.count(t), 0u) << "colour " << c << ": block " << b << " shares target " << t.second;
                owner.insert(t);
            }
        }
    }
}

/// A loop as planned: its set size, arguments and their datasets.
struct PlannedLoop {
    std::string name;
    int setSize;
    std::vector<op_arg> args;
    std::vector<int> inds;
    int ninds;
};

}  // namespace

TEST_F(OpPlans, RandomMeshesGiveValidPlansForEveryBlockSizeAndAccessPattern)
{
    // Edges in shuffled order (far-apart targets in every block), several block sizes, and loops that increment
    // through both columns, read-write through three neighbour columns, or only read. All plans are checked again at
    // the end: later plans share tables with earlier ones, and the registry may have moved.
    std::mt19937 rng(2024);
    std::list<std::vector<int>> tables;  // map tables live until the framework shuts down
    std::list<std::vector<float>> values;
    std::vector<PlannedLoop> loops;
    for (int trial = 0; trial < 10; ++trial) {
        const optest::TriangleMesh mesh = optest::makeTriangleMesh(2 + rng() % 40, 1 + rng() % 25, trial + 1);
        const int part = std::vector<int>{0, 1, 7, 16, 64, 200}[rng() % 6];
        const std::string tag = std::to_string(trial);
        op_set edges = op_decl_set(mesh.nedges(), ("edges" + tag).c_str());
        op_set cells = op_decl_set(mesh.ncells, ("cells" + tag).c_str());
        op_map e2c = op_decl_map(edges, cells, 2, tables.emplace_back(mesh.edgeCells).data(), "e2c");
        op_map c2c = op_decl_map(cells, cells, 3, tables.emplace_back(mesh.neighbours).data(), "c2c");
        op_dat dat[3];
        for (op_dat& d : dat)
            d = op_decl_dat(cells, 1, "float", values.emplace_back(mesh.ncells).data(), ("d" + tag).c_str());
        op_arg r = op_arg_dat(dat[0], -1, OP_ID, 1, "float", OP_READ);
        // Datasets 0 and 1 use both columns, dataset 2 only column 0.
        loops.push_back(
            {"edges" + tag,
             mesh.nedges(),
             {op_arg_dat(dat[0], 0, e2c, 1, "float", OP_READ), op_arg_dat(dat[0], 1, e2c, 1, "float", OP_READ),
              op_arg_dat(dat[1], 1, e2c, 1, "float", OP_INC), op_arg_dat(dat[1], 0, e2c, 1, "float", OP_INC),
              op_arg_dat(dat[2], 0, e2c, 1, "float", OP_READ)},
             {0, 0, 1, 1, 2},
             3});
        loops.push_back({"edgesAgain" + tag, mesh.nedges(), loops.back().args, loops.back().inds, 3});
        loops.push_back({"cells" + tag,
                         mesh.ncells,
                         {r, op_arg_dat(dat[1], 0, c2c, 1, "float", OP_RW),
                          op_arg_dat(dat[1], 1, c2c, 1, "float", OP_RW), op_arg_dat(dat[1], 2, c2c, 1, "float", OP_RW)},
                         {-1, 0, 0, 0},
                         1});
        loops.push_back(
            {"reads" + tag,
             mesh.nedges(),
             {op_arg_dat(dat[0], 0, e2c, 1, "float", OP_READ), op_arg_dat(dat[0], 1, e2c, 1, "float", OP_READ)},
             {0, 0},
             1});
        loops.push_back({"direct" + tag, mesh.ncells, {r}, {-1}, 0});
        for (size_t i = loops.size() - 5; i < loops.size(); ++i) {
            PlannedLoop& l = loops[i];
            op_plan* p = op_plan_get(l.name.c_str(), l.args[0].map ? edges : cells, part, (int)l.args.size(),
                                     l.args.data(), l.ninds, l.inds.data());
            SCOPED_TRACE(l.name + ", part size " + std::to_string(part));
            expectValidPlan(p, l.setSize, (int)l.args.size(), l.args.data());
            if (l.name.rfind("reads", 0) == 0 || l.name.rfind("direct", 0) == 0) {
                EXPECT_EQ(p->ncolors, 1) << "blocks that only read share colour 0";
                EXPECT_EQ(p->owned_colors, 0);
            }
        }
    }
    ASSERT_EQ(OP_plan_index, (int)loops.size());
    for (int i = 0; i < OP_plan_index; ++i) {
        SCOPED_TRACE(loops[i].name + " again at the end");
        expectValidPlan(&OP_plans[i], loops[i].setSize, (int)loops[i].args.size(), loops[i].args.data());
    }
}

TEST_F(OpPlans, MoreThanThirtyTwoConflictingBlocksOrElementsUseFurtherPassesAndPlansAreCachedPerLoop)
{
    const int n = 70;
    op_set elems = op_decl_set(n, "elems");
    op_set hub = op_decl_set(2, "hub");
    std::vector<int> table(n, 0);  // every element increments hub element 0, except element 5
    table[5] = 1;
    op_map m = op_decl_map(elems, hub, 1, table.data(), "toHub");
    float h[2] = {};
    op_dat dh = op_decl_dat(hub, 1, "float", h, "h");
    float mx = 0;
    op_arg args[2] = {op_arg_dat(dh, 0, m, 1, "float", OP_INC), op_arg_gbl(&mx, 1, "float", OP_MAX)};
    int inds[2] = {0, -1};
    op_plan* p = op_plan_get("hub", elems, 1, 2, args, 1, inds);
    expectValidPlan(p, n, 2, args);
    EXPECT_EQ(p->ncolors, n - 1) << "block 5 (hub element 1) shares colour 0 with block 0";
    EXPECT_EQ(p->owned_colors, p->ncolors) << "an indirect loop with a reduction combines after the last colour";
    EXPECT_EQ(std::vector<int>(p->blkmap, p->blkmap + 3), (std::vector<int>{0, 5, 1}));

    // Within one block, 40 elements on one target take colours 0..38 (element 5 shares none) across two passes.
    p = op_plan_get("hubBlock", elems, 40, 2, args, 1, inds);
    expectValidPlan(p, n, 2, args);
    EXPECT_EQ(p->nthrcol[0], 39);
    EXPECT_EQ(p->thrcol[39], 38);

    // The cache returns a plan for the same loop only: another access mode is another plan.
    EXPECT_EQ(op_plan_get("hubBlock", elems, 40, 2, args, 1, inds), p);
    args[0].acc = OP_READ;
    EXPECT_NE(op_plan_get("hubBlock", elems, 40, 2, args, 1, inds), &OP_plans[1]);
    EXPECT_EQ(OP_plan_index, 3);
}
