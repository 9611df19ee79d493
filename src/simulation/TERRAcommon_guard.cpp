// The run's guard: a run that cannot end (its time step stays below the configured minimum) or whose state has
// become non-finite stops with a message that names the time, the cell and its state, after writing that state
// as the last record of the results file.
#include <omp.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <sstream>

#include "common/TerraException.hpp"
#include "dataio/IH5Reader.hpp"
#include "model/IModel.hpp"
#include "simulation/Distribution.hpp"
#include "simulation/TERRAcommon_op.hpp"
#include "simulation/kernels/GlobalConstants.hpp"
#include "simulation/kernels/HydraulicsTimeStepFluxes.hpp"

namespace simulation {

namespace {

/// Passes between two scans of the state for non-finite values: a scan reads 16 bytes per cell, a pass some
/// hundreds, so scanning every pass would cost a few per cent of the run.
constexpr long kScanInterval = 16;
/// Consecutive passes with the step below the minimum that stop the run: a single short step (a shock reaching
/// a small cell) is no reason to stop.
constexpr long kStalledPasses = 100;

const float* floats(op_dat d) { return d == nullptr ? nullptr : reinterpret_cast<const float*>(d->data); }
const int* ints(op_dat d) { return d == nullptr ? nullptr : reinterpret_cast<const int*>(d->data); }

}  // namespace

void TERRAcommon::guardStep(const double& dtMinimum)
{
    ++guardPasses;
    // The first step is the configured initial one; the minimum applies from the second on.
    stalledPasses = (guardPasses > 1 && stableStep < dtMinimum) ? stalledPasses + 1 : 0;
    const bool stalled = stalledPasses >= kStalledPasses;
    const bool brokenStep = !(dt > 0.0 && std::isfinite(dt));
    int cell = -1;
    const bool scan = stalled || brokenStep || guardPasses % kScanInterval == 0;
    if (scan) cell = firstNonFiniteCell();
    // The processes of a distributed run scan at the same passes and stop together: the last record is gathered
    // from all of them. The one that holds the cell names it.
    double processes = 0.0;
    const bool broken = scan && op_mpi_max_sum(cell >= 0 ? 1.0 : 0.0, &processes) > 0.0;
    if (!broken && !stalled && !brokenStep) return;

    std::ostringstream why;
    if (broken) {
        why << "the state of a cell is no longer a finite number";
    } else if (stalled) {
        why << "the time step has stayed below SIMULATION/TIMESTEP/minimum = " << dtMinimum << " s for "
            << kStalledPasses << " steps (now " << stableStep << " s)";
        cell = limitingCell();
    } else {
        why << "the time step is not a positive number (" << dt << " s)";
        cell = limitingCell();
    }
    const double last = std::isfinite(dt) && dt > 0.0 ? time + dt : time;
    std::cerr << " -> run stopped at t = " << time << " s: " << why.str() << std::endl;
    if (cell >= 0) std::cerr << " -> " << describeCell(cell) << std::endl;
    std::cerr << " -> the state after this step is written as the last record, at t = " << last << " s" << std::endl;
    writeRegularOutput(last);
    throw TerraException();
}

int TERRAcommon::firstNonFiniteCell() const
{
    const int n = sets.at(model::SetID::CellsAll)->size;
    const float* state = floats(data.at(model::DataID::HydState));
    const float* bed = floats(data.at(model::DataID::BottomEl));
    if (state == nullptr || bed == nullptr) return -1;
    int first = std::numeric_limits<int>::max();
#pragma omp parallel for reduction(min : first) schedule(static)
    for (int c = 0; c < n; ++c) {
        const float* s = state + 3 * static_cast<long>(c);
        if (!(std::isfinite(s[0]) && std::isfinite(s[1]) && std::isfinite(s[2]) && std::isfinite(bed[c])))
            first = std::min(first, c);
    }
    return first == std::numeric_limits<int>::max() ? -1 : first;
}

int TERRAcommon::limitingCell() const
{
    const op_set edges = sets.at(model::SetID::EdgesAll);
    const int nCells = sets.at(model::SetID::CellsAll)->size;
    const op_map lr = maps.at(model::MapID::EdgesAll_CellsAll);
    const float* normal = floats(data.at(model::DataID::NormVect));
    const float* size = floats(data.at(model::DataID::CharSize));
    const int* wet = ints(data.at(model::DataID::IsWetted));
    const float* state = floats(data.at(model::DataID::HydState));
    const float* bed = floats(data.at(model::DataID::BottomEl));
    if (lr == nullptr || normal == nullptr || size == nullptr || wet == nullptr || state == nullptr || bed == nullptr)
        return -1;
    int best = -1;
    float smallest = std::numeric_limits<float>::infinity();
    for (int e = 0; e < edges->size; ++e)
        for (int k = 0; k < 2; ++k) {
            const int c = lr->map[2 * static_cast<long>(e) + k];
            if (c < 0 || c >= nCells) continue;
            const float step =
                hydraulics::cellAdmissibleStep(normal + 2 * static_cast<long>(e), size[2 * static_cast<long>(e) + k],
                                               wet[c], state + 3 * static_cast<long>(c), bed[c]);
            if (step < smallest || (best < 0 && std::isnan(step))) {
                smallest = step;
                best = c;
            }
        }
    return best;
}

std::string TERRAcommon::describeCell(int cell) const
{
    std::ostringstream text;
    const long number = fileIndex(sets.at(model::SetID::CellsAll), cell);
    text << "cell " << number;
    // The centroid from the mesh in the model file (the simulation itself keeps no node coordinates).
    try {
        const std::string topology = model->getData(model::DataID::Topology)->getH5Path();
        const std::string coordinates = model->getData(model::DataID::Coordnts)->getH5Path();
        const std::vector<std::vector<int>> nodes = h5Reader->readIntVecVec(topology);
        const std::vector<double> x = h5Reader->readDoubleVecFrom2dDataset(coordinates, 0);
        const std::vector<double> y = h5Reader->readDoubleVecFrom2dDataset(coordinates, 1);
        const auto& t = nodes.at(static_cast<std::size_t>(number));
        double cx = 0.0, cy = 0.0;
        for (int k = 0; k < 3; ++k) {
            cx += x.at(static_cast<std::size_t>(t.at(static_cast<std::size_t>(k)))) / 3.0;
            cy += y.at(static_cast<std::size_t>(t.at(static_cast<std::size_t>(k)))) / 3.0;
        }
        text << " (centroid x = " << cx << " m, y = " << cy << " m)";
    } catch (const std::exception&) {
        text << " (its centroid could not be read from the model file)";
    }
    const float* state = floats(data.at(model::DataID::HydState));
    const float* bed = floats(data.at(model::DataID::BottomEl));
    const float* s = state + 3 * static_cast<long>(cell);
    text << ": water surface " << s[0] << " m, bed " << bed[cell] << " m, depth " << s[0] - bed[cell]
         << " m, discharge (" << s[1] << ", " << s[2] << ") m2/s";
    return text.str();
}

}  // namespace simulation
