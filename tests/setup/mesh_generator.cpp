// Rectangle meshes: counts, node strings, bed shapes, materials, and the hydrova_mesh program.
#include <gtest/gtest.h>

#include <stdexcept>

#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/MeshGenerator.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"
#include "support/Tolerance.hpp"

using setup::BedShape;
using setup::MaterialInterval;

TEST(MeshGenerator, RectangleHasExpectedCountsStringsAndMaterials)
{
    setup::RectangleSpec spec;
    spec.x0 = 10;
    spec.y0 = -5;
    spec.lengthX = 100;
    spec.lengthY = 10;
    spec.cellsX = 20;
    spec.cellsY = 4;
    spec.materials = MaterialInterval::parseList("10:60:1,60:110:2");
    const setup::TriMesh mesh = setup::generateRectangle(spec);
    EXPECT_EQ(mesh.nodeCount(), 21 * 5);
    EXPECT_EQ(mesh.cellCount(), 2 * 20 * 4);
    ASSERT_EQ(mesh.strings.size(), 4u);
    EXPECT_EQ(mesh.strings[0].name, "left");
    EXPECT_EQ(mesh.strings[1].name, "right");
    EXPECT_EQ(mesh.strings[2].name, "bottom");
    EXPECT_EQ(mesh.strings[3].name, "top");
    EXPECT_EQ(mesh.strings[0].nodes.size(), 5u);
    EXPECT_EQ(mesh.strings[3].nodes.size(), 21u);
    EXPECT_DOUBLE_EQ(mesh.x[mesh.strings[1].nodes.back()], 110.0);
    EXPECT_DOUBLE_EQ(mesh.y[mesh.strings[1].nodes.back()], 5.0);
    int first = 0, second = 0;
    for (int m : mesh.material) (m == 1 ? first : second) += (m == 1 || m == 2) ? 1 : 0;
    EXPECT_EQ(first, 80);
    EXPECT_EQ(second, 80);

    // Written, read back and processed: the strings follow the boundary and cover its whole length.
    testsupport::ScratchDir dir("mesh_generator");
    setup::write2dm(mesh, dir.file("r.2dm"));
    const setup::TriMesh back = setup::read2dm(dir.file("r.2dm"));
    const setup::MeshGeometry g = setup::computeGeometry(back);
    EXPECT_EQ(g.nEdges, 20 * 5 + 21 * 4 + 20 * 4);
    EXPECT_EQ(g.boundaryEdges.size(), 2u * (20 + 4));
    const auto pieces = setup::cutNodeStrings(back, g, {{"left"}, {"right"}, {"bottom"}, {"top"}});
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_FLOAT_EQ(pieces[0].totalLen, 10.0f);
    EXPECT_EQ(pieces[2].listSize, 20);
    EXPECT_FLOAT_EQ(pieces[3].totalLen, 100.0f);
}

TEST(MeshGenerator, BedShapesAndTheirParsing)
{
    EXPECT_DOUBLE_EQ(BedShape::parse("flat").elevation(3, 10), 0.0);
    EXPECT_DOUBLE_EQ(BedShape::parse("flat:1.5").elevation(3, 10), 1.5);
    // Falls by S per metre towards +x and reaches z0 at the right end.
    EXPECT_DOUBLE_EQ(BedShape::parse("slope:0.001").elevation(0, 100), 0.1);
    EXPECT_DOUBLE_EQ(BedShape::parse("slope:0.01:2").elevation(100, 100), 2.0);
    const BedShape bump = BedShape::parse("bump:0.2:0.05:10");
    EXPECT_DOUBLE_EQ(bump.elevation(10, 25), 0.2);
    EXPECT_DOUBLE_EQ(bump.elevation(12, 25), 0.0);  // 0.2 - 0.05 * 4 = 0
    EXPECT_DOUBLE_EQ(bump.elevation(11, 25), 0.15);
    EXPECT_DOUBLE_EQ(bump.elevation(20, 25), 0.0);  // clipped, never negative
    const BedShape step = BedShape::parse("step:5:1:0.25");
    EXPECT_DOUBLE_EQ(step.elevation(4.999, 10), 1.0);
    EXPECT_DOUBLE_EQ(step.elevation(5, 10), 0.25);

    EXPECT_THROW(BedShape::parse("ramp:1"), std::invalid_argument);
    EXPECT_THROW(BedShape::parse("slope"), std::invalid_argument);
    EXPECT_THROW(BedShape::parse("bump:1:2"), std::invalid_argument);
    EXPECT_THROW(BedShape::parse("step:1:x:2"), std::invalid_argument);
    EXPECT_THROW(MaterialInterval::parseList("0:50"), std::invalid_argument);
    EXPECT_THROW(MaterialInterval::parseList("50:0:1"), std::invalid_argument);
    EXPECT_THROW(MaterialInterval::parseList("0:50:1.5"), std::invalid_argument);

    setup::RectangleSpec spec;
    spec.cellsX = 0;
    EXPECT_THROW(setup::generateRectangle(spec), std::invalid_argument);
}

TEST(MeshGeneratorProgram, WritesTheRequestedMeshAndRejectsBadOptions)
{
    testsupport::ScratchDir dir("hydrova_mesh");
    const std::string exe = testsupport::program("hydrova_mesh");
    const auto ok = testsupport::runProcess(
        exe + " --size 100 10 --cells 10 2 --bed slope:0.001 --material 0:50:1,50:100:2 -o channel.2dm", dir.path());
    ASSERT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, " -> channel.2dm: 33 nodes, 40 triangles\n");
    const setup::TriMesh mesh = setup::read2dm(dir.file("channel.2dm"));
    EXPECT_EQ(mesh.cellCount(), 40);
    EXPECT_DOUBLE_EQ(mesh.z[0], 0.1);
    EXPECT_EQ(mesh.material.front(), 1);
    EXPECT_EQ(mesh.material.back(), 2);

    const auto info = testsupport::runProcess(exe + " --info channel.2dm", dir.path());
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find(" -> channel.2dm: 33 nodes, 40 cells, 72 edges (24 on the boundary), area 1000 m2\n"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find(" -> node string \"bottom\" piece 0: 10 edges, total length 100 m\n"), std::string::npos)
        << info.out;

    const auto missing = testsupport::runProcess(exe + " --size 100 10", dir.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("hydrova_mesh: --size and --cells are required"), std::string::npos) << missing.err;
    const auto bad = testsupport::runProcess(exe + " --size 100 10 --cells 10 2 --bed wave:1", dir.path());
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("unknown bed shape \"wave:1\""), std::string::npos) << bad.err;
}
