// The channels of the set-up tests: generated rectangle meshes, and the 20 m x 4 m case of the set-up program's
// process tests with the command file naming it.
#pragma once

#include <string>

#include "setup/mesh/MeshGenerator.hpp"
#include "support/ScratchDir.hpp"

namespace setuptest {

/// lx x ly metres of nx x ny rectangles cut into triangles, with the bed shape and material intervals of
/// hydrova_mesh's options (material 1 outside them).
inline setup::TriMesh channel(double lx, double ly, int nx, int ny, const std::string& bed = "flat",
                              const std::string& materials = "")
{
    setup::RectangleSpec spec;
    spec.lengthX = lx;
    spec.lengthY = ly;
    spec.cellsX = nx;
    spec.cellsY = ny;
    spec.bed = setup::BedShape::parse(bed);
    if (!materials.empty()) spec.materials = setup::MaterialInterval::parseList(materials);
    return setup::generateRectangle(spec);
}

/// GEOMETRY keys of the channel's processes: the strings left and right, the region "lake" of material 1.
inline const std::string kStringsAndLake =
    R"("STRINGDEF": [{"name": "left"}, {"name": "right"}], "REGIONDEF": [{"name": "lake", "index": [1]}])";

/// Writes `meshFile` in `dir` (20 m x 4 m, 10 x 2 rectangles, flat bed at 0, material 1 for x < 10 m, 2 beyond;
/// strings left, right, bottom, top) and setup.json naming it, with the GEOMETRY keys `geometryKeys` after the
/// mesh file and the HYDRAULICS block `hydraulics`.
inline void writeChannelCase(const testsupport::ScratchDir& dir, const std::string& meshFile,
                             const std::string& geometryKeys, const std::string& hydraulics)
{
    setup::write2dm(channel(20.0, 4.0, 10, 2, "flat", "0:10:1,10:20:2"), dir.file(meshFile));
    dir.write("setup.json", R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": ")" +
                                meshFile + R"(", )" + geometryKeys + R"(},
        "HYDRAULICS": )" + hydraulics +
                                "}}}}");
}

}  // namespace setuptest
