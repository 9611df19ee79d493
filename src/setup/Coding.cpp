#include "setup/Coding.hpp"

#include "setup/SetupError.hpp"

namespace setup {

BoundaryCoding codeBoundary(const BoundarySpec& b, bool frictionOn)
{
    BoundaryCoding c;
    switch (b.type) {
        case BoundaryType::DischargeInflow:
            // Row: [1] slope or Froude number of the boundary depth, [2] discharge per metre of string [m^2/s],
            // [4] total discharge [m^3/s] from the series. Factor -1: a positive user discharge enters.
            c.factor = -1;
            if (frictionOn) {
                c.code = CodeDischargeNormalDepth;
                c.values[1] = static_cast<float>(b.slope);
            } else {
                // Without a friction law there is no normal depth. The boundary takes the inner cell's own depth
                // (Froude number D[1] = 0 < 1): a depth from a Froude number of 1 would push too little momentum
                // into a subcritical reach, whose inflow cells then fill up without bound.
                c.code = CodeDischargeCriticalDepth;
                c.values[1] = 0.0f;
            }
            c.interpolations.push_back({KeyTime, 4});
            c.modifications.push_back({ModSpecificDischarge, 2, 4});
            break;
        case BoundaryType::WaterLevel:
            // Row: [0] water surface [m] from the series, [1] 1 when water may enter.
            c.code = CodeWaterLevel;
            c.values[1] = b.allowInflow ? 1.0f : 0.0f;
            c.interpolations.push_back({KeyTime, 0});
            break;
        case BoundaryType::IncidentWave:
            // Row: [0] level of the arriving wave [m] from the series, [1] still water level [m].
            c.code = CodeIncidentWave;
            c.values[1] = static_cast<float>(b.stillLevel);
            c.interpolations.push_back({KeyTime, 0});
            break;
        case BoundaryType::RatingCurve:
            // Row: [0] water surface [m] looked up with the string's current outflow, [1] 0: outflow only.
            c.code = CodeWaterLevel;
            c.interpolations.push_back({KeyDischarge, 0});
            break;
        case BoundaryType::NormalOutflow:
            if (!frictionOn)
                throw SetupError(
                    "boundary <" + b.name +
                    ">: type 'normal_outflow' needs the FRICTION block (the normal depth uses the friction law)");
            // Row: [0] bed slope.
            c.code = CodeNormalOutflow;
            c.values[0] = static_cast<float>(b.slope);
            break;
        case BoundaryType::FreeOutflow:
            c.code = CodeFreeOutflow;
            break;
        case BoundaryType::Wall:
            throw SetupError("boundary <" + b.name + ">: a wall has no boundary data");
    }
    return c;
}

SourceCoding codeSource(const SourceSpec& s)
{
    SourceCoding c;
    c.interpolation = {KeyTime, 0};
    if (s.type == SourceType::Rain) {
        c.sinkType = 10;
        c.modification = {ModMillimetresPerHour, 1, 0};
    } else {
        c.sinkType = 20 + (s.sink == SinkMode::Exact ? 0 : s.sink == SinkMode::Available ? 1 : 2);
        c.modification = {ModPerRegionArea, 1, 0};
    }
    return c;
}

MorBoundaryCoding codeMorBoundary(const MorBoundarySpec& b, bool frictionOn)
{
    MorBoundaryCoding c;
    if (b.type == MorBoundaryType::BedLevel) {
        // Row: [0] level [m], static per edge or from the series.
        c.code = b.lowerLimit ? CodeBedLevelLower : CodeBedLevelUpper;
        if (b.series) c.interpolations.push_back({KeyTime, 0});
        return c;
    }
    if (b.type != MorBoundaryType::SedimentInflow)
        throw SetupError("morphological boundary <" + b.name + ">: a wall has no boundary data");
    if (b.distribution == SedimentDistribution::Conveyance && !frictionOn)
        throw SetupError("morphological boundary <" + b.name + ">: the distribution 'conveyance' needs FRICTION");
    const int form = b.distribution == SedimentDistribution::Uniform ? 0
                     : b.distribution == SedimentDistribution::Depth ? 1
                                                                     : 2;
    if (b.series) {
        // Row: [4] total inflow [m^3/s of solids] from the series, [1] that inflow per metre, per wetted area or
        // per conveyance of the string.
        static const int kDivide[3] = {ModSpecificDischarge, ModPerWettedArea, ModPerConveyance};
        c.interpolations.push_back({KeyTime, 4});
        c.modifications.push_back({kDivide[form], 1, 4});
        c.needsSinglePiece = form != 0;  // the total length covers all pieces, area and conveyance do not
        if (b.inflowOnly) {
            c.code = CodeInflowPerLength + 2 * form;
            c.factor = -1;
        } else {
            c.code = CodeExchangePerLength + 2 * form;
            c.values[0] = 1.0f;
        }
    } else {
        // Equilibrium inflow: the transport capacity of the cells along the string, spread by the same forms.
        static const int kCapacity[3] = {ModCapacityPerLength, ModCapacityPerWettedArea, ModCapacityPerConveyance};
        c.modifications.push_back({kCapacity[form], 1, 0});
        c.needsSinglePiece = true;
        c.code = CodeInflowPerLength + 2 * form;
        c.factor = -1;
    }
    return c;
}

SourceCoding codeMorSource(const MorSourceSpec& s)
{
    SourceCoding c;
    c.interpolation = {KeyTime, 0};
    c.sinkType = 30 + (s.sink == SinkMode::Exact ? 0 : s.sink == SinkMode::Available ? 1 : 2);
    c.modification = {ModPerRegionArea, 1, 0};
    return c;
}

int bedloadTypeCode(BedloadFormula formula)
{
    switch (formula) {
        case BedloadFormula::VelocityPowerLaw:
            return 3;
        case BedloadFormula::EngelundHansen:
            return 4;
        default:
            return 1;
    }
}

}  // namespace setup
