// Hydraulic boundary kernels: closed walls, the coded boundary conditions on boundary edges, and the integrated
// states of the node strings that drive the boundary values.
#pragma once

#include <algorithm>
#include <cmath>

#include "model/Dimensions.hpp"
#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/HydraulicSolver.hpp"

namespace hydraulics {

/// Boundary type codes of HydBType[0]. The 2xx codes couple the two cells of an edge.
namespace bc {
enum : int {
    InflowDischargeNormalDepth = 100,
    InflowDischargeCriticalDepth = 102,
    OutflowNormalDepth = 104,
    OutflowVelocity106 = 106,
    OutflowVelocity108 = 108,
    OutflowVelocityDepth = 110,
    FreeOutflow = 112,
    WaterLevel = 114,
    IncidentWave = 116,
    CoupledVelocity = 216,
    CoupledSolver = 218,
    CoupledClosed = 220,
    InflowVolume322 = 322,
    OutflowVelocity323 = 323,
    InflowVolume324 = 324,
    OutflowVelocity325 = 325,
    InflowDischarge326 = 326,
    OutflowVelocityDepth327 = 327,
    InflowVolume328 = 328,
    OutflowVelocityDepth329 = 329,
    InflowDischarge330 = 330,
    OutflowWaterLevel = 331,
};
}  // namespace bc

/// Writes a flux given in the rotated frame of the edge: mass m, normal momentum fn, tangential momentum ft; the
/// right-side components are 0 (a boundary edge has no cell on its right).
inline void writeImposed(const float* n, float m, float fn, float ft, float* flux)
{
    flux[0] = m;
    flux[1] = n[0] * fn - n[1] * ft;
    flux[2] = n[1] * fn + n[0] * ft;
    flux[3] = 0.0f;
    flux[4] = 0.0f;
}

/// Pre-balanced pressure (H/2 - zb)*H*g of a cell [m^3/s^2]: the bracket in double, H*g in float, rounded to float.
inline float cellPressure(float H, float zb, float g)
{
    return static_cast<float>((static_cast<double>(H) * 0.5 - static_cast<double>(zb)) * static_cast<double>(H * g));
}

/// Normal momentum of a discharge Q [m^2/s] imposed through the depth hb over the cell bed zb.
inline float imposedMomentum(float Q, float hb, float zb, float g, float hmin)
{
    const float etaB = zb + hb;
    const float ib = hb >= hmin ? 1.0f / hb : 0.0f;
    return static_cast<float>(Q * Q * ib + (static_cast<double>(etaB) * 0.5 - zb) * etaB * g);
}

/// Uniform-flow depth [m] of the discharge X on the slope S under the non-dimensional Chezy value cf2. Without a
/// usable conveyance (friction off, cf2*g*S = 0) the normal depth is undefined and the cell depth h is used.
inline float normalDepth(float X, float S, const float* cf2, float g, float h)
{
    if (cf2 == nullptr) return h;
    const float denominator = *cf2 * g * S;
    if (denominator == 0.0f) return h;
    return static_cast<float>(std::cbrt(static_cast<double>(X * X / denominator)));
}

}  // namespace hydraulics

/// Per wall edge: no mass flux and the pre-balanced pressure g*(H^2/2 - zb*H) of the inner cell along the normal,
/// which balances the internal pressure terms of a lake at rest.
inline void kernel_HYDRAULICS_WallFluxes(const float* hydState, const float* bottomEl, const float* normVect,
                                         float* fluxesHy)
{
    const float p = hydraulics::cellPressure(hydState[0], *bottomEl, G_REAL[slot::Gravity]);
    fluxesHy[0] = 0.0f;
    fluxesHy[1] = normVect[0] * p;
    fluxesHy[2] = normVect[1] * p;
    fluxesHy[3] = 0.0f;
    fluxesHy[4] = 0.0f;
}

