// Small value types of the catalogue: the per-entry property record and the output operation.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace model {

/// Name and sizes of one catalogue entry. `size` is the components per element for data, outputs and maps and
/// the number of values for parameters; `type` is a DataType value. Sets, aggregates and kernels carry the two
/// integers without using them.
struct Property {
    std::string name;
    int size = 0;
    int type = 0;
};

/// One computed output component: `function` is the XDMF function text over the output's columns ($0, $1, ...),
/// `operation` computes the same value for one element from a depth threshold [m] and the column values.
struct OutputOperation {
    std::string function;
    std::function<double(double threshold, const std::vector<double>& columnValues)> operation;
};

}  // namespace model
