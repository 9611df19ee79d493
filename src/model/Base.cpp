// Text form of the value-type codes.
#include "model/Base.hpp"

namespace model {

std::string dataTypeText(int type) {
    switch (type) {
        case DT_INT: return "int";
        case DT_FLOAT: return "float";
        case DT_STRING: return "string";
        default: return "";
    }
}

}  // namespace model