/// Per boundary edge: the flux of its condition hydBType = {code, factor s} with the boundary values edgeData[0..6].
/// L is the inner cell, the normal points out of it, and a positive mass flux leaves it. The right cell is read
/// only by the two-cell codes 216-220; chezyCoeL only by codes 100 and 104 and may be absent (friction off).
inline void kernel_HYDRAULICS_Boundary(const int* hydBType, const float* edgeData, const float* normVect,
                                       const float* hydStateL, const float* hydStateR, const float* bottomElL,
                                       const float* bottomElR, const float* chezyCoeL, const float* charSize,
                                       float* fluxesHy)
{
    namespace bc = hydraulics::bc;
    const float g = G_REAL[slot::Gravity];
    const float hmin = G_REAL[slot::MinWaterDepth];
    const float* n = normVect;
    const float* D = edgeData;
    const float s = static_cast<float>(hydBType[1]);
    const int code = hydBType[0];

    const float H = hydStateL[0];
    const float qx = hydStateL[1];
    const float qy = hydStateL[2];
    const float zL = *bottomElL;
    const float h = H - zL;
    const float qn = qx * n[0] + qy * n[1];
    const float qt = qy * n[0] - qx * n[1];
    const float absQ = std::sqrt(qx * qx + qy * qy);
    const float P = hydraulics::cellPressure(H, zL, g);
    const float ibCell = h >= hmin ? 1.0f / h : 0.0f;
    const float froudeDenominator = h * hydraulics::rootOf(g * std::max(h, 0.0f));
    const float froude = absQ * hydraulics::guardedReciprocal(froudeDenominator);
    const bool subcritical = froude <= 1.0f;

    auto wall = [&] { hydraulics::writeImposed(n, 0.0f, P, 0.0f, fluxesHy); };
    auto twoCellClosed = [&] {
        const float PR = hydraulics::cellPressure(hydStateR[0], *bottomElR, g);
        fluxesHy[0] = 0.0f;
        fluxesHy[1] = n[0] * P;
        fluxesHy[2] = n[1] * P;
        fluxesHy[3] = -n[0] * PR;
        fluxesHy[4] = -n[1] * PR;
    };
    // Outflow of the discharge Q through the cell's own depth, carrying its tangential velocity.
    auto outflowThroughCell = [&](float Q) {
        hydraulics::writeImposed(n, Q, hydraulics::imposedMomentum(Q, h, zL, g, hmin), qt * Q * ibCell, fluxesHy);
    };
    const int wetL = h > hmin ? 1 : 0;
    // The Chezy value is only passed when friction is simulated; otherwise the pointer must not be read.
    const float* cf2 = G_INT[slot::FrictionOn] == 1 ? chezyCoeL : nullptr;

    switch (code) {
        case bc::InflowDischargeNormalDepth: {
            const float Q = s * D[2];
            if (Q >= 0.0f) {
                wall();
                break;
            }
            const float hb = (h >= hmin && subcritical) ? h : hydraulics::normalDepth(Q, D[1], cf2, g, h);
            hydraulics::writeImposed(n, Q, hydraulics::imposedMomentum(Q, hb, zL, g, hmin), 0.0f, fluxesHy);
            break;
        }
        case bc::InflowDischargeCriticalDepth: {
            const float Q = s * D[2];
            if (Q >= 0.0f) {
                wall();
                break;
            }
            const float hb =
                D[1] < 1.0f ? h : static_cast<float>(std::cbrt(static_cast<double>(Q * Q / (D[1] * D[1] * g))));
            hydraulics::writeImposed(n, Q, hydraulics::imposedMomentum(Q, hb, zL, g, hmin), 0.0f, fluxesHy);
            break;
        }
        case bc::OutflowNormalDepth: {
            if (qn <= 0.0f) {
                wall();
                break;
            }
            const float hb = (h >= hmin && subcritical) ? hydraulics::normalDepth(absQ, D[0], cf2, g, h) : h;
            const float zg = zL - D[0] * charSize[0];
            const float ghost[3] = {hb + zg, qx, qy};
            hydrodynamic_solver(n, hydStateL, zL, wetL, ghost, zg, hb > hmin ? 1 : 0, fluxesHy);
            break;
        }
        case bc::OutflowVelocity106:
        case bc::OutflowVelocity108:
        case bc::OutflowVelocity323:
        case bc::OutflowVelocity325: {
            const float V = s * D[3];
            if (V <= 0.0f)
                wall();
            else
                hydraulics::writeImposed(n, V * h, P, 0.0f, fluxesHy);
            break;
        }
        case bc::OutflowVelocityDepth:
        case bc::OutflowVelocityDepth327:
        case bc::OutflowVelocityDepth329: {
            const float V = s * (code == bc::OutflowVelocityDepth329 ? D[5] : D[1]);
            if (V <= 0.0f)
                wall();
            else
                outflowThroughCell(V * h);
            break;
        }
        case bc::FreeOutflow:
            if (qn <= 0.0f)
                wall();
            else
                outflowThroughCell(qn);
            break;
        case bc::WaterLevel: {
            if (D[0] - zL <= hmin) {
                // Level below the bed: water may leave through a zero-depth ghost, never enter.
                if (qn <= 0.0f) {
                    wall();
                    break;
                }
                const float ghost[3] = {zL, qx, qy};
                hydrodynamic_solver(n, hydStateL, zL, wetL, ghost, zL, 0, fluxesHy);
                break;
            }
            if (qn <= 0.0f && D[1] != 1.0f) {
                wall();
                break;
            }
            const float ghost[3] = {D[0], qn <= 0.0f ? 0.0f : qx, qn <= 0.0f ? 0.0f : qy};
            hydrodynamic_solver(n, hydStateL, zL, wetL, ghost, zL, 1, fluxesHy);
            break;
        }
        case bc::IncidentWave: {
            // The series D[0] is the level of the wave arriving from outside over the still level D[1]. The
            // ghost state keeps the Riemann invariant that leaves the domain (u_n + 2c of the inner cell) and takes
            // the entering one (u_n - 2c) from that wave alone, a simple wave on still water of depth D[1] - zb:
            // the wave enters at its full height and what the domain sends back passes out unhindered.
            const float h0 = D[1] - zL;
            if (h0 <= hmin) {
                wall();
                break;
            }
            const float c0 = std::sqrt(g * h0);
            const float cIn = std::sqrt(g * std::max(D[0] - zL, 0.0f));
            const float cL = wetL ? std::sqrt(g * h) : 0.0f;
            const float unL = wetL ? qn * ibCell : 0.0f;
            const float outgoing = unL + 2.0f * cL;
            const float incoming = 2.0f * c0 - 4.0f * cIn;
            const float cB = std::max(0.25f * (outgoing - incoming), 0.0f);
            const float unB = 0.5f * (outgoing + incoming);
            const float hB = cB * cB / g;
            const float qnB = unB * hB;
            // Tangential flow leaves with the inner cell's velocity and enters without one.
            const float qtB = unB > 0.0f ? qt * ibCell * hB : 0.0f;
            const float ghost[3] = {zL + hB, n[0] * qnB - n[1] * qtB, n[1] * qnB + n[0] * qtB};
            hydrodynamic_solver(n, hydStateL, zL, wetL, ghost, zL, hB > hmin ? 1 : 0, fluxesHy);
            break;
        }
        case bc::CoupledVelocity: {
            if (D[1] <= 0.0f) {
                twoCellClosed();
                break;
            }
            const float HR = hydStateR[0];
            const float zR = *bottomElR;
            if (hydBType[1] < 1) {
                // Flow from the right cell into the inner cell.
                const float V = s * D[1];
                const float hR = HR - zR;
                const float Q = V * hR;
                const float iR = hR >= hmin ? 1.0f / hR : 0.0f;
                const float fR =
                    static_cast<float>(Q * Q * iR + (static_cast<double>(hR + zR) * 0.5 - zR) * (hR + zR) * g);
                const float gR = (hydStateR[2] * n[0] - hydStateR[1] * n[1]) * Q * iR;
                fluxesHy[0] = Q;
                fluxesHy[1] = n[0] * P;
                fluxesHy[2] = n[1] * P;
                fluxesHy[3] = -(n[0] * fR - n[1] * gR);
                fluxesHy[4] = -(n[1] * fR + n[0] * gR);
            } else {
                const float Q = s * D[1] * h;
                const float fn = hydraulics::imposedMomentum(Q, h, zL, g, hmin);
                const float ft = qt * Q * ibCell;
                const float PR = hydraulics::cellPressure(HR, zR, g);
                fluxesHy[0] = Q;
                fluxesHy[1] = n[0] * fn - n[1] * ft;
                fluxesHy[2] = n[1] * fn + n[0] * ft;
                fluxesHy[3] = -n[0] * PR;
                fluxesHy[4] = -n[1] * PR;
            }
            break;
        }
        case bc::CoupledSolver: {
            if (D[1] <= 0.0f) {
                twoCellClosed();
                break;
            }
            const float zR = *bottomElR;
            hydrodynamic_solver(n, hydStateL, zL, wetL, hydStateR, zR, hydStateR[0] - zR > hmin ? 1 : 0, fluxesHy);
            break;
        }
        case bc::CoupledClosed:
            twoCellClosed();
            break;
        case bc::InflowVolume322:
        case bc::InflowVolume324:
            if (s * D[3] >= 0.0f)
                wall();
            else
                outflowThroughCell(s * D[3] * D[4]);
            break;
        case bc::InflowDischarge326:
            if (s * D[1] >= 0.0f)
                wall();
            else
                hydraulics::writeImposed(n, s * D[2], P, 0.0f, fluxesHy);
            break;
        case bc::InflowVolume328:
            if (s * D[5] >= 0.0f)
                wall();
            else
                hydraulics::writeImposed(n, s * D[5] * D[6], P, 0.0f, fluxesHy);
            break;
        case bc::InflowDischarge330: {
            const float Q = s * D[1];
            if (Q >= 0.0f)
                wall();
            else
                hydraulics::writeImposed(n, Q, P, 0.0f, fluxesHy);
            break;
        }
        case bc::OutflowWaterLevel: {
            if (qn <= 0.0f) {
                wall();
                break;
            }
            const float ghost[3] = {D[0], qx, qy};
            hydrodynamic_solver(n, hydStateL, zL, wetL, ghost, zL, D[0] - zL > hmin ? 1 : 0, fluxesHy);
            break;
        }
        default:
            wall();
            break;
    }
}

