// A results file opened for reading: its mesh, its valid output times, and the outputs it can provide.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/IModel.hpp"

namespace dataio {
class H5Reader;
}

namespace results {

/// One column of one two-dimensional dataset of the results file.
struct ColumnSource {
    std::string dataset;  ///< absolute path inside the results file, e.g. "/RESULTS/CellsAll/HydState/0000003"
    int rows = 0;         ///< first extent: elements
    int columns = 0;      ///< second extent: components per element
    int column = 0;       ///< selected component
};

/// One stored output time.
struct TimeStep {
    double time = 0.0;  ///< simulation time [s]
    int record = 0;     ///< record index under "/RESULTS/<data path>/"
};

/// Names of the four tracked flood variables ("flood_tracking" components 0 to 3): arrival time, maximum depth,
/// maximum velocity, maximum specific discharge.
extern const char* const FLOOD_VARIABLE_NAMES[4];

/// Read-only view of a results file. The model (aggregates) is rebuilt from the archived set-up text, the requested
/// outputs from the archived simulation configuration. Every failure prints " -> <reason>" on standard error and
/// throws TerraException.
class ResultsFile {
public:
    /// Fatal when the file does not exist, is not HDF5, lacks the archived configurations, the mesh or "/RESULTS",
    /// or holds no valid record.
    explicit ResultsFile(const std::string& fileName);
    ~ResultsFile();
    ResultsFile(const ResultsFile&) = delete;
    ResultsFile& operator=(const ResultsFile&) = delete;

    const std::string& fileName() const { return fileName_; }
    int nodeCount() const { return static_cast<int>(nodes_.size()); }
    int cellCount() const { return static_cast<int>(cells_.size()); }
    /// Node coordinates (x, y, z) [m], as stored.
    const std::vector<std::array<double, 3>>& nodes() const { return nodes_; }
    /// Cells as three 0-based node indices.
    const std::vector<std::array<int, 3>>& cells() const { return cells_; }
    /// Dataset paths and extents of the mesh, as XDMF refers to them.
    const ColumnSource& topology() const { return topology_; }
    const ColumnSource& geometry() const { return geometry_; }

    /// Valid output times (records marked invalid left out), ascending.
    const std::vector<TimeStep>& times() const { return times_; }
    /// Record indices that lack their time in some output (left out of times()).
    const std::vector<int>& incompleteRecords() const { return incomplete_; }
    /// The step whose time equals t at 3 decimals; fatal, listing the valid times, when there is none.
    TimeStep findTime(double t) const;

    /// Output names of the archived simulation configuration, in their order.
    const std::vector<std::string>& requestedOutputs() const { return requested_; }
    /// Requested outputs followed by the tracking outputs of the model, each defined with columns and operations.
    std::vector<api::IOutput*> outputs() const;
    /// The output of that name in the model (requested or not), or nullptr when the model cannot compute it.
    api::IOutput* findOutput(const std::string& name) const;
    /// Whether every column of the output is stored for every valid time; otherwise `why` says what is missing.
    bool canProvide(const api::IOutput* output, std::string& why) const;
    /// Where column position p of the output lies at the step: the step's record for time-varying data, the first
    /// record for initial-state columns, record 0 for tracked data, the set-up copy for constant data.
    /// Fatal when the dataset is missing.
    std::vector<ColumnSource> columnSources(const api::IOutput* output, const TimeStep& step) const;
    /// Every component of the output per element at the step (one vector per component), computed from one read
    /// of the stored columns by the output's operations (threshold MinWaterDepth); elevations absolute.
    std::vector<std::vector<double>> components(const api::IOutput* output, const TimeStep& step) const;
    /// Component k of components().
    std::vector<double> values(const api::IOutput* output, int component, const TimeStep& step) const;
    /// Water depth per cell [m] at the step.
    std::vector<double> depth(const TimeStep& step) const;

    /// Threshold depth of wet cells [m] ("Parameters/MinWaterDepth", 0 when absent).
    double minWaterDepth() const { return minWaterDepth_; }
    /// Value added to stored elevations to make them absolute [m]: RefBottomEl when the set-up stored the
    /// elevations relative to it (lowest stored bed at 0 while RefBottomEl is not 0), else 0.
    double elevationOffset() const { return elevationOffset_; }
    /// Whether the output's values are elevations (the offset applies to them).
    static bool isElevation(const std::string& outputName);

    /// Names of the node-string pieces (pieces of one long string share its name); "string_<i>" when unnamed.
    const std::vector<std::string>& stringNames() const { return stringNames_; }
    /// Column `column` of the dataset at path, one value per row.
    std::vector<double> readColumn(const std::string& path, int column) const;
    /// Gauge names of the run (empty without gauges) and their recorded samples in time order: t, then surface,
    /// depth, u, v per gauge (surfaces with the elevation offset added); blocks of invalidated records left out.
    std::vector<std::string> gaugeNames() const;
    /// The model's coordinate system as WKT (".config/crs"), empty when the run records none.
    std::string crsWkt() const;
    std::vector<std::vector<double>> gaugeSamples() const;
    /// The gauges' points (name, x, y) and the node strings' lines (name, points), for pictures; empty when the
    /// run has none.
    std::vector<std::pair<std::string, std::array<double, 2>>> gaugePoints() const;
    std::vector<std::pair<std::string, std::vector<std::array<double, 2>>>> stringLines() const;
    bool hasMorphology() const;
    api::IModel& model() const { return *model_; }

private:
    [[noreturn]] void fail(const std::string& message) const;
    void readMesh();
    void readTimes();
    /// Path of the records of data item `id`: "/RESULTS/" + its H5 path.
    std::string recordGroup(model::DataID id) const;
    bool exists(const std::string& path) const;
    ColumnSource source(const std::string& path, int column) const;
    bool isTracked(model::DataID id) const;

    std::string fileName_;
    std::unique_ptr<dataio::H5Reader> reader_;
    std::unique_ptr<api::IModel> model_;
    std::vector<std::array<double, 3>> nodes_;
    std::vector<std::array<int, 3>> cells_;
    ColumnSource topology_;
    ColumnSource geometry_;
    std::vector<TimeStep> times_;
    std::vector<int> incomplete_;
    std::vector<std::string> requested_;
    std::vector<std::string> stringNames_;
    double minWaterDepth_ = 0.0;
    double elevationOffset_ = 0.0;
};

}  // namespace results
