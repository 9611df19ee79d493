// Execution plans: block sizes and cuts, block and element colouring, the plan cache and the plan self-check.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "op/op_openmp_decl.h"
#include "tests/op/OpFixture.hpp"

using OpPlans = optest::OpTest;

namespace {

std::vector<int> blockLengths(const op_plan* p) { return std::vector<int>(p->nelems, p->nelems + p->nblocks); }

/// The plan's colouring invariant: no two blocks of one colour, and no two elements of one colour within a block,
/// reach a common target element through an argument that read-writes or increments.
void expectConflictFree(const op_plan* p, int nargs, const op_arg* args)
{
    std::vector<int> blockColour(p->nblocks);
    int pos = 0;
    for (int c = 0; c < p->ncolors; ++c)
        for (int i = 0; i < p->ncolblk[c]; ++i) blockColour[p->blkmap[pos++]] = c;
    ASSERT_EQ(pos, p->nblocks);

    for (int c = 0; c < p->ncolors; ++c) {
        std::set<std::pair<op_dat, int>> owner;  // (data, target) already taken by a block of this colour
        for (int b = 0; b < p->nblocks; ++b) {
            if (blockColour[b] != c) continue;
            std::set<std::pair<op_dat, int>> mine;
            std::map<std::pair<int, std::pair<op_dat, int>>, int> elementOf;  // (colour, target) -> element
            for (int e = p->offset[b]; e < p->offset[b] + p->nelems[b]; ++e)
                for (int m = 0; m < nargs; ++m) {
                    if (args[m].map == nullptr || (args[m].acc != OP_INC && args[m].acc != OP_RW)) continue;
                    const int t = args[m].map_data[e * args[m].map->dim + args[m].idx];
                    mine.insert({args[m].dat, t});
                    const auto key = std::make_pair(p->thrcol[e], std::make_pair(args[m].dat, t));
                    auto it = elementOf.find(key);
                    if (it != elementOf.end() && it->second != e)
                        ADD_FAILURE() << "elements " << it->second << " and " << e << " of colour " << p->thrcol[e]
                                      << " share target " << t;
                    elementOf[key] = e;
                }
            for (const auto& t : mine) {
                EXPECT_EQ(owner.count(t), 0u) << "colour " << c << ": block " << b << " shares target " << t.second;
                owner.insert(t);
            }
        }
    }
}

/// Every block's list of each indirect dataset is the sorted distinct set of the targets its elements reach, and
/// every local map entry leads back to the element's target.
void expectLocalNumbering(const op_plan* p, int nargs, const op_arg* args, const int* inds)
{
    for (int b = 0; b < p->nblocks; ++b)
        for (int d = 0; d < p->ninds; ++d) {
            std::set<int> targets;
            for (int m = 0; m < nargs; ++m)
                if (inds[m] == d)
                    for (int e = p->offset[b]; e < p->offset[b] + p->nelems[b]; ++e)
                        targets.insert(args[m].map_data[e * args[m].map->dim + args[m].idx]);
            const int* list = p->ind_maps[d] + p->ind_offs[b * p->ninds + d];
            ASSERT_EQ(std::vector<int>(list, list + p->ind_sizes[b * p->ninds + d]),
                      std::vector<int>(targets.begin(), targets.end()))
                << "block " << b << ", dataset " << d;
            for (int m = 0; m < nargs; ++m) {
                if (inds[m] != d) continue;
                for (int e = p->offset[b]; e < p->offset[b] + p->nelems[b]; ++e)
                    ASSERT_EQ(list[p->loc_maps[m][e]], args[m].map_data[e * args[m].map->dim + args[m].idx])
                        << "argument " << m << ", element " << e;
            }
        }
}

/// The mesh's edge-to-cell map with the cells renumbered at random: far-apart targets in every block.
std::vector<int> scatteredEdgeCells(const optest::TriangleMesh& mesh, unsigned seed)
{
    std::vector<int> perm(mesh.ncells);
    for (int c = 0; c < mesh.ncells; ++c) perm[c] = c;
    std::shuffle(perm.begin(), perm.end(), std::mt19937(seed));
    std::vector<int> scattered = mesh.edgeCells;
    for (int& c : scattered) c = perm[c];
    return scattered;
}

}  // namespace

