// What hydrova_results does with a results file: list it, describe it as XDMF, draw fields, write hydrographs.
#pragma once

#include <string>
#include <vector>

#include "results/Picture.hpp"
#include "results/ResultsFile.hpp"

namespace results {

/// The choices of one call.
struct RunOptions {
    std::string resultsFile;
    bool info = false;                  ///< list what the file holds and do nothing else
    std::string xdmfFile;               ///< empty: beside the results file (defaultXdmfName)
    std::vector<std::string> pictures;  ///< output names to draw; "name[k]" draws component k
    std::vector<double> times;          ///< times [s] of the pictures; empty: the last stored time
    int component = -1;                 ///< component to draw; -1: the magnitude of vectors, else component 0
    bool hydrographs = false;           ///< demand hydrographs (fatal when the file has no node strings)
    std::string outputFolder;           ///< folder of pictures and hydrographs; empty: the results file's folder
    int logLevel = 0;
    bool fixedRange = false;  ///< pictures take the colour range [rangeMin, rangeMax]
    double rangeMin = 0.0, rangeMax = 1.0;
    bool drawStrings = false;  ///< pictures show the node strings
    bool drawGauges = false;   ///< pictures show the gauges
    std::string rasterStem;    ///< GeoTIFF rasters as rasterStem + "_<quantity>.tif"; empty: none
    double rasterCell = 0.0;   ///< their cell size [m]
};

/// Units and colour scale of an output's picture.
struct Quantity {
    std::string unit;
    ColourMap map = ColourMap::Viridis;
    bool blankDry = false;  ///< dry cells (depth <= MinWaterDepth) left blank
};
Quantity quantityOf(const std::string& outputName, int component);

/// Prints the mesh size, the requested and tracked outputs (provided or not) and the valid times.
void printInfo(const ResultsFile& file);

/// One PNG written, with where the mesh lies in it.
struct PictureFile {
    std::string file;
    PictureFrame frame;
};

/// Draws one picture per time of the output (stem + "_" + output + "_t" + time + ".png"); the tracked flood
/// variables, by their own names (FLOOD_VARIABLE_NAMES) or as flood_tracking[k], once for the whole run. The
/// colour range, node strings and gauges as `options` ask.
std::vector<PictureFile> writePictures(const ResultsFile& file, const std::string& output,
                                       const std::vector<double>& times, int component, const std::string& stem,
                                       const RunOptions& options = RunOptions());

/// Writes stem + "_discharge.csv"/".png" (and "_sediment_discharge.*" when the model has morphology): time in the
/// first column, one column per node string (its pieces summed). Returns the files written; none without strings.
std::vector<std::string> writeHydrographs(const ResultsFile& file, const std::string& stem);
/// When the run recorded gauges: stem + "_gauges.csv" (time, then surface, depth, u, v of every gauge) and
/// stem + "_gauges.png" (the water surface of every gauge over time). Returns the files written.
std::vector<std::string> writeGauges(const ResultsFile& file, const std::string& stem);

/// The whole call; every failure prints " -> <reason>" and throws TerraException.
void runResults(const RunOptions& options);

}  // namespace results
