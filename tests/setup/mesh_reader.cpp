// Reading and writing 2DM meshes: accepted layouts, reorientation and the messages for bad files.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "setup/mesh/Mesh2dm.hpp"
#include "setup/mesh/TextInput.hpp"
#include "support/ScratchDir.hpp"

using setup::MeshError;
using setup::parse2dm;
using setup::TriMesh;

namespace {

double signedArea(const TriMesh& m, int c)
{
    const int* t = &m.cellNodes[3 * c];
    return 0.5 *
           ((m.x[t[1]] - m.x[t[0]]) * (m.y[t[2]] - m.y[t[0]]) - (m.x[t[2]] - m.x[t[0]]) * (m.y[t[1]] - m.y[t[0]]));
}

std::string errorOf(const std::string& text)
{
    std::istringstream in(text);
    try {
        parse2dm(in, "bad.2dm");
    } catch (const MeshError& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(Mesh2dmReader, ReadsSparseIdsElementsBeforeNodesAndReorientsClockwiseTriangles)
{
    std::istringstream in(
        "MESH2D\n"
        "MESHNAME \"demo\"\n"
        "# a comment\n"
        "E3T 10 5 7 9 3\n"   // counter-clockwise
        "E3T 20 5 7 11 1\n"  // clockwise
        "ND 5 0.0 0.0 1.5\n"
        "ND 7 2.0 0.0 1.0\n"
        "ND 9 0.0 2.0 2.0\n"
        "ND 11 2.0 -2.0 0.5\n"
        "NS 9 5\n"
        "NS 11 -7 low side\n");
    const TriMesh m = parse2dm(in, "demo.2dm");
    ASSERT_EQ(m.nodeCount(), 4);
    ASSERT_EQ(m.cellCount(), 2);
    EXPECT_EQ(m.nodeId, (std::vector<int>{5, 7, 9, 11}));
    EXPECT_EQ(m.cellId, (std::vector<int>{10, 20}));
    EXPECT_EQ(m.material, (std::vector<int>{3, 1}));
    EXPECT_EQ(m.cellLine, (std::vector<int>{4, 5}));
    EXPECT_DOUBLE_EQ(m.z[0], 1.5);
    // First triangle kept as given (node indices 0, 1, 2), second turned counter-clockwise with the same nodes.
    EXPECT_EQ(std::vector<int>(m.cellNodes.begin(), m.cellNodes.begin() + 3), (std::vector<int>{0, 1, 2}));
    EXPECT_DOUBLE_EQ(signedArea(m, 0), 2.0);
    EXPECT_DOUBLE_EQ(signedArea(m, 1), 2.0);
    std::vector<int> second(m.cellNodes.begin() + 3, m.cellNodes.end());
    std::sort(second.begin(), second.end());
    EXPECT_EQ(second, (std::vector<int>{0, 1, 3}));
    // The string spans two NS lines; its name is the rest of the line after the negative id.
    ASSERT_EQ(m.strings.size(), 1u);
    EXPECT_EQ(m.strings[0].name, "low side");
    EXPECT_EQ(m.strings[0].nodes, (std::vector<int>{2, 0, 3, 1}));
    EXPECT_EQ(m.strings[0].line, 10);

    // Windows line endings and blank-padded cards.
    std::istringstream crlf(
        "MESH2D\r\n  E3T 1 1 2 3 1\r\nND 1 0 0 0\r\nND 2 1 0 0\r\nND 3 0 1 0\r\n\r\nNS 1 -2 in\r\n");
    const TriMesh w = parse2dm(crlf, "crlf.2dm");
    EXPECT_EQ(w.cellCount(), 1);
    ASSERT_EQ(w.strings.size(), 1u);
    EXPECT_EQ(w.strings[0].name, "in");
    EXPECT_EQ(w.strings[0].nodes, (std::vector<int>{0, 1}));
}

TEST(Mesh2dmReader, BadFilesNameTheFileLineAndElement)
{
    const std::string nodes = "ND 1 0 0 0\nND 2 1 0 0\nND 3 0 1 0\nND 4 1 1 0\n";
    EXPECT_EQ(errorOf("ND 1 0 0 0\n"), "bad.2dm:1: not a 2DM mesh: the first card is \"ND\", expected MESH2D");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\nE4Q 2 1 2 4 3 1\n" + nodes),
              "bad.2dm:3: element card E4Q is not supported: the mesh must consist of E3T triangles only");
    EXPECT_EQ(errorOf("MESH2D\nE6T 1 1 2 3 4 5 6 1\n" + nodes),
              "bad.2dm:2: element card E6T is not supported: the mesh must consist of E3T triangles only");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\nE3T 7 1 2 8 1\n" + nodes), "bad.2dm:3: element 7 uses unknown node 8");
    // Three nodes on one line.
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\nE3T 9 1 2 5 1\n" + nodes + "ND 5 3 0 0\n"),
              "bad.2dm:3: element 9 has zero area");
    EXPECT_EQ(errorOf("MESH2D\nE3T 4 1 2 2 1\n" + nodes), "bad.2dm:2: element 4 uses one node twice");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\n" + nodes + "ND 3 5 5 0\n"), "bad.2dm:7: node id 3 is defined twice");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\nE3T 1 2 4 3 1\n" + nodes), "bad.2dm:3: element id 1 is defined twice");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\n" + nodes + "NS 1 2\nNS 3 -12 inflow\n"),
              "bad.2dm:7: node string \"inflow\" uses unknown node 12");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\n" + nodes + "NS 1 2 3\n"),
              "bad.2dm:7: node string is not terminated by a negative node id");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\n" + nodes + "NS 1 2 outlet\n"),
              "bad.2dm:7: node string: \"outlet\" is not a node id (a name must follow the negative id that ends the "
              "string)");
    // Numbers: ids and materials whole, in the range of int and not negative (never truncated or wrapped),
    // coordinates finite, every field present.
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 x 1\n" + nodes),
              "bad.2dm:2: E3T card: the third node id \"x\" is not a positive whole number within the range of int");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 4294967297 2 3 1\n" + nodes),
              "bad.2dm:2: E3T card: the first node id \"4294967297\" is not a positive whole number within the range "
              "of int");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1.5\n" + nodes),
              "bad.2dm:2: E3T card: the material id \"1.5\" is not a non-negative whole number within the range of "
              "int");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 -2\n" + nodes),
              "bad.2dm:2: E3T card: the material id \"-2\" is not a non-negative whole number within the range of "
              "int");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3\n" + nodes), "bad.2dm:2: E3T card: the material id is missing");
    EXPECT_EQ(errorOf("MESH2D\nE3T -1 1 2 3 1\n" + nodes),
              "bad.2dm:2: E3T card: the element id \"-1\" is not a positive whole number within the range of int");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\nND 1 0 nan 0\n"),
              "bad.2dm:3: ND card: the y coordinate \"nan\" is not a finite number");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\nND 1 0 0 -inf\n"),
              "bad.2dm:3: ND card: the elevation \"-inf\" is not a finite number");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\nND 1 0 0\n"), "bad.2dm:3: ND card: the elevation is missing");
    EXPECT_EQ(errorOf("MESH2D\nE3T 1 1 2 3 1\n" + nodes + "NS 1 -4294967298 edge\n"),
              "bad.2dm:7: NS card: the node id \"-4294967298\" is not a whole number within the range of int");
    EXPECT_EQ(errorOf("MESH2D\n" + std::string(setup::kMaxLineLength + 1, ' ') + "\n"),
              "bad.2dm:2: the line is longer than 1 MB: this is not a 2DM mesh");
    EXPECT_EQ(errorOf("MESH2D\n" + nodes), "bad.2dm: the mesh has no E3T triangles");
    EXPECT_EQ(errorOf(""), "bad.2dm: empty file, expected a MESH2D mesh");
}

