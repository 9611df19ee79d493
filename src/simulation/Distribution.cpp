#include "simulation/Distribution.hpp"

#include <cstdlib>

#include "op/op_openmp_decl.h"

namespace simulation {

void distributeModel(const std::map<model::SetID, op_set>& sets, const std::map<model::MapID, op_map>& maps)
{
    if (op_mpi_nranks() == 1) return;
    // A loop writes only elements its process owns. Every set follows its first map by default (edges their left
    // cell, boundary edges and strings their first edge, sources their cell); the modification of boundary values
    // writes the values' records, read from a node string, so it follows the records instead.
    const auto modified = maps.find(model::MapID::EdModDat_EdgeData);
    if (modified != maps.end() && modified->second != nullptr) op_partition_follow(modified->second);
    // The fixed-bed correction scales the sediment fluxes of its cells' edges, and a cell may read a flux that a
    // neighbouring fixed-bed cell scaled earlier in the same pass: its result depends on the order of the cells. So
    // the fixed-bed cells stay together on rank 0, in their order of one process, and their edges go with them.
    const auto fixedCells = sets.find(model::SetID::CellsFix);
    const auto fixedEdges = maps.find(model::MapID::CellsFix_EdgesAll);
    if (fixedCells != sets.end() && fixedEdges != maps.end() && fixedEdges->second != nullptr) {
        op_partition_whole(fixedCells->second);
        op_partition_pull(fixedEdges->second);
    }
    const char* routine = std::getenv("HYDROVA_PARTITIONER");
    op_partition("METIS", routine != nullptr ? routine : "KWAY", sets.at(model::SetID::CellsAll),
                 maps.at(model::MapID::EdgesAll_CellsAll), nullptr);
}

long fileIndex(op_set set, long local) { return op_mpi_global_id(set, static_cast<int>(local)); }

long ownedIndex(op_set set, long file) { return op_mpi_owned_local(set, static_cast<int>(file)); }

int wholeSize(op_set set)
{
    const int whole = op_mpi_global_size(set);
    return whole >= 0 ? whole : set->size;
}

}  // namespace simulation
