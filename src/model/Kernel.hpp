// Catalogue element: a numerical loop over one set.
#pragma once

#include <string>
#include <vector>

#include "model/Base.hpp"

namespace model {

/// Numerical loop over one set.
class Kernel : public BaseSet<KernelID>, public api::IKernel {
public:
    /// Model-file dataset listing the kernels to run, one KernelID per row.
    static const std::string kernelPath;
    /// Model-file dataset with one timing row per kernel.
    static const std::string kernelTimingPath;
    /// Values per timing row: start offset, increment, end offset.
    static constexpr int kernelTimingLength = 3;

    Kernel(const KernelID& id, const std::string& name, const std::string& description, api::ISet* set);
    KernelID getID() const override;
    void setOptionalData(const std::vector<DataID>& data) override;
    std::vector<DataID> getOptionalData() const override;
    void print() const override;

private:
    std::vector<DataID> optionalData;
};

}  // namespace model
