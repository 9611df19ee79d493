// The bed-load transport of kernel_MORPHOLOGY_CalcBedloadTransport for eight cells at once in AVX2 lanes, bit for
// bit the scalar results. It is used where the eight-lane friction is (hydraulics::cellBatchEnabled).
#pragma once

namespace morphology {

/// Cells one batched bed-load call takes.
constexpr int kBedloadBatch = 8;

/// kernel_MORPHOLOGY_CalcBedloadTransport for kBedloadBatch cells, cell j given by the j-th pointer of each argument
/// (chezyCoe may be null when frictionOn is not 1). The Shields-type formulas with exponent 3/2 (Meyer-Peter and
/// Mueller and its kin) run in lanes, every other formula cell by cell; every capacity and derivative is the same
/// bits as the scalar kernel gives. The outputs must not alias the inputs. Needs AVX2.
void bedloadTransportBatch(const int* const* frictionOn, const float* const* hydState, const float* const* bottomEl,
                           const float* const* chezyCoe, const float* const* mSedSize, const float* const* thetaCrt,
                           const float* const* bedGrdnt, const float* const* flowCurv, float* const* bedTrCap,
                           float* const* bedTrDer);

}  // namespace morphology
