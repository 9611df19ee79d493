// The channel of the set-up program's process tests: a 20 m x 4 m rectangle mesh and the command file naming it.
#pragma once

#include <string>

#include "setup/mesh/MeshGenerator.hpp"
#include "support/ScratchDir.hpp"

namespace setuptest {

/// GEOMETRY keys of the channel's processes: the strings left and right, the region "lake" of material 1.
inline const std::string kStringsAndLake =
    R"("STRINGDEF": [{"name": "left"}, {"name": "right"}], "REGIONDEF": [{"name": "lake", "index": [1]}])";

/// Writes `meshFile` in `dir` (20 m x 4 m, 10 x 2 rectangles, flat bed at 0, material 1 for x < 10 m, 2 beyond;
/// strings left, right, bottom, top) and setup.json naming it, with the GEOMETRY keys `geometryKeys` after the
/// mesh file and the HYDRAULICS block `hydraulics`.
inline void writeChannelCase(const testsupport::ScratchDir& dir, const std::string& meshFile,
                             const std::string& geometryKeys, const std::string& hydraulics)
{
    setup::RectangleSpec spec;
    spec.lengthX = 20.0;
    spec.lengthY = 4.0;
    spec.cellsX = 10;
    spec.cellsY = 2;
    spec.materials = setup::MaterialInterval::parseList("0:10:1,10:20:2");
    setup::write2dm(setup::generateRectangle(spec), dir.file(meshFile));
    dir.write("setup.json", R"({"SETUP": {"DOMAIN": {"LAMINA_2D": {
        "GEOMETRY": {"mesh_file": ")" +
                                meshFile + R"(", )" + geometryKeys + R"(},
        "HYDRAULICS": )" + hydraulics +
                                "}}}}");
}

}  // namespace setuptest
