// The error type of the GIS layer: a layer, raster or feature that cannot be used; the message names the file,
// the layer and the feature (or the node) at fault.
#pragma once

#include <stdexcept>
#include <string>

namespace gis {

class GisError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace gis
