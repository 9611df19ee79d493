// Boundary and source data kernels: piecewise-linear series look-up into boundary and source rows, and the
// modifications that turn those values into what the flux and source kernels read.
#pragma once

#include <algorithm>
#include <cmath>

#include "model/Dimensions.hpp"
#include "simulation/kernels/GlobalConstants.hpp"

namespace hydraulics {

/// Value of a series of pairs (X0, Y0, X1, Y1, ...) at x; size is the number of floats in use (twice the pairs).
/// Below the first abscissa the first value holds, beyond the last pair (marked by an abscissa 0 after the first
/// pair, or by the end of a full series) the last value holds; in between the value is interpolated linearly.
/// An empty series gives 0.
inline float seriesLookup(const float* series, int size, float x)
{
    const int pairs = std::min(size / 2, model::Dimensions::InputSeriesMaxValues / 2);
    if (pairs < 1) return 0.0f;
    auto X = [series](int j) { return series[2 * j]; };
    auto Y = [series](int j) { return series[2 * j + 1]; };
    if (x <= X(0)) return Y(0);

    // First index whose abscissa is 0 (end marker) or greater than x. Index 0 is known to lie at or below x, so a
    // first abscissa of 0 is a valid start, not an end marker.
    int lo = 0;
    int hi = pairs;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if ((mid == 0 || X(mid) != 0.0f) && X(mid) <= x)
            lo = mid + 1;
        else
            hi = mid;
    }
    const int i = hi;
    if (i >= pairs || X(i) == 0.0f) return Y(i - 1);

    const float dx = X(i) - X(i - 1);
    const float r = std::fabs(dx) >= 1.0e-6f ? 1.0f / dx : 0.0f;
    return (x - X(i - 1)) * r * (Y(i) - Y(i - 1)) + Y(i - 1);
}

/// 1/y when y >= 1e-6, else 0: zero lengths, areas and conveyances give 0 instead of a division by zero.
inline float guardedInverse(float y) { return y >= 1.0e-6f ? 1.0f / y : 0.0f; }

/// Reads position p of a row of the given size; a position outside the row reads 0.
inline float rowAt(const float* row, int size, int p) { return (p >= 0 && p < size) ? row[p] : 0.0f; }

/// Writes position p of a row of the given size; a position outside the row is ignored.
inline void rowSet(float* row, int size, int p, float v)
{
    if (p >= 0 && p < size) row[p] = v;
}

/// Modification type codes of ModfInfo[0] for boundary rows.
namespace modification {
enum : int {
    PerLengthFirst = 1,
    PerLengthSecond = 2,
    Weir = 3,
    PerWettedArea = 4,
    TimeSwitch = 5,
    LevelSwitch = 8,
    WettedAreaPerLength = 9,
    PerLengthFirstAlt = 10,
    PerWettedAreaAlt = 11,
    PerConveyance = 12,
    CapacityPerLength = 13,
    CapacityPerWettedArea = 14,
    CapacityPerConveyance = 15,
    DischargePerLength = 16,
};
/// Cell-source modification codes.
enum : int {
    CellTotalInflow = 6,
    CellRainIntensity = 7,
};
}  // namespace modification

}  // namespace hydraulics

/// Per edge interpolation element: writes the series value at the key's abscissa into its position of the
/// boundary row. Keys: 0 time [s]; 1 mean depth SV[0] - SV[3]; 2 mean surface SV[0]; 3 node-string discharge SV[1];
/// any other key looks up 0.
inline void kernel_DATA_EdgeInterpolation(const float* series, const int* seriesSize, const int* keyPostn,
                                          const float* stateVar, const float* time, float* edgeData)
{
    float x = 0.0f;
    switch (keyPostn[0]) {
        case 0:
            x = *time;
            break;
        case 1:
            x = stateVar[0] - stateVar[3];
            break;
        case 2:
            x = stateVar[0];
            break;
        case 3:
            x = stateVar[1];
            break;
        default:
            break;
    }
    hydraulics::rowSet(edgeData, model::Dimensions::EdgeDataSize, keyPostn[1],
                       hydraulics::seriesLookup(series, *seriesSize, x));
}

/// Per cell interpolation element: writes the series value at the time (key 0; other keys look up 0) into its
/// position of the source row.
inline void kernel_DATA_CellInterpolation(const float* series, const int* seriesSize, const int* keyPostn,
                                          const float* time, float* cellData)
{
    const float x = keyPostn[0] == 0 ? *time : 0.0f;
    hydraulics::rowSet(cellData, model::Dimensions::CellDataSize, keyPostn[1],
                       hydraulics::seriesLookup(series, *seriesSize, x));
}

