// Catalogue element: a result quantity that can be requested.
#pragma once

#include <string>
#include <vector>

#include "model/Base.hpp"

namespace model {

/// Result quantity of `dimension` components per element of its set.
class Output : public BaseData<OutputID>, public BaseSet<OutputID>, public api::IOutput {
public:
    Output(const OutputID& id, const std::string& name, const std::string& description, const DataType& type,
           api::ISet* set, const int& dimension, const bool& tracking);
    bool isSolution() const override;        // false
    bool isVariableInTime() const override;  // false
    /// Without operations every column is one output component; with operations there is one per component.
    void define(const std::vector<Column>& columns, const std::vector<OutputOperation>& operations) override;
    std::vector<DataID> getData() const override;
    std::vector<Column> getDataColumns() const override;
    int getNrDataFunctions() const override;
    OutputOperation getDataFunction(const int& i) const override;
    std::vector<int> getInitData() const override;
    bool isTracking() const override;
    void print() const override;

private:
    bool tracking;
    std::vector<Column> columns;
    std::vector<OutputOperation> operations;
};

}  // namespace model