TEST_F(OpPlans, BlocksFollowPartSizeOrTheIndirectByteRule)
{
    op_set elems = op_decl_set(1000, "elems");
    op_set targets = op_decl_set(1000, "targets");
    std::vector<int> ident(2000);
    for (int i = 0; i < 2000; ++i) ident[i] = (i / 2 + i % 2) % 1000;
    op_map m = op_decl_map(elems, targets, 2, ident.data(), "pairs");
    std::vector<float> f6(6000), f1(1000);
    std::vector<char> c77(77 * 1000);
    op_dat d6 = op_decl_dat(targets, 6, "float", f6.data(), "d6");  // 24 bytes per element
    op_dat d1 = op_decl_dat(targets, 1, "float", f1.data(), "d1");
    op_dat d77 = op_decl_dat(targets, 77, "char", c77.data(), "d77");

    int inds1[1] = {0};
    op_arg a256[1] = {op_arg_dat(d1, 0, m, 1, "float", OP_INC)};
    op_plan* p = op_plan_get("part", elems, 256, 1, a256, 1, inds1);
    EXPECT_EQ(blockLengths(p), (std::vector<int>{256, 256, 256, 232}));
    EXPECT_EQ(std::vector<int>(p->offset, p->offset + 4), (std::vector<int>{0, 256, 512, 768}));

    op_arg a24[1] = {op_arg_dat(d6, 1, m, 6, "float", OP_READ)};
    p = op_plan_get("bytes24", elems, 0, 1, a24, 1, inds1);
    EXPECT_EQ(p->nelems[0], 1000) << "24 bytes give blocks of 1024, so 1000 elements form one block";
    EXPECT_EQ(p->nblocks, 1);

    op_set many = op_decl_set(3000, "many");
    std::vector<int> row(3000);
    for (int i = 0; i < 3000; ++i) row[i] = i % 1000;
    op_map mm = op_decl_map(many, targets, 1, row.data(), "row");
    op_arg b24[2] = {op_arg_dat(d6, 0, mm, 6, "float", OP_READ), op_arg_dat(d1, 0, mm, 1, "float", OP_INC)};
    int inds2[2] = {0, 1};
    p = op_plan_get("bytes28", many, 0, 2, b24, 2, inds2);
    EXPECT_EQ(p->nelems[0], 832) << "28 bytes: floor(24576 / 1792) * 64";
    p = op_plan_get_stage("staging1", many, 0, 2, b24, 2, inds2, 1);
    EXPECT_EQ(p->nelems[0], 3000) << "staging 1 counts only the 4 incremented bytes: blocks of 6144";
    op_arg c77arg[1] = {op_arg_dat(d77, 0, mm, 77, "char", OP_READ)};
    p = op_plan_get("bytes77", many, 0, 1, c77arg, 1, inds1);
    EXPECT_EQ(p->nelems[0], 256);
    EXPECT_EQ(p->nblocks, 12);
    EXPECT_EQ(p->nelems[11], 3000 - 11 * 256);
    p = op_plan_get_stage("whole", many, 0, 1, c77arg, 1, inds1, 4);
    EXPECT_EQ(p->nblocks, 1);
    EXPECT_EQ(p->nelems[0], 3000);

    // A set with no indirect data uses 256 or the requested size.
    op_arg directOnly[1] = {op_arg_dat(d1, -1, OP_ID, 1, "float", OP_READ)};
    int noInds[1] = {-1};
    p = op_plan_get("direct", targets, 0, 1, directOnly, 0, noInds);
    EXPECT_EQ(blockLengths(p), (std::vector<int>{256, 256, 256, 232}));
    EXPECT_EQ(p->ncolors, 1);
}

