// Reader and writer of SMS 2DM triangle meshes.
#include "setup/mesh/Mesh2dm.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>
#include <limits>
#include <ostream>
#include <sstream>
#include <utility>

#include "setup/mesh/TextInput.hpp"

namespace setup {
namespace {

std::string where(const std::string& source, long line) { return source + ":" + std::to_string(line) + ": "; }

/// Element cards of the 2DM format: "E" + node count + shape letters (E2L, E3L, E3T, E6T, E4Q, E8Q, E9Q).
bool isElementCard(const std::string& card)
{
    if (card.size() < 3 || card[0] != 'E' || !std::isdigit(static_cast<unsigned char>(card[1]))) return false;
    size_t i = 1;
    while (i < card.size() && std::isdigit(static_cast<unsigned char>(card[i]))) ++i;
    if (i == card.size()) return false;
    for (; i < card.size(); ++i)
        if (!std::isupper(static_cast<unsigned char>(card[i]))) return false;
    return true;
}

/// Outcome of reading one number of a card.
enum class Token { Ok, End, Bad };

/// Skips the blanks before the next token of `p`; false at the end of the line.
bool atToken(const char*& p)
{
    while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
    return *p != '\0' && *p != '\n';
}

/// Reads the next blank-separated integer of `p`. Bad: a token that is not a whole number in the range of int
/// (a fraction, an exponent, 2^32 + 1, ...): ids and materials are never truncated or wrapped.
Token nextInt(const char*& p, long& value)
{
    if (!atToken(p)) return Token::End;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(p, &end, 10);
    if (end == p || errno != 0 || (*end != '\0' && !std::isspace(static_cast<unsigned char>(*end))) ||
        value > std::numeric_limits<int>::max() || value < -std::numeric_limits<int>::max())
        return Token::Bad;
    p = end;
    return Token::Ok;
}

/// Reads the next blank-separated finite number of `p` (NaN and infinities are Bad).
Token nextDouble(const char*& p, double& value)
{
    if (!atToken(p)) return Token::End;
    char* end = nullptr;
    value = std::strtod(p, &end);
    if (end == p || (*end != '\0' && !std::isspace(static_cast<unsigned char>(*end))) || !std::isfinite(value))
        return Token::Bad;
    p = end;
    return Token::Ok;
}

/// The text of the token at `p` for messages (at most 40 characters).
std::string tokenText(const char* p)
{
    while (*p == ' ' || *p == '\t') ++p;
    const char* end = p;
    while (*end != '\0' && !std::isspace(static_cast<unsigned char>(*end)) && end - p < 40) ++end;
    return std::string(p, end);
}

/// Reads the positive id or non-negative material of a card; `what` names it in the message.
int cardInt(const char*& p, const std::string& at, const char* card, const char* what, long minimum)
{
    long value = 0;
    const char* start = p;
    const Token t = nextInt(p, value);
    if (t == Token::End) throw MeshError(at + card + " card: the " + what + " is missing");
    if (t == Token::Bad || value < minimum)
        throw MeshError(at + card + " card: the " + what + " \"" + tokenText(start) + "\" is not " +
                        (minimum > 0 ? "a positive" : "a non-negative") + " whole number within the range of int");
    return static_cast<int>(value);
}

double cardCoordinate(const char*& p, const std::string& at, const char* what)
{
    double value = 0.0;
    const char* start = p;
    const Token t = nextDouble(p, value);
    if (t == Token::End) throw MeshError(at + "ND card: the " + what + " is missing");
    if (t == Token::Bad)
        throw MeshError(at + "ND card: the " + what + " \"" + tokenText(start) + "\" is not a finite number");
    return value;
}

std::string trimmed(const char* p)
{
    std::string s(p);
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

/// Sorted (id, index) pairs for the lookup of file ids.
class IdIndex {
public:
    explicit IdIndex(const std::vector<int>& ids)
    {
        pairs_.reserve(ids.size());
        for (size_t i = 0; i < ids.size(); ++i) pairs_.emplace_back(ids[i], static_cast<int>(i));
        std::sort(pairs_.begin(), pairs_.end());
    }
    /// Index of `id`, or -1.
    int find(long id) const
    {
        auto it = std::lower_bound(pairs_.begin(), pairs_.end(), std::make_pair(static_cast<int>(id), -1));
        return (it != pairs_.end() && it->first == id) ? it->second : -1;
    }
    /// Index of the later of two entries with the same id, or -1.
    int duplicate() const
    {
        for (size_t i = 1; i < pairs_.size(); ++i)
            if (pairs_[i].first == pairs_[i - 1].first) return pairs_[i].second;
        return -1;
    }

private:
    std::vector<std::pair<int, int>> pairs_;
};

}  // namespace

TriMesh parse2dm(std::istream& in, const std::string& source)
{
    TriMesh mesh;
    mesh.source = source;
    std::vector<long> rawStringIds;  // node ids of strings, resolved after all nodes are known
    std::vector<std::pair<size_t, size_t>> stringRanges;
    bool inString = false;
    size_t stringStart = 0;
    int stringLine = 0;
    std::vector<int> nodeLine;

    std::string text;
    long lineNo = 0;
    bool headerSeen = false;
    for (;;) {
        const LineRead status = readBoundedLine(in, text);
        if (status == LineRead::End) break;
        ++lineNo;
        if (status == LineRead::TooLong)
            throw MeshError(where(source, lineNo) + "the line is longer than 1 MB: this is not a 2DM mesh");
        const char* p = text.c_str();
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '\0' || *p == '\r' || *p == '#') continue;
        const char* cardEnd = p;
        while (*cardEnd && !std::isspace(static_cast<unsigned char>(*cardEnd))) ++cardEnd;
        const std::string card(p, cardEnd);
        p = cardEnd;

        if (!headerSeen) {
            if (card != "MESH2D")
                throw MeshError(where(source, lineNo) + "not a 2DM mesh: the first card is \"" + card +
                                "\", expected MESH2D");
            headerSeen = true;
            continue;
        }
        if (card == "ND") {
            const std::string at = where(source, lineNo);
            mesh.nodeId.push_back(cardInt(p, at, "ND", "node id", 1));
            mesh.x.push_back(cardCoordinate(p, at, "x coordinate"));
            mesh.y.push_back(cardCoordinate(p, at, "y coordinate"));
            mesh.z.push_back(cardCoordinate(p, at, "elevation"));
            nodeLine.push_back(static_cast<int>(lineNo));
        } else if (card == "E3T") {
            const std::string at = where(source, lineNo);
            mesh.cellId.push_back(cardInt(p, at, "E3T", "element id", 1));
            for (const char* what : {"first node id", "second node id", "third node id"})
                mesh.cellNodes.push_back(cardInt(p, at, "E3T", what, 1));  // file ids for now
            mesh.material.push_back(cardInt(p, at, "E3T", "material id", 0));
            mesh.cellLine.push_back(static_cast<int>(lineNo));
        } else if (card == "NS") {
            long id;
            bool ended = false;
            const char* start = p;
            Token t;
            while ((t = nextInt(p, id)) == Token::Ok) {
                if (!inString) {
                    inString = true;
                    stringStart = rawStringIds.size();
                    stringLine = static_cast<int>(lineNo);
                }
                if (id == 0) throw MeshError(where(source, lineNo) + "node string with node id 0");
                rawStringIds.push_back(id < 0 ? -id : id);
                start = p;
                if (id < 0) {
                    NodeString ns;
                    ns.name = trimmed(p);
                    ns.line = stringLine;
                    mesh.strings.push_back(std::move(ns));
                    stringRanges.emplace_back(stringStart, rawStringIds.size());
                    inString = false;
                    ended = true;
                    break;
                }
            }
            if (!ended && t == Token::Bad && tokenText(start).find_first_not_of("+-0123456789") == std::string::npos)
                throw MeshError(where(source, lineNo) + "NS card: the node id \"" + tokenText(start) +
                                "\" is not a whole number within the range of int");
            if (!ended && !trimmed(p).empty())
                throw MeshError(where(source, lineNo) + "node string: \"" + trimmed(p) +
                                "\" is not a node id (a name must follow the negative id that ends the string)");
        } else if (isElementCard(card)) {
            throw MeshError(where(source, lineNo) + "element card " + card +
                            " is not supported: the mesh must consist of E3T triangles only");
        }
        // MESHNAME, NUM_MATERIALS_PER_ELEM, BEGPARAMDEF, ... carry nothing we use.
    }
    if (!headerSeen) throw MeshError(source + ": empty file, expected a MESH2D mesh");
    if (inString) throw MeshError(where(source, stringLine) + "node string is not terminated by a negative node id");
    if (mesh.cellId.empty()) throw MeshError(source + ": the mesh has no E3T triangles");

