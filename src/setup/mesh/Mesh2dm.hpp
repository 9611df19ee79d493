// Triangle meshes in the SMS 2DM text format: the in-memory mesh, the reader and the writer.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace setup {

/// A bad mesh file or an inconsistent mesh; the message names the file, the line and the element at fault.
class MeshError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A named chain of nodes, walked from its first to its last node.
struct NodeString {
    std::string name;        ///< text after the terminating negative id (empty when the file gives none)
    std::vector<int> nodes;  ///< 0-based indices into TriMesh's node arrays, in walking order
    int line = 0;            ///< line of the file where the string starts (0 for generated meshes)
};

/// A triangle mesh as read: nodes in file order, cells in file order and counter-clockwise.
/// Node and element ids are the file's (possibly non-contiguous); everything else indexes from 0.
struct TriMesh {
    std::string source;  ///< file name used in messages

    std::vector<int> nodeId;      ///< 2DM id of each node
    std::vector<double> x, y, z;  ///< node coordinates [m]; z is the bed elevation

    std::vector<int> cellId;     ///< 2DM id of each triangle
    std::vector<int> cellNodes;  ///< 3 node indices per triangle, counter-clockwise
    std::vector<int> material;   ///< material id of each triangle
    std::vector<int> cellLine;   ///< line of each triangle in the file (0 for generated meshes)

    std::vector<NodeString> strings;

    int nodeCount() const { return static_cast<int>(x.size()); }
    int cellCount() const { return static_cast<int>(cellId.size()); }
};

/// Reads a 2DM file. Cards: MESH2D (first), ND id x y z, E3T id n1 n2 n3 matid, NS n1 n2 ... -nk [name] (a
/// string may span several NS lines). Ids are positive and material ids non-negative whole numbers within the
/// range of int, coordinates finite numbers. Other element cards (E4Q, E6T, ...) are errors; other cards
/// (MESHNAME, NUM_MATERIALS_PER_ELEM, comments "#") are skipped. Clockwise triangles are reoriented; unknown or
/// duplicate ids, zero-area triangles, strings with unknown nodes, lines over 1 MB and paths that are not regular
/// files throw MeshError.
TriMesh read2dm(const std::string& path);

/// Same as read2dm on an open stream; `source` names the stream in messages.
TriMesh parse2dm(std::istream& in, const std::string& source);

/// Writes the mesh as 2DM (ids as stored, node strings with at most 10 ids per NS line).
void write2dm(const TriMesh& mesh, std::ostream& out);
void write2dm(const TriMesh& mesh, const std::string& path);

}  // namespace setup
