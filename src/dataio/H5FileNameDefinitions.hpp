// Name conventions of the HDF5 files: extension and the results-file name.
#pragma once

#include <string>

namespace dataio {

class H5FileNameDefinitions {
public:
    static const std::string H5EXTENSION;  ///< ".h5"
    static const std::string RESULTSID;    ///< "_results"
    /// Node coordinates in double precision (nodes x 3), beside the float table the mesh framework reads; model
    /// files of earlier set-ups lack it.
    static const std::string NODECOORDINATES;  ///< "NodesAll/CoordDbl"

    /// The results file's name: name up to and including its first ".h5" (name unchanged when it has none).
    static std::string getResultFileName(const std::string& name);
};

}  // namespace dataio
