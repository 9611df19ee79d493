// How each boundary and source type of the command file is expressed in the model file: the hydraulic
// boundary code and factor, the initial boundary-data row, and the interpolations and modifications that
// keep the row current during the run.
#pragma once

#include <array>
#include <vector>

#include "setup/CommandFile.hpp"

namespace setup {

/// Interpolation keys: what a series is looked up with.
enum InterpolationKey : int { KeyTime = 0, KeyMeanDepth = 1, KeyWaterSurface = 2, KeyDischarge = 3 };

/// Edge modification types used by the set-up: a row value divided by the string's total length, by its wetted
/// area or by its conveyance; the string's transport capacity divided by the same.
enum EdgeModification : int {
    ModSpecificDischarge = 1,
    ModPerWettedArea = 4,
    ModPerConveyance = 12,
    ModCapacityPerLength = 13,
    ModCapacityPerWettedArea = 14,
    ModCapacityPerConveyance = 15,
};
/// Cell modification types used by the set-up.
enum CellModification : int { ModPerRegionArea = 6, ModMillimetresPerHour = 7 };

/// Hydraulic boundary codes used by the set-up.
enum BoundaryCode : int {
    CodeDischargeNormalDepth = 100,    ///< inflow of a discharge; normal depth on a slope (needs friction)
    CodeDischargeCriticalDepth = 102,  ///< inflow of a discharge; depth of the cell (D[1] < 1) or from a Froude number
    CodeNormalOutflow = 104,
    CodeFreeOutflow = 112,
    CodeWaterLevel = 114,
    CodeIncidentWave = 116,  ///< a wave's level over a still level, entering through the outgoing characteristic
};

/// A series lookup writing position `position` of the condition's data row.
struct InterpolationCoding {
    int key = KeyTime;
    int position = 0;
};

/// A modification of the condition's data row: row[write] = f(row[read], ...).
struct ModificationCoding {
    int type = 0;
    int write = 0;
    int read = 0;
};

/// Everything the model file holds for one hydraulic boundary condition (not a wall).
struct BoundaryCoding {
    int code = 0;
    /// Multiplies the boundary values: -1 turns the user's positive inflow into the kernel's negative
    /// (entering) mass flux.
    int factor = 1;
    std::array<float, 7> values{};                    ///< initial boundary-data row; interpolated positions start at 0
    std::vector<InterpolationCoding> interpolations;  ///< one per series, in the order of BoundarySpec
    std::vector<ModificationCoding> modifications;
};

/// The coding of a boundary; `frictionOn` selects the normal-depth variants. Wall boundaries have no coding
/// (their edges stay walls); throws SetupError for a type that cannot work without friction.
BoundaryCoding codeBoundary(const BoundarySpec& boundary, bool frictionOn);

/// Everything the model file holds for one source.
struct SourceCoding {
    /// Behaviour of a negative source: tens digit 1 rain, 2 inflow; last digit 0 exact, 1 available, 2 infinity.
    int sinkType = 10;
    std::array<float, 2> values{};  ///< initial source row: [0] series value, [1] rate [m/s]
    InterpolationCoding interpolation;
    ModificationCoding modification;
};

SourceCoding codeSource(const SourceSpec& source);

/// Morphological boundary codes: the bed kept above (400) or below (402) the level in D[0]; a sediment inflow
/// D[1] per metre (404), per metre and metre of depth (406) or per unit of conveyance (408) that acts only
/// while it enters; the same three forms acting in both directions (410, 412, 414; D[0] = 1).
enum MorBoundaryCode : int {
    CodeBedLevelLower = 400,
    CodeBedLevelUpper = 402,
    CodeInflowPerLength = 404,
    CodeInflowPerDepth = 406,
    CodeInflowPerConveyance = 408,
    CodeExchangePerLength = 410,
    CodeExchangePerDepth = 412,
    CodeExchangePerConveyance = 414,
};

/// Everything the model file holds for one morphological boundary condition (not a wall).
struct MorBoundaryCoding {
    int code = 0;
    /// -1 for the inflow-only codes: the user's positive inflow becomes the kernel's negative (entering) flux.
    int factor = 1;
    std::array<float, 7> values{};
    std::vector<InterpolationCoding> interpolations;
    std::vector<ModificationCoding> modifications;
    /// The modification reads the state of the string's first piece, so the string must be one piece.
    bool needsSinglePiece = false;
};

MorBoundaryCoding codeMorBoundary(const MorBoundarySpec& boundary, bool frictionOn);

/// Sediment source: SinkType 30 exact, 31 available, 32 infinity; the row's rate S[1] is the bed rise [m/s].
SourceCoding codeMorSource(const MorSourceSpec& source);

/// BeadloadType written for a formula: 1 for both Shields-parameter laws, 3 velocity law, 4 the 0.05 formula.
int bedloadTypeCode(BedloadFormula formula);

}  // namespace setup
