// The XDMF document shape of this program: one triangle mesh and a temporal collection of cell attributes.
#pragma once

#include <string>
#include <vector>

#include "dataio/IXdmfWriter.hpp"
#include "dataio/SimpleXdmf.hpp"

namespace dataio {

class XdmfWriter : public api::IXdmfWriter {
public:
    /// h5FileName: the HDF5 file the mesh datasets are read from (also the name of the time collection).
    explicit XdmfWriter(const std::string& h5FileName);

    void addMesh(const int& nElements, const std::string& topologyDataset, const std::string& topologyDims,
                 const std::string& geometryDataset, const std::string& geometryDims) override;
    void addTimeStep(const double& t) override;
    void addScalar(const std::string& name, const int& nValues, const std::string& h5File, const std::string& dataset,
                   const int& nColumns, const int& column) override;
    void addVector(const std::string& name, const int& nValues, const std::string& h5File, const std::string& dataset,
                   const int& nColumns, const std::vector<int>& columns) override;
    void addFunctionScalar(const std::string& name, const int& nValues, const std::string& function,
                           const std::vector<std::string>& fileNames, const std::vector<std::string>& datasets,
                           const std::vector<int>& sizes, const std::vector<int>& columns) override;
    void addFunctionVector(const std::string& name, const int& nValues, const std::vector<std::string>& functions,
                           const std::vector<std::string>& fileNames, const std::vector<std::string>& datasets,
                           const std::vector<int>& sizes, const std::vector<int>& columns) override;
    void write(const std::string& xdmfFileName) override;

    /// Start, stride and count of the selection of one column of an nValues-row dataset: "0 c 1 1 n 1".
    static std::string xmlDataDescription(const int& nValues, const int& column);

private:
    /// HyperSlab DataItem selecting column `column` of the nValues x nColumns dataset file:dataset.
    void dataItem(const int& nValues, const std::string& file, const std::string& dataset, const int& nColumns,
                  const int& column);
    void beginAttribute(const std::string& name, const int& nValues, bool isVector, const std::string& function);
    void endAttribute(bool hasFunction);
    /// The length checks shared by the function attributes.
    static void checkSelections(const std::vector<std::string>& filenames, const std::vector<std::string>& datasets,
                                const std::vector<int>& sizes, const std::vector<int>& indices);

    std::string h5FileName_;
    SimpleXdmf xdmf_;
    bool meshAdded = false;
    bool collectionOpen = false;
    bool timeOpen = false;
};

}  // namespace dataio