TEST_F(OpPlans, BlocksThatModifyOneTargetNeverShareAColour)
{
    const optest::TriangleMesh mesh = optest::makeTriangleMesh(30, 20);
    std::vector<int> e2c = mesh.edgeCells;
    // Shuffle the edges so that neighbouring blocks touch cells far apart as well.
    std::mt19937 rng(7);
    std::vector<int> order(mesh.nedges());
    for (int i = 0; i < mesh.nedges(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    for (int i = 0; i < mesh.nedges(); ++i) {
        e2c[2 * i] = mesh.edgeCells[2 * order[i]];
        e2c[2 * i + 1] = mesh.edgeCells[2 * order[i] + 1];
    }
    std::vector<int> c2c = mesh.neighbours;
    op_set edges = op_decl_set(mesh.nedges(), "edges");
    op_set cells = op_decl_set(mesh.ncells, "cells");
    op_map me = op_decl_map(edges, cells, 2, e2c.data(), "e2c");
    op_map mc = op_decl_map(cells, cells, 3, c2c.data(), "c2c");
    std::vector<float> u(mesh.ncells), r(mesh.ncells), w(mesh.ncells);
    op_dat du = op_decl_dat(cells, 1, "float", u.data(), "u");
    op_dat dr = op_decl_dat(cells, 1, "float", r.data(), "r");
    op_dat dw = op_decl_dat(cells, 1, "float", w.data(), "w");

    op_arg edgeArgs[3] = {op_arg_dat(du, 0, me, 1, "float", OP_READ), op_arg_dat(dr, 0, me, 1, "float", OP_INC),
                          op_arg_dat(dr, 1, me, 1, "float", OP_INC)};
    int edgeInds[3] = {0, 1, 1};
    op_plan* p = op_plan_get("edges", edges, 64, 3, edgeArgs, 2, edgeInds);
    EXPECT_GT(p->ncolors, 1);
    expectConflictFree(p, 3, edgeArgs);

    // The same data reached through two different maps still counts as one target.
    op_arg cellArgs[4] = {op_arg_dat(dw, -1, OP_ID, 1, "float", OP_READ), op_arg_dat(dr, 0, mc, 1, "float", OP_RW),
                          op_arg_dat(dr, 1, mc, 1, "float", OP_RW), op_arg_dat(dr, 2, mc, 1, "float", OP_RW)};
    int cellInds[4] = {-1, 0, 0, 0};
    p = op_plan_get("cells", cells, 50, 4, cellArgs, 1, cellInds);
    expectConflictFree(p, 4, cellArgs);

    // Blocks that only read shared elements all take colour 0.
    op_arg readArgs[2] = {op_arg_dat(du, 0, me, 1, "float", OP_READ), op_arg_dat(du, 1, me, 1, "float", OP_READ)};
    int readInds[2] = {0, 0};
    p = op_plan_get("reads", edges, 64, 2, readArgs, 1, readInds);
    EXPECT_EQ(p->ncolors, 1);
    EXPECT_EQ(p->ncolblk[0], p->nblocks);
    EXPECT_EQ(p->owned_colors, 0);
}

TEST_F(OpPlans, MoreThanThirtyTwoConflictingBlocksUseFurtherPasses)
{
    const int n = 70;
    op_set elems = op_decl_set(n, "elems");
    op_set hub = op_decl_set(2, "hub");
    std::vector<int> table(n, 0);  // every element increments hub element 0
    table[5] = 1;
    op_map m = op_decl_map(elems, hub, 1, table.data(), "toHub");
    float h[2] = {};
    op_dat dh = op_decl_dat(hub, 1, "float", h, "h");
    float mx = 0;
    op_arg args[2] = {op_arg_dat(dh, 0, m, 1, "float", OP_INC), op_arg_gbl(&mx, 1, "float", OP_MAX)};
    int inds[2] = {0, -1};
    op_plan* p = op_plan_get("hub", elems, 1, 2, args, 1, inds);
    ASSERT_EQ(p->nblocks, n);
    EXPECT_EQ(p->ncolors, n - 1) << "block 5 (hub element 1) shares colour 0 with block 0";
    EXPECT_EQ(p->owned_colors, p->ncolors) << "an indirect loop with a reduction combines after the last colour";
    std::vector<int> listed(p->blkmap, p->blkmap + n);
    std::sort(listed.begin(), listed.end());
    for (int b = 0; b < n; ++b) EXPECT_EQ(listed[b], b);
    EXPECT_EQ(p->blkmap[0], 0);
    EXPECT_EQ(p->blkmap[1], 5);
    EXPECT_EQ(p->blkmap[2], 1);
    EXPECT_EQ(p->ncolblk[0], 2);
    EXPECT_EQ(p->ncolblk[40], 1);
    expectConflictFree(p, 2, args);

    // Within one block, 40 elements on one target take colours 0..39 across two passes.
    p = op_plan_get("hubBlock", elems, 40, 2, args, 1, inds);
    EXPECT_EQ(p->nthrcol[0], 39) << "elements 0..39 minus element 5, which shares no target";
    EXPECT_EQ(p->thrcol[5], 0);
    EXPECT_EQ(p->thrcol[39], 38);
    EXPECT_EQ(p->core_colors, 0);
}

TEST_F(OpPlans, CacheReturnsTheSamePlanForTheSameLoop)
{
    op_set elems = op_decl_set(10, "elems");
    std::vector<int> t(10);
    for (int i = 0; i < 10; ++i) t[i] = 9 - i;
    op_map m = op_decl_map(elems, elems, 1, t.data(), "rev");
    float f[10] = {};
    op_dat d = op_decl_dat(elems, 1, "float", f, "f");
    op_arg args[1] = {op_arg_dat(d, 0, m, 1, "float", OP_INC)};
    int inds[1] = {0};
    op_plan* first = op_plan_get("loop", elems, 0, 1, args, 1, inds);
    const int index = OP_plan_index;
    OP_diags = 4;
    ::testing::internal::CaptureStdout();
    op_plan* again = op_plan_get("loop", elems, 0, 1, args, 1, inds);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), " old execution plan #0\n");
    OP_diags = 0;
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->count, 2);
    EXPECT_EQ(OP_plan_index, index);

    op_arg readArgs[1] = {op_arg_dat(d, 0, m, 1, "float", OP_READ)};
    EXPECT_NE(op_plan_get("loop", elems, 0, 1, readArgs, 1, inds), nullptr);
    EXPECT_EQ(OP_plan_index, index + 1) << "another access mode is another plan";
    op_plan_get("loop", elems, 5, 1, args, 1, inds);
    EXPECT_EQ(OP_plan_index, index + 2) << "another part size is another plan";

    // Eleven plans grow the registry; the earlier plans keep their tables.
    for (int i = 0; i < 9; ++i) op_plan_get("loop", elems, 100 + i, 1, args, 1, inds);
    EXPECT_EQ(OP_plan_index, 12);
    EXPECT_EQ(OP_plan_max, 20);
    EXPECT_EQ(op_plan_get("loop", elems, 0, 1, args, 1, inds)->count, 3);
    EXPECT_GE(OP_plan_time, 0.0);
}

