// The simulation driver: owns the model, the input readers and the results writer, declares the mesh-framework
// objects from the model file and runs the explicit time-marching loop.
#pragma once

#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "model/Identifiers.hpp"
#include "op/op_lib_core.h"
#include "simulation/IExecutionPlan.hpp"

namespace api {
class ICommandFileReader;
class IH5Reader;
class IH5Writer;
class IData;
class IParameter;
class ISet;
class IResultReader;
}  // namespace api

namespace api {
class IModel;
}

namespace simulation {

/// Base of the concrete simulation object (TERRAdomain). Registries are keyed by catalogue identifier and are
/// filled once during init(); the kernel wrappers of the derived class read them. Times are in seconds.
class TERRAcommon {
public:
    TERRAcommon(const std::string& configFile, const std::string& runfile);
    /// Shuts the mesh framework down, then deletes model, model reader, results writer, configuration reader,
    /// kernel plans, variable arrays and local buffers, in this order.
    virtual ~TERRAcommon();
    TERRAcommon(const TERRAcommon&) = delete;
    TERRAcommon& operator=(const TERRAcommon&) = delete;

    /// Writes the model configuration archived in the model file to `file`; nothing is simulated.
    virtual void printHash(const std::string& file);
    /// Uses min(n, OpenMP maximum) threads from now on.
    virtual void setParallel(const int& n);
    /// Starts the mesh framework and declares everything from the model file; creates (or, for a start time
    /// above 0, re-opens) the results file; loads the parameters.
    virtual void init(const int& logLevel, const bool& progress, const bool& debug, const std::string& outputFile);
    /// Compressed results records (shuffle and deflate) also when the configuration does not ask for them.
    void requestCompression() { compressionRequested = true; }
    /// The time loop from the start to the end time of the configuration.
    virtual void run();
    /// Derives further global constants once the parameters are loaded.
    virtual void initializeSimulationParameters() = 0;

    // Configuration values, read anew at each call.
    double startTime() const;
    double endTime() const;
    double outTime() const;
    /// "SIMULATION/TIMESTEP/init" (the member dtInit holds the value used by the running loop).
    double dtInitial() const;
    double dtMin() const;

protected:
    // ---- model set-up from the model file ----
    /// Before anything is declared: set sizes, the shapes of maps and data against their sets and the catalogue,
    /// the kernel schedule. A failure names the item and ends the run (TerraException).
    void checkModelFileShapes(const std::string& file);
    /// Part of the above: parameters finite (in single precision), the step, gravity and the wet/dry threshold
    /// positive, CFL in (0, 1], vector parameters one row of their length, and the friction and morphology switches
    /// consistent with the composition.
    void checkModelFileParameters(const std::string& file);
    /// After the declarations, before the results file: map targets within their target set, node-string sizes
    /// within the map width, real numbers finite and areas, lengths and sizes positive.
    void checkModelFileContents() const;
    void initializeSetsAndKernels(const std::string& file);
    void initializeMaps(const std::string& file);
    void initializeSolutionData();
    void initializeData(const std::string& file, const bool& isReRun);
    void initializeParameters();
    void initializeVariables();
    /// Enumerator data of a set (entry i = i), for debug messages of the kernels.
    op_dat createDebugData(api::ISet* set);
    /// Zero-initialised data of a simulation-only item; T is int or float.
    template <typename T>
    op_dat createLocalData(api::IData* d);

    // ---- results output ----
    void initializeResultsFile(const std::string& outputFile);
    void initializeOutputData();
    void copyMinDepthParameter();
    void writeRegularOutput(const double& t);
    void writeTrackedOutput();
    /// Fatal, before anything is written, when the disk (or the file-size limit) leaves no room for the records
    /// of one output time.
    void checkRoomForRecords(const double& t) const;
    /// True when the record at time t is the one a re-run started from, which stays as stored.
    bool keepRecordAt(const double& t) const { return reRun && t == runStart; }
    void writeOutput(const double& t, const model::DataID& id, const int& index);
    /// Runs `write` on the results file; a failure ends the run with one line naming the file, `when` and the
    /// system's reason, and nothing more is written.
    template <typename Write>
    void writingResults(const std::string& when, Write&& write);
    void writeSetupOutput(api::IData* d, api::IH5Reader* reader, api::IH5Writer* writer);
    void writeSetupOutput(api::IParameter* p, api::IH5Reader* reader, api::IH5Writer* writer);
    template <typename Element>
    void copySetupOutput(Element* element, const int& rows, const int& columns, api::IH5Reader* reader,
                         api::IH5Writer* writer);

    // ---- re-run and archive ----
    void initializeReRunData(const std::string& outputFile, const double& restartTime);
    /// Marks the records after the restart time invalid and opens the results file for writing.
    void openResultsForReRun(const std::string& outputFile);
    /// One process's reading of a re-run's state: checks the mesh, finds the stored time (returns its index, the
    /// stored time in `stored`) and declares the restored data.
    int readReRunState(const std::string& name, const std::vector<std::string>& paths, const double& restartTime,
                       double& stored);
    /// Fatal unless the results file holds the model's mesh (cell count and node coordinates).
    void checkSameMesh(api::IResultReader* reader) const;
    void archive();