    const IdIndex nodes(mesh.nodeId);
    if (const int d = nodes.duplicate(); d >= 0)
        throw MeshError(where(source, nodeLine[d]) + "node id " + std::to_string(mesh.nodeId[d]) + " is defined twice");
    if (const int d = IdIndex(mesh.cellId).duplicate(); d >= 0)
        throw MeshError(where(source, mesh.cellLine[d]) + "element id " + std::to_string(mesh.cellId[d]) +
                        " is defined twice");

    for (int c = 0; c < mesh.cellCount(); ++c) {
        int* t = &mesh.cellNodes[3 * c];
        for (int k = 0; k < 3; ++k) {
            const int idx = nodes.find(t[k]);
            if (idx < 0)
                throw MeshError(where(source, mesh.cellLine[c]) + "element " + std::to_string(mesh.cellId[c]) +
                                " uses unknown node " + std::to_string(t[k]));
            t[k] = idx;
        }
        if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2])
            throw MeshError(where(source, mesh.cellLine[c]) + "element " + std::to_string(mesh.cellId[c]) +
                            " uses one node twice");
        const double twiceArea = (mesh.x[t[1]] - mesh.x[t[0]]) * (mesh.y[t[2]] - mesh.y[t[0]]) -
                                 (mesh.x[t[2]] - mesh.x[t[0]]) * (mesh.y[t[1]] - mesh.y[t[0]]);
        // Relative to the element's size, so that tiny and huge meshes are judged alike.
        const double ex =
            std::max({mesh.x[t[0]], mesh.x[t[1]], mesh.x[t[2]]}) - std::min({mesh.x[t[0]], mesh.x[t[1]], mesh.x[t[2]]});
        const double ey =
            std::max({mesh.y[t[0]], mesh.y[t[1]], mesh.y[t[2]]}) - std::min({mesh.y[t[0]], mesh.y[t[1]], mesh.y[t[2]]});
        const double scale = std::max(ex, ey);
        if (!(std::abs(twiceArea) > 1e-12 * scale * scale))
            throw MeshError(where(source, mesh.cellLine[c]) + "element " + std::to_string(mesh.cellId[c]) +
                            " has zero area");
        if (twiceArea < 0) std::swap(t[1], t[2]);
    }

    for (size_t s = 0; s < mesh.strings.size(); ++s) {
        NodeString& ns = mesh.strings[s];
        for (size_t i = stringRanges[s].first; i < stringRanges[s].second; ++i) {
            const int idx = nodes.find(rawStringIds[i]);
            if (idx < 0)
                throw MeshError(where(source, ns.line) + "node string \"" + ns.name + "\" uses unknown node " +
                                std::to_string(rawStringIds[i]));
            ns.nodes.push_back(idx);
        }
    }
    return mesh;
}