TEST(Mesh2dmReader, WrittenMeshReadsBackUnchanged)
{
    std::istringstream in(
        "MESH2D\nE3T 3 1 2 4 2\nE3T 8 2 3 4 5\n"
        "ND 1 0 0 0.25\nND 2 1.5 0 -1e-3\nND 3 1.5 1 0.125\nND 4 0.1 0.9 3\n"
        "NS 1 2 3 4 1 2 3 4 1 2 3 -4 round\n");
    const TriMesh a = parse2dm(in, "a.2dm");
    testsupport::ScratchDir dir("mesh_reader");
    setup::write2dm(a, dir.file("a.2dm"));
    const TriMesh b = setup::read2dm(dir.file("a.2dm"));
    EXPECT_EQ(b.nodeId, a.nodeId);
    EXPECT_EQ(b.x, a.x);
    EXPECT_EQ(b.y, a.y);
    EXPECT_EQ(b.z, a.z);
    EXPECT_EQ(b.cellId, a.cellId);
    EXPECT_EQ(b.cellNodes, a.cellNodes);
    EXPECT_EQ(b.material, a.material);
    ASSERT_EQ(b.strings.size(), 1u);
    EXPECT_EQ(b.strings[0].name, "round");
    EXPECT_EQ(b.strings[0].nodes, a.strings[0].nodes);  // 12 ids: written over two NS lines

    EXPECT_THROW(setup::read2dm(dir.file("missing.2dm")), MeshError);
    // A device or a folder is refused before a byte is read (/dev/zero would be one endless line).
    for (const std::string& path : {std::string("/dev/zero"), dir.path()}) {
        try {
            setup::read2dm(path);
            ADD_FAILURE() << path;
        } catch (const MeshError& e) {
            EXPECT_EQ(std::string(e.what()),
                      path + ": not a regular file (a folder or a device cannot be a mesh file)");
        }
    }
}