    // ---- gauges ----
    /// Reads the gauges' cells from the model file and their interval from the configuration.
    void initializeGauges();
    /// Copies the gauge names, points and cells and the node-string lines into a new results file.
    void writeGaugeDefinitions();
    /// The samples of every gauge due at `time` (and at an output time its state), kept until the next record.
    void sampleGauges(const bool& output);
    /// The samples since the last output record as the gauge block of record `index`.
    void writeGaugeBlock(const double& t, const int& index);

    // ---- time loop helpers, one per part of a pass ----
    void initKernelPlans(const double& t0);
    /// Every kernel whose plan is due at `time`, in ascending identifier.
    void runDueKernels();
    /// Moves `time` on by the step the kernels chose; a step that was limited to end on `target` (the next output
    /// time or the end), and came back from the kernels rounded to float, ends on it exactly.
    void advance(const double& target, const double& limit);
    /// The outputs due at `time`: the regular record and the tracked record.
    void writeDueOutputs();
    /// The progress line, when at least one hundredth of the run was passed since the last one.
    void reportProgress(const long long& wallStartNs, const double& shownDt);
    /// Called once per step after the kernels: stops the run (last state written, TerraException) when the time
    /// step has stayed below dtMinimum or the state is not finite.
    void guardStep(const double& dtMinimum);
    /// Index of the first cell whose state or bed is NaN or infinite, or -1.
    int firstNonFiniteCell() const;
    /// Index of the cell that admits the smallest time step, or -1.
    int limitingCell() const;
    /// "cell N (centroid x = .., y = ..): water surface .., bed .., depth .., discharge (.., ..)".
    std::string describeCell(int cell) const;
    void printProgressMessage(const double& increment, const long long& wallStartNs, const double& shownDt);

    // Members in the order of the design; all pointers owned unless noted.
    api::ICommandFileReader* commandFileReader = nullptr;
    api::IH5Reader* h5Reader = nullptr;
    api::IH5Writer* h5Writer = nullptr;
    int nThreads = 1;
    std::map<model::KernelID, api::IExecutionPlan*> kernelPlans;
    api::IModel* model = nullptr;
    int logLevel = 0;
    std::map<model::VariableID, int*> intVariables;
    std::map<model::VariableID, float*> floatVariables;
    /// Mesh-framework objects (owned by the framework); a null op_dat is declared but absent optional data.
    std::map<model::SetID, op_set> sets;
    std::map<model::MapID, op_map> maps;
    std::map<model::DataID, op_dat> data;
    std::map<model::SetID, op_dat> enumeratorData;
    /// One callable per kernel identifier; iterated in ascending identifier.
    std::map<model::KernelID, std::function<void()>> kernelFunctions;
    double time = 0.0;
    double dt = 0.0;
    double dtInit = 0.0;
    bool firstTimeStep = true;
    bool progress = false;
    int progressCount = 100;
    std::vector<model::DataID> trackedOutputs;
    std::vector<model::DataID> regularOutputs;
    std::vector<model::DataID> solutionData;
    int outputCounter = 0;
    /// Set by the re-run set-up: the record at the start time stays as it is.
    bool reRun = false;
    /// Data a re-run took from the results file instead of the model file.
    std::set<model::DataID> restoredData;
    /// The time the run starts from: the start time, or on a re-run the stored time it matched.
    double runStart = 0.0;
    std::unique_ptr<api::IExecutionPlan> outputPlan;
    std::unique_ptr<api::IExecutionPlan> progressPlan;
    /// The results file's name (every process of a distributed run knows it; only rank 0 opens the file).
    std::string resultsFileName;
    /// The step the time-step kernel admitted in the last pass, before any output time shortened it [s].
    double stableStep = std::numeric_limits<double>::infinity();
    /// Passes the guard has seen, and how many of the latest in a row had stableStep below the minimum.
    long guardPasses = 0;
    long stalledPasses = 0;
    bool compressionRequested = false;
    /// Output records written by this run and the wall-clock time they took [ns].
    int recordsWritten = 0;
    long long recordWriteNs = 0;
    /// Cell of every gauge (model numbering); empty when the model has no gauges.
    std::vector<int> gaugeCells;
    /// The gauges whose cells this process owns: gauge number and local cell.
    std::vector<std::pair<int, int>> ownedGauges;
    /// Sampling interval of the gauges [s]; 0 samples every step.
    double gaugeInterval = 0.0;
    /// The minimum water depth as the model file holds it (double): cells below it have no velocity.
    double gaugeMinDepth = 0.0;
    /// Index k of the next gauge time k x interval, and the gauge values at the end of the step before.
    long long gaugeIndex = 0;
    std::vector<double> lastGaugeState;
    /// Samples not yet written: t, then surface, depth, u, v per gauge.
    std::vector<std::vector<double>> gaugeSamples;
    /// Host buffers handed to the mesh framework as caller storage (enumerators, simulation-only data).
    std::vector<void*> localBuffers;
};

}  // namespace simulation