TriMesh read2dm(const std::string& path)
{
    if (!isRegularFileOrMissing(path))
        throw MeshError(path + ": not a regular file (a folder or a device cannot be a mesh file)");
    std::ifstream in(path);
    if (!in) throw MeshError(path + ": cannot open the mesh file");
    return parse2dm(in, path);
}

void write2dm(const TriMesh& mesh, std::ostream& out)
{
    out << "MESH2D\n";
    char buf[160];
    for (int c = 0; c < mesh.cellCount(); ++c) {
        const int* t = &mesh.cellNodes[3 * c];
        std::snprintf(buf, sizeof buf, "E3T %d %d %d %d %d\n", mesh.cellId[c], mesh.nodeId[t[0]], mesh.nodeId[t[1]],
                      mesh.nodeId[t[2]], mesh.material[c]);
        out << buf;
    }
    for (int n = 0; n < mesh.nodeCount(); ++n) {
        std::snprintf(buf, sizeof buf, "ND %d %.17g %.17g %.17g\n", mesh.nodeId[n], mesh.x[n], mesh.y[n], mesh.z[n]);
        out << buf;
    }
    for (const NodeString& ns : mesh.strings) {
        for (size_t i = 0; i < ns.nodes.size(); ++i) {
            if (i % 10 == 0) out << (i == 0 ? "NS" : "\nNS");
            const int id = mesh.nodeId[ns.nodes[i]];
            out << ' ' << (i + 1 == ns.nodes.size() ? -id : id);
        }
        if (!ns.name.empty()) out << ' ' << ns.name;
        out << '\n';
    }
}

void write2dm(const TriMesh& mesh, const std::string& path)
{
    std::ofstream out(path);
    if (!out) throw MeshError(path + ": cannot create the mesh file");
    write2dm(mesh, out);
    if (!out) throw MeshError(path + ": writing the mesh file failed");
}

}  // namespace setup