TEST_F(OpPlans, StatisticsAndSelfCheckLines)
{
    op_set elems = op_decl_set(1000, "elems");
    std::vector<int> t(1000);
    for (int i = 0; i < 1000; ++i) t[i] = (i * 7) % 1000;
    op_map m = op_decl_map(elems, elems, 1, t.data(), "perm");
    std::vector<float> f(1000);
    op_dat d = op_decl_dat(elems, 1, "float", f.data(), "f");
    op_arg args[1] = {op_arg_dat(d, 0, m, 1, "float", OP_INC)};
    int inds[1] = {0};

    OP_diags = 7;
    ::testing::internal::CaptureStdout();
    op_plan* p = op_plan_get("kernel_stats", elems, 256, 1, args, 1, inds);
    const std::string out = ::testing::internal::GetCapturedStdout();
    OP_diags = 0;
    EXPECT_NE(out.find(" new execution plan #0 for kernel kernel_stats\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" number of blocks       = 4 \n"), std::string::npos) << out;
    EXPECT_NE(out.find(" number of block colors = 1 \n"), std::string::npos) << out;
    EXPECT_NE(out.find(" maximum block size     = 256 \n"), std::string::npos) << out;
    EXPECT_NE(out.find(" average thread colors  = 1.00 \n"), std::string::npos) << out;
    EXPECT_NE(out.find(" shared memory required =  1.00 KB\n"), std::string::npos) << out;
    for (const char* line : {" *** OP_plan_check: nelems   OK \n", " *** OP_plan_check: offset   OK \n",
                             " *** OP_plan_check: blkmap   OK \n", " *** OP_plan_check: ind_offs OK \n",
                             " *** OP_plan_check: ind_maps OK \n", " *** OP_plan_check: maps     OK \n"})
        EXPECT_NE(out.find(line), std::string::npos) << line;
    EXPECT_GT(p->transfer, 0.0f);
    EXPECT_GE(p->transfer2, p->transfer);

    // A damaged copy of the plan is caught by the self-check, with the OK lines silenced below level 7.
    OP_diags = 2;
    op_plan bad = *p;
    std::vector<int> nelems(p->nelems, p->nelems + p->nblocks);
    std::vector<int> blkmap(p->blkmap, p->blkmap + p->nblocks);
    std::vector<unsigned short> loc(p->loc_maps[0], p->loc_maps[0] + 1000);
    std::vector<unsigned short*> locs = {loc.data()};
    nelems[3] -= 1;
    blkmap[2] = blkmap[1];
    loc[3] = (unsigned short)(loc[3] + 1);
    loc[4] = (unsigned short)(loc[4] + 1);
    bad.nelems = nelems.data();
    bad.blkmap = blkmap.data();
    bad.loc_maps = locs.data();
    ::testing::internal::CaptureStdout();
    op_plan_check(bad, 1, inds);
    OP_diags = 0;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " *** OP_plan_check: nelems error \n *** OP_plan_check: blkmap error \n"
              " *** OP_plan_check: 2 maps error(s) \n");
}

TEST_F(OpPlans, LocalNumberingIsSharedBetweenArgumentsThroughTheSameColumns)
{
    const optest::TriangleMesh mesh = optest::makeTriangleMesh(40, 25);
    std::vector<int> scattered = scatteredEdgeCells(mesh, 11);
    op_set edges = op_decl_set(mesh.nedges(), "edges");
    op_set cells = op_decl_set(mesh.ncells, "cells");
    std::vector<int> near = mesh.edgeCells;
    std::vector<int> split = mesh.edgeCells;  // even and odd cells in two halves: every block reaches two far ranges
    for (int& c : split) c = c % 2 == 0 ? c / 2 : mesh.ncells / 2 + c / 2;
    op_map me = op_decl_map(edges, cells, 2, near.data(), "e2c");
    op_map ms = op_decl_map(edges, cells, 2, scattered.data(), "e2cScattered");
    op_map mh = op_decl_map(edges, cells, 2, split.data(), "e2cSplit");
    std::vector<float> u(mesh.ncells), v(mesh.ncells), r(mesh.ncells);
    op_dat du = op_decl_dat(cells, 1, "float", u.data(), "u");
    op_dat dv = op_decl_dat(cells, 1, "float", v.data(), "v");
    op_dat dr = op_decl_dat(cells, 1, "float", r.data(), "r");

    for (op_map map : {me, ms, mh}) {
        const std::string name = map == me ? "near" : map == ms ? "scattered" : "split";
        // Datasets 0 and 1 use both columns, dataset 2 only column 0.
        op_arg args[5] = {op_arg_dat(du, 0, map, 1, "float", OP_READ), op_arg_dat(du, 1, map, 1, "float", OP_READ),
                          op_arg_dat(dr, 1, map, 1, "float", OP_INC), op_arg_dat(dr, 0, map, 1, "float", OP_INC),
                          op_arg_dat(dv, 0, map, 1, "float", OP_READ)};
        int inds[5] = {0, 0, 1, 1, 2};
        op_plan* p = op_plan_get(name.c_str(), edges, 64, 5, args, 3, inds);
        expectLocalNumbering(p, 5, args, inds);
        expectConflictFree(p, 5, args);
        EXPECT_EQ(p->ind_maps[0], p->ind_maps[1]) << "same columns, one list";
        EXPECT_NE(p->ind_maps[0], p->ind_maps[2]) << "column 0 alone reaches fewer targets";
        EXPECT_EQ(p->loc_maps[0], p->loc_maps[3]) << "column 0 of datasets 0 and 1";
        EXPECT_EQ(p->loc_maps[1], p->loc_maps[2]) << "column 1 of datasets 0 and 1";
        EXPECT_NE(p->loc_maps[0], p->loc_maps[1]);
        EXPECT_NE(p->loc_maps[0], p->loc_maps[4]) << "positions in another list";

        // The same loop again under another name is a new plan with equal tables: they are stored once.
        op_plan* again = op_plan_get((name + "Again").c_str(), edges, 64, 5, args, 3, inds);
        p = &OP_plans[OP_plan_index - 2];  // the registry may have moved
        EXPECT_NE(again, p);
        EXPECT_EQ(again->ind_maps[2], p->ind_maps[2]);
        EXPECT_EQ(again->loc_maps[4], p->loc_maps[4]);
        EXPECT_EQ(again->thrcol, p->thrcol);
        EXPECT_EQ(std::vector<int>(again->blkmap, again->blkmap + again->nblocks),
                  std::vector<int>(p->blkmap, p->blkmap + p->nblocks));
    }

    // Read-only loops colour every element 0; a shorter all-zero colour table is the start of a longer one.
    op_arg readEdges[1] = {op_arg_dat(du, 0, me, 1, "float", OP_READ)};
    op_arg readCells[1] = {op_arg_dat(du, -1, OP_ID, 1, "float", OP_READ)};
    int one[1] = {0}, none[1] = {-1};
    ASSERT_GT(mesh.nedges(), mesh.ncells);
    op_plan* pe = op_plan_get("readEdges", edges, 64, 1, readEdges, 1, one);
    op_plan* pc = op_plan_get("readCells", cells, 64, 1, readCells, 0, none);
    pe = &OP_plans[OP_plan_index - 2];
    EXPECT_EQ(pe->thrcol, pc->thrcol) << "the cells' colours are the start of the edges' table";
    // A read-only loop over a set longer than any before gets a longer table of zeros, which later loops share.
    op_set many = op_decl_set(3 * mesh.nedges(), "many");
    std::vector<int> manyCells(3 * mesh.nedges());
    for (size_t i = 0; i < manyCells.size(); ++i) manyCells[i] = (int)(i % mesh.ncells);
    op_map mm = op_decl_map(many, cells, 1, manyCells.data(), "many2c");
    op_arg readMany[1] = {op_arg_dat(du, 0, mm, 1, "float", OP_READ)};
    op_plan* pm = op_plan_get("readMany", many, 64, 1, readMany, 1, one);
    op_plan* pc2 = op_plan_get("readCellsAgain", cells, 64, 1, readCells, 0, none);
    pe = &OP_plans[OP_plan_index - 4];
    pc = &OP_plans[OP_plan_index - 3];
    pm = &OP_plans[OP_plan_index - 2];
    EXPECT_NE(pm->thrcol, pe->thrcol);
    EXPECT_EQ(pc2->thrcol, pm->thrcol);
    for (const op_plan* q : {pe, pc, pm, pc2}) {
        EXPECT_EQ(std::count(q->thrcol, q->thrcol + q->exec_length, 0), q->exec_length);
        EXPECT_EQ(std::count(q->nthrcol, q->nthrcol + q->nblocks, 1), q->nblocks) << "one element colour per block";
    }

    OP_diags = 7;
    ::testing::internal::CaptureStdout();
    op_plan_check(*pe, 1, one);
    const std::string out = ::testing::internal::GetCapturedStdout();
    OP_diags = 0;
    EXPECT_NE(out.find(" *** OP_plan_check: maps     OK \n"), std::string::npos) << out;
}

TEST_F(OpPlans, TransferEstimatesCountEachBlocksDistinctTargetsAndTheirCacheLines)
{
    // Element sizes that divide the line (4, 8, 16 bytes) and that straddle lines (12, 20, 136), on the default
    // line of 128 bytes and on a line that is not a power of two; targets near each other and scattered.
    const optest::TriangleMesh mesh = optest::makeTriangleMesh(30, 20);
    std::vector<int> scattered = scatteredEdgeCells(mesh, 5);
    op_set edges = op_decl_set(mesh.nedges(), "edges");
    op_set cells = op_decl_set(mesh.ncells, "cells");
    std::vector<int> near = mesh.edgeCells;
    op_map me = op_decl_map(edges, cells, 2, near.data(), "e2c");
    op_map ms = op_decl_map(edges, cells, 2, scattered.data(), "e2cScattered");
    std::vector<float> store(34 * mesh.ncells), flux(mesh.nedges());
    op_dat df = op_decl_dat(edges, 1, "float", flux.data(), "flux");

    const int saved = OP_cache_line_size;
    int planNo = 0;
    for (int line : {128, 96})
        for (int dim : {1, 2, 3, 4, 5, 34})
            for (op_map map : {me, ms}) {
                OP_cache_line_size = line;
                op_dat dc = op_decl_dat(cells, dim, "float", store.data(), ("c" + std::to_string(planNo)).c_str());
                // Read through both columns, written directly, and one incremented dataset through column 0.
                op_arg args[4] = {
                    op_arg_dat(dc, 0, map, dim, "float", OP_READ), op_arg_dat(dc, 1, map, dim, "float", OP_READ),
                    op_arg_dat(df, -1, OP_ID, 1, "float", OP_WRITE), op_arg_dat(dc, 0, map, dim, "float", OP_INC)};
                int inds[4] = {0, 0, -1, 1};
                const std::string name = "transfer" + std::to_string(planNo++);
                const op_plan* p = op_plan_get(name.c_str(), edges, 96, 4, args, 2, inds);

                const long sz = 4L * dim;
                double used = 2.0 * 4.0 * mesh.nedges(), lines = used;  // the written edge values count twice
                for (int b = 0; b < p->nblocks; ++b)
                    for (int d = 0; d < 2; ++d) {
                        std::set<int> targets;
                        for (int e = p->offset[b]; e < p->offset[b] + p->nelems[b]; ++e)
                            for (int col = 0; col < 2 - d; ++col) targets.insert(map->map[2 * e + col]);
                        std::set<long> touched;
                        for (int t : targets)
                            for (long byte = t * sz; byte < (t + 1) * sz; ++byte) touched.insert(byte / line);
                        const double n = (double)targets.size(), factor = d == 1 ? 2.0 : 1.0;
                        used += factor * n * sz + 4.0 * n;
                        lines += factor * (double)touched.size() * line + 4.0 * n;
                    }
                EXPECT_FLOAT_EQ(p->transfer, (float)used) << name << ": " << dim << " floats, line " << line;
                EXPECT_FLOAT_EQ(p->transfer2, (float)lines) << name << ": " << dim << " floats, line " << line;
            }
    OP_cache_line_size = saved;
}
