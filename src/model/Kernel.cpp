#include "model/Kernel.hpp"

#include <cstdio>

namespace model {

const std::string Kernel::kernelPath = "kernels/ID";
const std::string Kernel::kernelTimingPath = "kernels/execution";

Kernel::Kernel(const KernelID& id, const std::string& name, const std::string& description, api::ISet* set)
    : Base<KernelID>(id, name, 0, description, false, false), BaseSet<KernelID>(id, name, 0, description, set) {}

KernelID Kernel::getID() const { return id; }

void Kernel::setOptionalData(const std::vector<DataID>& data) { optionalData = data; }

std::vector<DataID> Kernel::getOptionalData() const { return optionalData; }

void Kernel::print() const {
    std::printf("Kernel: %s\n", getName().c_str());
    std::printf(" -> on set %s\n", set->getH5PathRoot().c_str());
}

}  // namespace model