/// Per edge modification element: transforms values of its boundary row D by the type modfInfo[0], writing
/// position modfInfo[1] from the read positions modfInfo[2..6], with the states of the first (stateVar0) and
/// total lengths of the first and second node string. localDat = {switch state (< 0 closed), deadline [s]} is the
/// state of the level-controlled switch (type 8); a deadline of 1e6 means no pending switch.
inline void kernel_DATA_EdgeModification(const int* modfInfo, const float* stateVar0, const float* stateVar1,
                                         const float* totalLen0, const float* totalLen1, const float* time,
                                         float* localDat, float* edgeData)
{
    namespace mod = hydraulics::modification;
    using hydraulics::guardedInverse;
    (void)stateVar1;  // the second node string contributes only its length
    constexpr int size = model::Dimensions::EdgeDataSize;
    const float* SV = stateVar0;
    float* D = edgeData;
    const int w = modfInfo[1];
    auto at = [&](int k) { return hydraulics::rowAt(D, size, modfInfo[k]); };
    auto put = [&](float v) { hydraulics::rowSet(D, size, w, v); };
    const float TL0 = *totalLen0;
    const float TL1 = *totalLen1;

    switch (modfInfo[0]) {
        case mod::PerLengthFirst:
        case mod::PerLengthFirstAlt:
            put(at(2) * guardedInverse(TL0));
            break;
        case mod::PerLengthSecond:
            put(at(2) * guardedInverse(TL1));
            break;
        case mod::Weir: {
            const float g = G_REAL[slot::Gravity];
            const float crest = at(2);
            const float d = SV[0] - crest;
            float Qw = 0.0f;
            if (!(d < G_REAL[slot::MinWaterDepth])) {
                const float p = crest - SV[4];
                const float f = std::fabs(p) >= 1.0e-6f ? 1.0f / p : 0.0f;
                Qw = std::sqrt(2.0f * g * d * d * d) * (f * at(4) * d + at(3)) * 0.6666667f;
            }
            put(TL0 * Qw * guardedInverse(SV[2]));
            break;
        }
        case mod::PerWettedArea:
        case mod::PerWettedAreaAlt:
            put(at(2) * guardedInverse(SV[2]));
            break;
        case mod::TimeSwitch:
            put(*time <= at(2) ? -1.0f : 1.0f);
            break;
        case mod::LevelSwitch: {
            const float open = at(2);
            float v = at(3);
            if (localDat[0] < 0.0f) {
                const float reopenLevel = at(6);
                if (reopenLevel != 0.0f && SV[0] <= reopenLevel) {
                    localDat[0] = 1.0f;
                    v = open;
                }
            } else if (SV[0] < at(4)) {
                localDat[1] = 1.0e6f;
                v = open;
            } else if (at(5) <= 0.0f || localDat[1] < *time) {
                localDat[0] = -1.0f;
                localDat[1] = 1.0e6f;
            } else {
                localDat[1] = std::min(localDat[1], *time + at(5));
                v = open;
            }
            put(v * guardedInverse(SV[2]));
            break;
        }
        case mod::WettedAreaPerLength:
            put(SV[2] * guardedInverse(TL1));
            break;
        case mod::PerConveyance:
            put(at(2) * guardedInverse(SV[7]));
            break;
        case mod::CapacityPerLength:
            put(SV[9] * guardedInverse(TL0));
            break;
        case mod::CapacityPerWettedArea:
            put(SV[9] * guardedInverse(SV[2]));
            break;
        case mod::CapacityPerConveyance:
            put(SV[9] * guardedInverse(SV[7]));
            break;
        case mod::DischargePerLength:
            put(SV[1] * guardedInverse(TL1));
            break;
        default:
            break;
    }
}

/// Per cell modification element: type 6 turns a total inflow [m^3/s] into a rate [m/s] over the region area
/// (not guarded), type 7 an intensity [mm/h] into [m/s]; other types leave the source row unchanged.
inline void kernel_DATA_CellModification(const int* modfInfo, const float* regionArea, const float* time,
                                         float* cellData)
{
    namespace mod = hydraulics::modification;
    (void)time;
    constexpr int size = model::Dimensions::CellDataSize;
    const float value = hydraulics::rowAt(cellData, size, modfInfo[2]);
    switch (modfInfo[0]) {
        case mod::CellTotalInflow:
            hydraulics::rowSet(cellData, size, modfInfo[1], value / *regionArea);
            break;
        case mod::CellRainIntensity:
            hydraulics::rowSet(cellData, size, modfInfo[1], value / 3.6e6f);
            break;
        default:
            break;
    }
}
