// The XDMF companion of a results file: the mesh and one time step per stored output time.
#pragma once

#include <string>

#include "results/ResultsFile.hpp"

namespace results {

/// Default name of the companion: the results file name with ".h5" replaced by ".xdmf" (appended when absent).
std::string defaultXdmfName(const std::string& resultsFile);

/// Name of the HDF5 file beside the XDMF file that holds the values computed for it: the XDMF file name with
/// ".xdmf" replaced by "_derived.h5" (appended when absent).
std::string derivedFileName(const std::string& xdmfFile);

/// Writes xdmfFile describing the results file: the triangle mesh of the set-up copies, one time step per valid
/// record, and per provided output one cell attribute computed from the stored columns by the output's XDMF
/// functions (elevations made absolute). Outputs that divide by the water depth (the velocities) are computed here
/// instead, 0 on cells drier than the minimum water depth, and stored in derivedFileName(xdmfFile) as
/// "/<output>/<record>" (cells x components, double). Outputs on node strings are left out (see the hydrographs); an
/// output the file cannot provide is reported on standard output and left out. Returns the number of attributes per
/// time step.
int writeXdmf(const ResultsFile& file, const std::string& xdmfFile);

}  // namespace results
