#include "model/Output.hpp"

#include <algorithm>
#include <cstdio>

#include "common/TerraException.hpp"

namespace model {

Output::Output(const OutputID& id, const std::string& name, const std::string& description, const DataType& type,
               api::ISet* set, const int& dimension, const bool& tracking)
    : Base<OutputID>(id, name, dimension, description, false, false),
      BaseData<OutputID>(id, name, dimension, description, false, false, type, false),
      BaseSet<OutputID>(id, name, dimension, description, set),
      tracking(tracking) {}

bool Output::isSolution() const { return false; }

bool Output::isVariableInTime() const { return false; }

void Output::define(const std::vector<Column>& coldats, const std::vector<OutputOperation>& funcs) {
    if (funcs.empty()) {
        HYDROVA_ASSERT((int)coldats.size() == this->getSize(), "number of data columns do not match the output size");
    } else {
        HYDROVA_ASSERT((int)funcs.size() == this->getSize(), "number of functions must match the output size,");
    }
    columns = coldats;
    operations = funcs;
}

std::vector<DataID> Output::getData() const {
    std::vector<DataID> ids;
    for (const auto& column : columns) ids.push_back(column.first);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

std::vector<Output::Column> Output::getDataColumns() const { return columns; }

int Output::getNrDataFunctions() const { return static_cast<int>(operations.size()); }

OutputOperation Output::getDataFunction(const int& i) const { return operations.at(i); }

std::vector<int> Output::getInitData() const {
    std::vector<int> positions;
    for (std::size_t i = 0; i < columns.size(); ++i)
        for (std::size_t j = i + 1; j < columns.size(); ++j)
            if (columns[i] == columns[j]) positions.push_back(static_cast<int>(i));
    return positions;
}

bool Output::isTracking() const { return tracking; }

void Output::print() const {
    std::printf("Output: %s (dtype=%s)\n", getH5Path().c_str(), getType().c_str());
    std::printf(" -> with dimension (%i/%i)\n", set->getSize(), getSize());
}

}  // namespace model
