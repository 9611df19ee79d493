#include "dataio/H5Handle.hpp"

#include <hdf5.h>

#include <type_traits>

static_assert(std::is_same<hid_t, std::int64_t>::value, "HDF5 identifiers are expected to be 64-bit integers");

namespace dataio {

void H5Handle::reset()
{
    if (id_ < 0) return;
    const hid_t id = release();
    switch (H5Iget_type(id)) {
        case H5I_FILE:
            H5Fclose(id);
            break;
        case H5I_GROUP:
            H5Gclose(id);
            break;
        case H5I_DATASET:
            H5Dclose(id);
            break;
        case H5I_ATTR:
            H5Aclose(id);
            break;
        case H5I_DATASPACE:
            H5Sclose(id);
            break;
        case H5I_DATATYPE:
            H5Tclose(id);
            break;
        case H5I_GENPROP_LST:
            H5Pclose(id);
            break;
        default:
            H5Idec_ref(id);
            break;
    }
}

}  // namespace dataio
