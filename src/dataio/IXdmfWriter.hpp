// Interface of the writer of XDMF companion files that describe HDF5 arrays as a time series on a triangle mesh.
#pragma once

#include <string>
#include <vector>

namespace api {

/// Builds one XDMF 2.0 document in memory: a mesh, then time steps with cell-centred attributes that are columns
/// of two-dimensional HDF5 datasets. Calls out of order are fatal (mesh before time step, time step before data).
class IXdmfWriter {
public:
    virtual ~IXdmfWriter() = default;

    /// Triangle topology (nElements cells) and XYZ geometry read from the HDF5 file given at construction;
    /// dims are the datasets' extents as XDMF writes them, e.g. "100 3".
    virtual void addMesh(const int& nElements, const std::string& topologyDataset, const std::string& topologyDims,
                         const std::string& geometryDataset, const std::string& geometryDims) = 0;
    /// Opens the grid of time t [s], closing the previous one.
    virtual void addTimeStep(const double& t) = 0;
    /// Cell scalar: column `column` of the nValues x nColumns dataset h5File:dataset.
    virtual void addScalar(const std::string& name, const int& nValues, const std::string& h5File,
                           const std::string& dataset, const int& nColumns, const int& column) = 0;
    /// Cell vector from columns[0] and columns[1] of the dataset, with a zero third component.
    virtual void addVector(const std::string& name, const int& nValues, const std::string& h5File,
                           const std::string& dataset, const int& nColumns, const std::vector<int>& columns) = 0;
    /// Cell scalar computed by an XDMF function (e.g. "$0-$1") of one column per entry: $i is column columns[i]
    /// of the fileNames[i]:datasets[i] dataset with sizes[i] columns. The four lists must have equal length.
    virtual void addFunctionScalar(const std::string& name, const int& nValues, const std::string& function,
                                   const std::vector<std::string>& fileNames, const std::vector<std::string>& datasets,
                                   const std::vector<int>& sizes, const std::vector<int>& columns) = 0;
    /// Cell vector whose x and y components are the XDMF functions functions[0] and functions[1] over the same
    /// column selections as addFunctionScalar; the third component is zero.
    virtual void addFunctionVector(const std::string& name, const int& nValues,
                                   const std::vector<std::string>& functions, const std::vector<std::string>& fileNames,
                                   const std::vector<std::string>& datasets, const std::vector<int>& sizes,
                                   const std::vector<int>& columns) = 0;
    /// Closes the open grids and the domain and writes the document to xdmfFileName.
    virtual void write(const std::string& xdmfFileName) = 0;
};

}  // namespace api
