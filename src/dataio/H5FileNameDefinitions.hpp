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
    /// Gauges of the set-up, in the model and the results file: names (strings), points (gauges x 2, double) and
    /// the cell holding each point (gauges x 1, int, in the model's cell numbering).
    static const std::string GAUGENAMES;   ///< "Gauges/Names"
    static const std::string GAUGEPOINTS;  ///< "Gauges/Points"
    static const std::string GAUGECELLS;   ///< "Gauges/Cells"
    /// The recorded series in the results file, one block per output record: "Gauges/Series/%07i" (samples x
    /// (1 + 4 x gauges): t, then surface, depth, u, v per gauge), with the output time of its record as "t".
    static const std::string GAUGESERIES;  ///< "Gauges/Series"
    /// The node strings of STRINGDEF as lines, for pictures: names (strings) and points (points x 3: the index of
    /// the string in the names, x, y), in the model and the results file.
    static const std::string STRINGLINENAMES;   ///< "StringLines/Names"
    static const std::string STRINGLINEPOINTS;  ///< "StringLines/Points"

    /// The results file's name: name up to and including its first ".h5" (name unchanged when it has none).
    static std::string getResultFileName(const std::string& name);
};

}  // namespace dataio