namespace hydraulics {

/// Magnitude of the bed-load transport capacity [m^2/s] of a cell with discharge |q|, depth h, squared Chezy value
/// cf2 (null when friction is off), critical value thetaCrt and grain size d, by the formula code BeadloadType.
inline float bedloadCapacity(float absQ, float h, const float* cf2, float thetaCrt, float d)
{
    const float g = G_REAL[slot::Gravity];
    const float invG = G_REAL[slot::InvGravity];
    const float sRel = G_REAL[slot::SedRelDensity];
    const float A = G_REAL[slot::BedloadCoeff];
    const float B = G_REAL[slot::BedloadExpon];
    const float ih = guardedReciprocal(h);
    const float ic = (cf2 != nullptr) ? guardedReciprocal(*cf2) : 0.0f;
    switch (G_INT[slot::BeadloadType]) {
        case 3: {
            const float x = std::max(absQ * ih - thetaCrt, 0.0f);
            return static_cast<float>(A * std::pow(static_cast<double>(x), static_cast<double>(B)));
        }
        case 4: {
            const float K =
                static_cast<float>(0.05 * static_cast<double>(invG * invG) * std::sqrt(static_cast<double>(sRel))) *
                guardedReciprocal(d) * ic * std::sqrt(ic);
            return K * absQ * absQ * (ih * ih * ih * ih * ih);
        }
        default: {
            const float grain = d * sRel;
            const float shieldsFactor = grain != 0.0f ? invG * ic / grain : 0.0f;
            const float theta = absQ * absQ * ih * ih * shieldsFactor;
            const float x = std::max(theta - thetaCrt, 0.0f);
            const float root = rootOf(g * sRel * d * d * d);
            return static_cast<float>(A * root * std::pow(static_cast<double>(x), static_cast<double>(B)));
        }
    }
}

}  // namespace hydraulics

