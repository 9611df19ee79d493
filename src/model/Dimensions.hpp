// Sizes of the model catalogue: entry counts per identifier kind and the fixed per-element capacities.
#pragma once

namespace model {

/// Catalogue sizes. Identifier values of each kind are dense in [0, count) (parameter value 20 is a hole), and
/// the global constant tables of the kernels hold one slot per parameter value.
namespace Dimensions {

inline constexpr int NrAggregates = 12;
inline constexpr int NrSets = 21;
inline constexpr int NrMaps = 36;
inline constexpr int NrData = 46;
/// Parameter values run 0..27; value 20 has no entry.
inline constexpr int NrParameterSlots = 28;
inline constexpr int NrParameters = 27;
inline constexpr int NrVariables = 0;
inline constexpr int NrOutputs = 13;
inline constexpr int NrKernels = 26;

/// Slots of the integer and float global constant tables declared to the mesh framework (one per parameter value).
inline constexpr int NrGlobalConstants = NrParameterSlots;

/// Maximum number of edges of one node string (maps NodeStrg -> EdgesAll/CellsAll, "NodeStrg/EdgeSign").
inline constexpr int NodeStringMaxEdges = 40;
/// Maximum number of values of one input series ("InSeries/NumValue").
inline constexpr int InputSeriesMaxValues = 12000;
/// State values carried per node string ("StateVar").
inline constexpr int NodeStringStateSize = 10;
/// Values of one edge boundary record ("EdgeData/NumValue").
inline constexpr int EdgeDataSize = 7;
/// Values of one cell source record ("CellData/NumValue").
inline constexpr int CellDataSize = 2;
/// Integers of one data-modification record ("ModfInfo").
inline constexpr int ModificationInfoSize = 7;
/// Local values of one edge data modification ("LocalDat").
inline constexpr int ModificationLocalSize = 2;
/// Hydraulic flux components per edge ("FluxesHy"): mass, x and y momentum, opposite x and y momentum.
inline constexpr int HydraulicFluxSize = 5;
/// Hydraulic state components per cell ("HydState"): water-surface elevation H [m], qx, qy [m^2/s].
inline constexpr int HydraulicStateSize = 3;

}  // namespace Dimensions
}  // namespace model
