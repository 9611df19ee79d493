// Assembles the model-file content from the mesh, its geometry and the command file.
#pragma once

#include "setup/CommandFile.hpp"
#include "setup/ModelContent.hpp"
#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/Mesh2dm.hpp"

namespace setup {

/// Checks the command file against the mesh (strings exist and boundaries lie on the domain boundary,
/// regions find cells), cuts the node strings and computes every table. Throws SetupError naming the item
/// at fault; mesh-level faults surface as MeshError from the mesh layer.
ModelContent buildModelContent(const TriMesh& mesh, const MeshGeometry& geometry, const SetupDescription& setup);

}  // namespace setup
