// Distributing a declared model over the processes of an mpirun run: which set is divided, over which graph, and
// which sets follow which map. Nothing happens in a single-process run.
#pragma once

#include <map>

#include "model/Identifiers.hpp"
#include "op/op_lib_core.h"

namespace simulation {

/// Divides the cells over the processes (METIS over the cells joined by the edges; the routine "KWAY" unless the
/// environment's HYDROVA_PARTITIONER names another) and keeps on each process its own elements of every set and
/// one layer of imported ones. Called once, after every set and map has been declared: the data declared afterwards
/// are read for the process's elements only.
void distributeModel(const std::map<model::SetID, op_set>& sets, const std::map<model::MapID, op_map>& maps);

/// The number in the model file of a set's element `local`: a process of a distributed run numbers its part anew.
long fileIndex(op_set set, long local);

/// The local number of the set's element numbered `file` in the model file when this process owns it, else -1.
long ownedIndex(op_set set, long file);

/// The size of the whole set: in a distributed run the sum over the processes, else the set's own size.
int wholeSize(op_set set);

}  // namespace simulation
