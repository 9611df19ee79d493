// Rectangular channel meshes for tests and examples.
#include "setup/mesh/MeshGenerator.hpp"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace setup {
namespace {

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t pos = text.find(sep, start);
        parts.push_back(text.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
        if (pos == std::string::npos) return parts;
        start = pos + 1;
    }
}

double toNumber(const std::string& text, const std::string& context)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0')
        throw std::invalid_argument("\"" + text + "\" is not a number in \"" + context + "\"");
    return v;
}

}  // namespace

double BedShape::elevation(double x, double xmax) const
{
    switch (kind) {
        case Kind::Flat:
            return p.empty() ? 0.0 : p[0];
        case Kind::Slope:
            return (p.size() > 1 ? p[1] : 0.0) + p[0] * (xmax - x);
        case Kind::Bump:
            return std::max(0.0, p[0] - p[1] * (x - p[2]) * (x - p[2]));
        case Kind::Step:
            return x < p[0] ? p[1] : p[2];
    }
    return 0.0;
}

BedShape BedShape::parse(const std::string& text)
{
    const auto parts = split(text, ':');
    BedShape bed;
    const std::string& kind = parts[0];
    size_t minCount = 0, maxCount = 0;
    if (kind == "flat") {
        bed.kind = Kind::Flat;
        maxCount = 1;
    } else if (kind == "slope") {
        bed.kind = Kind::Slope;
        minCount = 1;
        maxCount = 2;
    } else if (kind == "bump") {
        bed.kind = Kind::Bump;
        minCount = maxCount = 3;
    } else if (kind == "step") {
        bed.kind = Kind::Step;
        minCount = maxCount = 3;
    } else {
        throw std::invalid_argument("unknown bed shape \"" + text + "\" (flat, slope, bump or step)");
    }
    const size_t count = parts.size() - 1;
    if (count < minCount || count > maxCount)
        throw std::invalid_argument("bed shape \"" + text + "\" needs " + std::to_string(minCount) +
                                    (minCount == maxCount ? "" : " to " + std::to_string(maxCount)) + " values");
    for (size_t i = 1; i < parts.size(); ++i) bed.p.push_back(toNumber(parts[i], text));
    return bed;
}

std::vector<MaterialInterval> MaterialInterval::parseList(const std::string& text)
{
    std::vector<MaterialInterval> list;
    for (const std::string& item : split(text, ',')) {
        const auto parts = split(item, ':');
        if (parts.size() != 3) throw std::invalid_argument("material interval \"" + item + "\" is not x0:x1:id");
        MaterialInterval m;
        m.x0 = toNumber(parts[0], item);
        m.x1 = toNumber(parts[1], item);
        const double id = toNumber(parts[2], item);
        if (id != static_cast<int>(id))
            throw std::invalid_argument("material id in \"" + item + "\" is not an integer");
        m.id = static_cast<int>(id);
        if (!(m.x1 > m.x0)) throw std::invalid_argument("material interval \"" + item + "\" is empty");
        list.push_back(m);
    }
    return list;
}

TriMesh generateRectangle(const RectangleSpec& spec)
{
    if (!(spec.lengthX > 0) || !(spec.lengthY > 0))
        throw std::invalid_argument("the rectangle's size must be positive");
    if (spec.cellsX < 1 || spec.cellsY < 1) throw std::invalid_argument("the cell counts must be at least 1");
    const int nx = spec.cellsX, ny = spec.cellsY;
    const double xmax = spec.x0 + spec.lengthX;

    TriMesh mesh;
    mesh.source = "generated rectangle";
    const auto node = [nx](int i, int j) { return j * (nx + 1) + i; };
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) {
            // Exact end coordinates, whatever the rounding of the steps.
            const double x = i == nx ? xmax : spec.x0 + spec.lengthX * i / nx;
            const double y = j == ny ? spec.y0 + spec.lengthY : spec.y0 + spec.lengthY * j / ny;
            mesh.nodeId.push_back(node(i, j) + 1);
            mesh.x.push_back(x);
            mesh.y.push_back(y);
            mesh.z.push_back(spec.bed.elevation(x, xmax));
        }
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const int a = node(i, j), b = node(i + 1, j), c = node(i + 1, j + 1), d = node(i, j + 1);
            const int tri[2][3] = {{a, b, c}, {a, c, d}};  // counter-clockwise, cut along a-c
            for (const auto& t : tri) {
                mesh.cellId.push_back(mesh.cellCount() + 1);
                mesh.cellNodes.insert(mesh.cellNodes.end(), t, t + 3);
                const double cx = (mesh.x[t[0]] + mesh.x[t[1]] + mesh.x[t[2]]) / 3.0;
                int mat = spec.defaultMaterial;
                for (const MaterialInterval& m : spec.materials)
                    if (cx >= m.x0 && cx < m.x1) {
                        mat = m.id;
                        break;
                    }
                mesh.material.push_back(mat);
                mesh.cellLine.push_back(0);
            }
        }
    NodeString left{"left", {}, 0}, right{"right", {}, 0}, bottom{"bottom", {}, 0}, top{"top", {}, 0};
    for (int j = 0; j <= ny; ++j) {
        left.nodes.push_back(node(0, j));
        right.nodes.push_back(node(nx, j));
    }
    for (int i = 0; i <= nx; ++i) {
        bottom.nodes.push_back(node(i, 0));
        top.nodes.push_back(node(i, ny));
    }
    mesh.strings = {left, right, bottom, top};
    return mesh;
}

}  // namespace setup
