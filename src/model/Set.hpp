// Catalogue element: a mesh set.
#pragma once

#include <string>

#include "model/Base.hpp"

namespace model {

/// Mesh set; its size is the element count, known once the set is declared from the model file.
class Set : public Base<SetID>, public api::ISet {
public:
    Set(const SetID& id, const std::string& name, const std::string& description);
    std::string getH5Path() const override;  // name + "/set"
    void setSize(const int& n) override;
    std::string getH5PathRoot() const override;
    SetID getID() const override;
    void print() const override;
};

}  // namespace model