/// Per node string: the integrated state stateVar[0..9] over its wet edges (upstream cell depth > MinWaterDepth):
/// [0] mean surface [m], [1] discharge [m^3/s] in the string's orientation, [2] wetted area [m^2], [3] mean bed
/// [m], [4] lowest upstream bed of all edges [m], [5] wetted length [m], [6] upstream water volume [m^3],
/// [7] conveyance term, [8] sediment discharge [m^3/s], [9] transport capacity [m^3/s]. Slot 7 needs the
/// friction-and-morphology switch, slots 8 and 9 the morphology switch; arguments they need are absent otherwise.
/// The whole-row arguments hold one pointer per edge of the string (at most 40 edges).
inline void kernel_TOPOLOGY_NodeStringStates(const int* morphologyOn, const int* frictionMorphologyOn,
                                             const int* listSize, const int* edgeSign, const float* const* geomLeng,
                                             const float* const* fluxesHy, const float* const* fluxesMo,
                                             const float* const* chezyCoe, const float* const* thetaCrt,
                                             const float* const* mSedSize, const float* const* hydState,
                                             const float* const* bottomEl, const float* const* geomArea,
                                             float* stateVar)
{
    const float hmin = G_REAL[slot::MinWaterDepth];
    const int edges = std::min(*listSize, model::Dimensions::NodeStringMaxEdges);
    const bool morphology = *morphologyOn == 1;
    const bool frictionMorphology = *frictionMorphologyOn == 1;

    float sumL = 0.0f, sumHL = 0.0f, sumZL = 0.0f, discharge = 0.0f, area = 0.0f, volume = 0.0f;
    float conveyance = 0.0f, sediment = 0.0f, capacity = 0.0f;
    float lowestBed = 1.0e6f;
    for (int i = 0; i < edges; ++i) {
        const float H = hydState[i][0];
        const float zb = *bottomEl[i];
        const float h = H - zb;
        lowestBed = std::min(lowestBed, zb);
        if (!(h > hmin)) continue;
        const float L = *geomLeng[i];
        const float sign = static_cast<float>(edgeSign[i]);
        sumL += L;
        sumHL += H * L;
        sumZL += zb * L;
        discharge += sign * L * fluxesHy[i][0];
        area += h * L;
        volume += *geomArea[i] * h;
        if (morphology) {
            if (frictionMorphology) conveyance += h * L * std::sqrt(*chezyCoe[i] * h);
            sediment +=
                static_cast<float>(sign * L * *fluxesMo[i] * (1.0 - static_cast<double>(G_REAL[slot::BedPorosity])));
            const float qx = hydState[i][1];
            const float qy = hydState[i][2];
            const float absQ = hydraulics::rootOf(qx * qx + qy * qy);
            capacity += L * hydraulics::bedloadCapacity(absQ, h, frictionMorphology ? chezyCoe[i] : nullptr,
                                                        *thetaCrt[i], *mSedSize[i]);
        }
    }
    const bool anyWet = sumL > 0.0f;
    stateVar[0] = anyWet ? sumHL / sumL : 0.0f;
    stateVar[1] = discharge;
    stateVar[2] = area;
    stateVar[3] = anyWet ? sumZL / sumL : 0.0f;
    stateVar[4] = lowestBed;
    stateVar[5] = sumL;
    stateVar[6] = volume;
    stateVar[7] = conveyance;
    stateVar[8] = sediment;
    stateVar[9] = capacity;
}
