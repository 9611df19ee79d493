// Any bytes as a 2DM mesh: the reader either returns a mesh, whose geometry is then computed, or throws MeshError.
// A crash, a hang, an unexpected exception or unbounded memory is a finding.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "setup/mesh/Geometry.hpp"
#include "setup/mesh/Mesh2dm.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        const setup::TriMesh mesh = setup::parse2dm(in, "fuzz.2dm");
        (void)setup::computeGeometry(mesh);
    } catch (const setup::MeshError&) {
    }
    return 0;
}
