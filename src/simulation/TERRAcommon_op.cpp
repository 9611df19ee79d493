#include "simulation/TERRAcommon_op.hpp"

#include <omp.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <type_traits>

#include "common/FileChecks.hpp"
#include "common/TerraException.hpp"
#include "dataio/Archive.hpp"
#include "dataio/Factory.hpp"
#include "dataio/H5FileNameDefinitions.hpp"
#include "dataio/ResultReader.hpp"
#include "model/Factory.hpp"
#include "model/IModel.hpp"
#include "op/op_hdf5.h"
#include "op/op_openmp_decl.h"
#include "simulation/Distribution.hpp"
#include "simulation/Factory.hpp"
#include "simulation/IdOf.hpp"
#include "simulation/kernels/GlobalConstants.hpp"

namespace simulation {

namespace {

/// Step the loop starts every pass with before outputs and the time-step kernel reduce it [s].
constexpr double kUnlimitedStep = 1.0e6;

long long wallClockNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

template <typename List, typename ID>
bool contains(const List& list, ID id)
{
    for (const auto& entry : list)
        if (idOf(entry) == id) return true;
    return false;
}

template <typename ID>
void sortUnique(std::vector<ID>& ids)
{
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
}

}  // namespace

// ------------------------------------------------------------------------------------------------ lifecycle

TERRAcommon::TERRAcommon(const std::string& configFile, const std::string& runfile)
{
    model = model::Factory::createModel(runfile);
    commandFileReader = dataio::Factory::createCommandFileReader(configFile);
    h5Reader = dataio::Factory::createH5Reader(runfile);
    model->addOutputs(commandFileReader->getOptionalStringList("SIMULATION/OUTPUT", std::vector<std::string>()));
}

TERRAcommon::~TERRAcommon()
{
    op_exit();
    delete model;
    delete h5Reader;
    delete h5Writer;
    delete commandFileReader;
    for (auto& entry : kernelPlans) delete entry.second;
    for (auto& entry : intVariables) std::free(entry.second);
    for (auto& entry : floatVariables) std::free(entry.second);
    for (void* buffer : localBuffers) std::free(buffer);
}

double TERRAcommon::startTime() const { return commandFileReader->getOptionalDouble("SIMULATION/TIME/start", 0.0); }

double TERRAcommon::endTime() const
{
    bool found = false;
    const double value = commandFileReader->getDouble("SIMULATION/TIME/end", found);
    if (!found) {
        std::cerr << " -> end of simulation not defined: SIMULATION/TIME/end" << std::endl;
        throw TerraException();
    }
    return value;
}

double TERRAcommon::outTime() const { return commandFileReader->getOptionalDouble("SIMULATION/TIME/out", 0.0); }

double TERRAcommon::dtInitial() const { return commandFileReader->getOptionalDouble("SIMULATION/TIMESTEP/init", 0.02); }

double TERRAcommon::dtMin() const
{
    return commandFileReader->getOptionalDouble("SIMULATION/TIMESTEP/minimum", 0.0001);
}

void TERRAcommon::setParallel(const int& n)
{
    nThreads = std::min(n, omp_get_max_threads());
    std::cout << " -> running on " << nThreads << " threads" << std::endl;
    omp_set_num_threads(nThreads);
}

void TERRAcommon::init(const int& logLevel, const bool& progress, const bool& debug, const std::string& outputFile)
{
    this->logLevel = logLevel;
    this->progress = progress;
    if (debug) {
        G_Debug = 1;
        std::cout << " -> DEBUG MODE ACTIVATED" << std::endl;
    } else {
        G_Debug = 0;
    }
    op_init(0, nullptr, logLevel);
    // SIMULATION/COMPRESS is true or false; any other value reads as its fallback, whichever that is.
    const bool compressKey = commandFileReader->getOptionalBool("SIMULATION/COMPRESS", false);
    if (commandFileReader->checkPaths({"SIMULATION/COMPRESS"}) &&
        compressKey != commandFileReader->getOptionalBool("SIMULATION/COMPRESS", true)) {
        std::cerr << " -> /SIMULATION/COMPRESS: this value must be true or false" << std::endl;
        throw TerraException();
    }
    // Deflate level 1: nearly the size of the higher levels at a fraction of their time on float fields.
    op_hdf5_set_compression(compressKey || compressionRequested ? 1 : 0);
    if (logLevel > 0 && (compressKey || compressionRequested))
        std::cout << " -> results records compressed (shuffle, deflate 1)" << std::endl;

    const std::string name = h5Reader->getFilename();
    resultsFileName = dataio::H5FileNameDefinitions::getResultFileName(outputFile);
    checkModelFileShapes(name);
    initializeSetsAndKernels(name);
    initializeMaps(name);
    // The processes of an mpirun run divide the model once its sets and maps are known, so that each reads only its
    // part of the data, and before a results file is created (a failed division leaves none).
    distributeModel(sets, maps);
    initializeSolutionData();
    initializeOutputData();
    const bool isReRun = startTime() > 0.0;
    if (isReRun) initializeReRunData(outputFile, startTime());
    initializeData(name, isReRun);
    initializeParameters();
    initializeVariables();
    initializeGauges();
    // A new results file replaces an old one, a re-run rewrites its records, only once the model file and the
    // configuration have been read, by every process of a distributed run: one that found its part of the model
    // broken ends the run while the others wait here.
    op_mpi_barrier();
    writingResults("", [&] {
        if (isReRun)
            openResultsForReRun(outputFile);
        else
            initializeResultsFile(outputFile);
    });
    op_diagnostic_output();
}

// ------------------------------------------------------------------------------------------------ time loop

void TERRAcommon::initKernelPlans(const double& t0)
{
    const std::vector<std::vector<int>> ids = h5Reader->readIntVecVec("kernels/ID");
    const std::vector<std::vector<double>> timing = h5Reader->readDoubleVecVec("kernels/execution");
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const auto id = static_cast<model::KernelID>(ids.at(i).at(0));
        if (kernelFunctions.count(id) == 0) continue;
        const std::vector<double>& row = timing.at(i);
        api::IExecutionPlan* plan = Factory::createExecutionPlan(t0 + row.at(0), row.at(1), t0 + row.at(2));
        auto existing = kernelPlans.find(id);
        if (existing != kernelPlans.end()) {
            delete existing->second;
            existing->second = plan;
        } else {
            kernelPlans[id] = plan;
        }
    }
}

void TERRAcommon::printProgressMessage(const double& increment, const long long& wallStartNs, const double& shownDt)
{
    if (!progress) return;
    const double elapsed = static_cast<double>(wallClockNs() - wallStartNs);
    const double t0 = runStart;
    // The count of the trigger passed last, so that the line at the end reads progressCount whatever the
    // rounding of the hundredths.
    const int k = static_cast<int>(std::lround((progressPlan->lastTime() - t0) / increment));
    std::cout << " -> Progress: " << k << "/" << progressCount << ", dt = " << shownDt << " [s]"
              << ", RTS = " << (time - t0) / (elapsed / 1e9) << std::endl;
}

void TERRAcommon::runDueKernels()
{
    for (auto& entry : kernelPlans) {
        if (entry.second->execute(time)) kernelFunctions.at(entry.first)();
    }
}

void TERRAcommon::advance(const double& target, const double& limit)
{
    // `limit` is the time left until the target. The kernels may only shorten the step, but they see it as a
    // float: a step limited to `limit` comes back rounded, a little short of it or beyond it. Such a step ends on
    // the target exactly, so that no output time is missed and the end is reached; the state moved by the float
    // step either way.
    if (dt >= limit || static_cast<float>(dt) == static_cast<float>(limit))
        time = target;
    else
        time += dt;
    if (logLevel > 2) std::cout << " -> time: " << time << std::endl;
}

void TERRAcommon::writeDueOutputs()
{
    const bool output = outputPlan->execute(time);
    if (!gaugeCells.empty()) sampleGauges(output);
    if (!output) return;
    if (keepRecordAt(time))
        gaugeSamples.clear();  // the record a re-run starts from keeps its gauge block as stored
    else
        writeRegularOutput(time);
    writeTrackedOutput();
}

void TERRAcommon::reportProgress(const long long& wallStartNs, const double& shownDt)
{
    bool due = false;
    while (progressPlan->execute(time)) due = true;  // one line for all hundredths this step passed
    if (due) printProgressMessage(progressPlan->getIncrement(), wallStartNs, shownDt);
}

void TERRAcommon::run()
{
    if (!reRun) runStart = startTime();
    const double t0 = runStart;
    const double tEnd = endTime();

    // The threshold is twice the value the message names.
    const double dtMin = this->dtMin();
    // clang-format off
    HYDROVA_ASSERT(dtMin > 2*1.e-6, "Minimum integration timestep must be larger than <" << 1.e-6 << ">");
    // clang-format on
    const double dtMinimum = dtMin;

    // Output times are multiples of the interval counted from the beginning of the first run (time 0), so that a
    // re-run from a stored time writes at the same times as the run it continues, and the end closes the plan.
    const double interval = (outTime() == 0.0) ? std::max(tEnd, t0) : outTime();
    outputPlan.reset(Factory::createExecutionPlan(t0, interval, tEnd, true, 0.0));
    progressPlan.reset(progress ? Factory::createExecutionPlan(t0, (tEnd - t0) / progressCount, tEnd, true, t0)
                                : Factory::createExecutionPlan(t0, tEnd, tEnd));
    initKernelPlans(t0);
    // Gauge times are multiples of the interval from time 0, as output times are.
    gaugeIndex = gaugeInterval > 0.0 ? static_cast<long long>(std::ceil(t0 / gaugeInterval - 1e-9)) : 0;
    lastGaugeState.clear();

    time = t0;
    dt = kUnlimitedStep;
    dtInit = dtInitial();

    writingResults("", [&] {
        archive();
        copyMinDepthParameter();
    });
    writeDueOutputs();

    const long long wallStart = wallClockNs();
    reportProgress(wallStart, dtInit);

    while (time < tEnd) {
        // The step ends at the next output time or the end at the latest; the time-step kernel shortens it.
        const double target = std::min(outputPlan->nextTime(), tEnd);
        const double limit = target - time;
        dt = std::min(kUnlimitedStep, limit);
        runDueKernels();
        if (dt < dtMinimum && logLevel > 0) {
            std::cout << " -> time step smaller than allowed minimal " << dtMinimum << ". check for stability..."
                      << std::endl;
        }
        guardStep(dtMinimum);
        advance(target, limit);
        reportProgress(wallStart, dt);
        writeDueOutputs();
    }

    std::cout << " -> simulation finished! (cpu-time = " << static_cast<double>(wallClockNs() - wallStart) / 1e9 << "s)"
              << std::endl;
    if (logLevel > 0)
        std::cout << " -> " << recordsWritten << " output records written in "
                  << static_cast<double>(recordWriteNs) / 1e9 << " s" << std::endl;
    op_timing_output();
    outputPlan.reset();
    progressPlan.reset();
}

// ------------------------------------------------------------------------------------------------ model set-up

void TERRAcommon::initializeSetsAndKernels(const std::string& file)
{
    for (const auto& entry : model->getSets()) {
        const model::SetID id = idOf(entry);
        api::ISet* set = model->getSet(id);
        sets[id] = op_decl_set_hdf5(file.c_str(), set->getH5Path().c_str());
        set->setSize(sets[id]->size);
        if (G_Debug == 1) enumeratorData[id] = createDebugData(set);
    }

    // A kernel over an empty set has nothing to do: it loses its callable and therefore never gets a plan.
    const auto modelKernels = model->getKernels();
    std::vector<model::KernelID> marked;
    for (const auto& entry : kernelFunctions) {
        if (!contains(modelKernels, entry.first)) continue;
        const model::SetID setId = model->getKernel(entry.first)->getSet()->getID();
        if (sets.at(setId)->size == 0) marked.push_back(entry.first);
    }
    for (const model::KernelID id : marked) {
        if (logLevel > 0)
            std::cout << " -> de-activating the kernel <" << model->getKernel(id)->getName() << ">" << std::endl;
        kernelFunctions.erase(id);
    }
}

op_dat TERRAcommon::createDebugData(api::ISet* set)
{
    const int n = set->getSize();
    int* buffer = n > 0 ? static_cast<int*>(std::calloc(static_cast<std::size_t>(n), sizeof(int))) : nullptr;
    for (int i = 0; i < n; ++i) buffer[i] = i;
    localBuffers.push_back(buffer);
    op_dat dat =
        op_decl_dat_char(sets[set->getID()], 1, "int", 4, reinterpret_cast<char*>(buffer), set->getH5Path().c_str());
    std::cout << " -> ENUMERATOR DATA FOR SET <" << set->getH5Path() << "> CREATED" << std::endl;
    return dat;
}

void TERRAcommon::initializeMaps(const std::string& file)
{
    for (const auto& entry : model->getMaps()) {
        const model::MapID id = idOf(entry);
        api::IMap* map = model->getMap(id);
        const std::string path = map->getH5Path();
        if (!h5Reader->existDataset(path)) {
            if (logLevel > 0) std::cout << " -> map <" << path << "> not found in runfile" << std::endl;
            continue;
        }
        if (logLevel > 2) std::cout << " -> loading map <" << path << "> ..." << std::endl;
        maps[id] = op_decl_map_hdf5(sets[map->getSet()->getID()], sets[map->getSetMapped()->getID()], map->getSize(),
                                    file.c_str(), path.c_str());
    }
}

void TERRAcommon::initializeSolutionData()
{
    for (const auto& entry : model->getDats()) {
        const model::DataID id = idOf(entry);
        if (model->getData(id)->isSolution()) {
            solutionData.push_back(id);
            regularOutputs.push_back(id);
        }
    }
}

void TERRAcommon::initializeData(const std::string& file, const bool& isReRun)
{
    for (const auto& kernelEntry : model->getKernels()) {
        for (const model::DataID id : model->getKernel(idOf(kernelEntry))->getOptionalData()) {
            if (logLevel > 4)
                std::cout << " -> assign (empty) optional data <" << model::toInt(id) << "> ..." << std::endl;
            data[id] = nullptr;
        }
    }

    for (const auto& entry : model->getDats()) {
        const model::DataID id = idOf(entry);
        api::IData* d = model->getData(id);
        if (isReRun && restoredData.count(id) != 0) continue;
        if (d->isSimulationOnly()) {
            if (d->getType() == "int")
                data[id] = createLocalData<int>(d);
            else if (d->getType() == "float")
                data[id] = createLocalData<float>(d);
            else
                data[id] = nullptr;
        } else if (d->isSetupOnly()) {
            data[id] = nullptr;
        } else {
            const std::string path = d->getH5Path();
            if (h5Reader->existDataset(path)) {
                if (logLevel > 2) std::cout << " -> loading data <" << path << "> ..." << std::endl;
                data[id] = op_decl_dat_hdf5(sets[d->getSet()->getID()], d->getSize(), d->getType().c_str(),
                                            file.c_str(), path.c_str());
            } else {
                if (logLevel > 0) std::cout << " -> data <" << path << "> not found in runfile" << std::endl;
                data[id] = nullptr;
            }
        }
    }
    checkModelFileContents();
}

template <typename T>
op_dat TERRAcommon::createLocalData(api::IData* d)
{
    static_assert(sizeof(T) == 4, "local data are 4-byte int or float");
    // Zeros, allocated by the framework for the elements the process holds (a distributed run's part alone).
    return op_decl_dat_temp_char(sets[d->getSet()->getID()], d->getSize(), d->getType().c_str(), 4,
                                 d->getH5Path().c_str());
}

template op_dat TERRAcommon::createLocalData<int>(api::IData*);
template op_dat TERRAcommon::createLocalData<float>(api::IData*);

void TERRAcommon::initializeParameters()
{
    HYDROVA_ASSERT(28 >= this->model->getPars().size(),
                   "number of parameters not updated...see 'model/Dimensions.hpp'");
    for (const auto& entry : model->getPars()) {
        api::IParameter* p = model->getParameter(idOf(entry));
        if (p->isSimulationOnly()) continue;
        const int slot = model::toInt(p->getID());
        const std::string path = p->getH5Path();
        if (p->getSize() == 1) {
            if (p->getType() == "int")
                G_INT[slot] = h5Reader->readIntScalar(path);
            else if (p->getType() == "float")
                G_REAL[slot] = static_cast<float>(h5Reader->readDoubleScalar(path));
        } else if (p->getType() == "int") {
            const std::vector<std::vector<int>> data = h5Reader->readIntVecVec(path);
            // clang-format off
            HYDROVA_ASSERT(data.size()==1, "parameters cannot have length > 1");
            // clang-format on
            for (std::size_t j = 0; j < data[0].size(); ++j) G_INT[slot + j] = data[0][j];
        } else if (p->getType() == "float") {
            const std::vector<std::vector<double>> data = h5Reader->readDoubleVecVec(path);
            // clang-format off
            HYDROVA_ASSERT(data.size()==1, "parameters cannot have length > 1");
            // clang-format on
            for (std::size_t j = 0; j < data[0].size(); ++j) G_REAL[slot + j] = static_cast<float>(data[0][j]);
        }
    }
    initializeSimulationParameters();
    op_decl_const_char(28, "int", 4, reinterpret_cast<char*>(G_INT), "G_INT");
    op_decl_const_char(28, "float", 4, reinterpret_cast<char*>(G_REAL), "G_REAL");
    op_decl_const_char(1, "int", 4, reinterpret_cast<char*>(&G_Debug), "G_Debug");
}

void TERRAcommon::initializeVariables()
{
    for (const auto& entry : model->getVars()) {
        api::IVariable* v = model->getVariable(idOf(entry));
        const std::size_t n = static_cast<std::size_t>(std::max(v->getSize(), 0));
        if (v->getType() == "int")
            intVariables[v->getID()] = static_cast<int*>(std::calloc(n, sizeof(int)));
        else if (v->getType() == "float")
            floatVariables[v->getID()] = static_cast<float*>(std::calloc(n, sizeof(float)));
    }
}

// ------------------------------------------------------------------------------------------------ results output

void TERRAcommon::initializeResultsFile(const std::string& outputFile)
{
    if (!op_is_root()) return;  // a distributed run writes its results from rank 0
    const std::string name = dataio::H5FileNameDefinitions::getResultFileName(outputFile);
    if (logLevel > 1)
        std::cout << " -> creating a new file container to store the simulation results: " << name << std::endl;
    h5Writer = dataio::Factory::createH5Writer(name);

    // Set-up-only data and the constant data that outputs refer to are copied once, file to file a slice at a time
    // (a million cells' topology would otherwise be held whole, row by row); time-varying data are written at every
    // output time.
    std::vector<model::DataID> setupIds;
    for (const auto& entry : model->getDats()) {
        const model::DataID id = idOf(entry);
        if (model->getData(id)->isSetupOnly()) setupIds.push_back(id);
    }
    for (const auto& entry : model->getOuts()) {
        for (const model::DataID id : model->getOutput(idOf(entry))->getData())
            if (!model->getData(id)->isVariableInTime()) setupIds.push_back(id);
    }
    sortUnique(setupIds);
    for (const model::DataID id : setupIds) writeSetupOutput(model->getData(id), h5Reader, h5Writer);

    for (const auto& entry : model->getPars()) {
        api::IParameter* p = model->getParameter(idOf(entry));
        if (p->isSetupOnly()) writeSetupOutput(p, h5Reader, h5Writer);
    }
    const std::string& coordinates = dataio::H5FileNameDefinitions::NODECOORDINATES;
    if (h5Reader->existDataset(coordinates))
        h5Writer->copyTable(coordinates, h5Reader->getFilename(), false);
    writeGaugeDefinitions();
}

void TERRAcommon::writeSetupOutput(api::IData* d, api::IH5Reader* reader, api::IH5Writer* writer)
{
    const std::vector<int> dimension = d->getDimension();
    const int rows = dimension.at(0);
    const int columns = dimension.at(1);
    if (rows == 0) {
        if (logLevel > 2) std::cout << " -> data <" << d->getH5Path() << "> not found in runfile..." << std::endl;
        return;
    }
    // The set's size lets a reader of the results declare the set again.
    writer->writeIntScalar(d->getSet()->getH5Path(), rows);
    copySetupOutput(d, rows, columns, reader, writer);
}

void TERRAcommon::writeSetupOutput(api::IParameter* p, api::IH5Reader* reader, api::IH5Writer* writer)
{
    const int n = p->getSize();
    if (n == 0) {
        if (logLevel > 2) std::cout << " -> parameter <" << p->getH5Path() << "> not found in runfile..." << std::endl;
        return;
    }
    copySetupOutput(p, n, 1, reader, writer);
}

template <typename Element>
void TERRAcommon::copySetupOutput(Element* element, const int& rows, const int& columns, api::IH5Reader* reader,
                                  api::IH5Writer* writer)
{
    const std::string path = element->getH5Path();
    if (logLevel > 1)
        std::cout << " -> reading data <" << path << "> from runfile and writing to result file." << std::endl;
    const std::string type = element->getType();
    if (type == "int") {
        if (rows < 2 && columns < 2)
            writer->writeIntScalar(path, reader->readIntScalar(path));
        else
            writer->copyTable(path, reader->getFilename(), true);
    } else if (type == "float") {
        if (rows < 2 && columns < 2)
            writer->writeDoubleScalar(path, reader->readDoubleScalar(path));
        else
            writer->copyTable(path, reader->getFilename(), false);
    } else if (type == "string") {
        if (rows >= 1 && columns == 1) {
            const std::vector<std::string> strings = reader->readStrVec(path);
            writer->writeStringVec(path, static_cast<int>(strings.size()), strings);
        } else {
            std::cerr << " -> writing data of type string is only possible for vector of strings" << std::endl;
            throw TerraException();
        }
    }
}

void TERRAcommon::copyMinDepthParameter()
{
    if (!op_is_root()) return;
    const std::string path = "Parameters/MinWaterDepth";
    h5Writer->writeDoubleScalar(path, h5Reader->readDoubleScalar(path));
}

void TERRAcommon::initializeOutputData()
{
    for (const auto& entry : model->getOuts()) {
        api::IOutput* o = model->getOutput(idOf(entry));
        if (logLevel > 0) std::cout << " -> init output <" << o->getName() << ">" << std::endl;
        for (const model::DataID id : o->getData()) {
            if (o->isTracking())
                trackedOutputs.push_back(id);
            else if (model->getData(id)->isVariableInTime())
                regularOutputs.push_back(id);
        }
    }
    sortUnique(regularOutputs);
    sortUnique(trackedOutputs);
}

void TERRAcommon::writeTrackedOutput()
{
    if (trackedOutputs.empty()) return;
    // Rewritten at every output time, so that a run that is stopped keeps its maxima and arrival times up to its
    // last output; its time says up to when they hold.
    if (logLevel > 1) std::cout << " -> writing tracked output ..." << std::endl;
    for (const model::DataID id : trackedOutputs) writeOutput(time, id, 0);
}

void TERRAcommon::checkRoomForRecords(const double& t) const
{
    // A write that fills the disk leaves the file's end beyond what reached it, and the library then refuses the
    // whole file: the room for the records (with a margin for the library's own data) is asked for first.
    if (!op_is_root()) return;  // a distributed run writes its results from rank 0
    std::uintmax_t needed = 1u << 20;
    for (const auto* list : {&regularOutputs, &trackedOutputs})
        for (const model::DataID id : *list) {
            const op_dat d = data.at(id);
            if (d != nullptr)
                needed += 2u * static_cast<std::uintmax_t>(d->size) * static_cast<std::uintmax_t>(wholeSize(d->set));
        }
    const std::string file = h5Writer->getFilename();
    std::error_code error;
    std::uintmax_t room = std::filesystem::space(std::filesystem::absolute(file).parent_path(), error).available;
    if (error) return;
    struct rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const std::uintmax_t size = std::filesystem::file_size(file, error);
        room = std::min<std::uintmax_t>(room, limit.rlim_cur > size ? limit.rlim_cur - size : 0);
    }
    if (needed <= room) return;
    std::cerr << " -> "
              << "cannot write the results file <" << file << "> at t = " << t << " s: " << std::strerror(ENOSPC)
              << " (" << needed << " bytes needed, " << room << " free); the records written before are kept"
              << std::endl;
    throw TerraException();
}

void TERRAcommon::writeRegularOutput(const double& t)
{
    const long long start = wallClockNs();
    checkRoomForRecords(t);
    if (logLevel > 1) std::cout << " -> writing output at t = " << t << " ..." << std::endl;
    for (const model::DataID id : regularOutputs) writeOutput(t, id, outputCounter);
    writeGaugeBlock(t, outputCounter);
    ++outputCounter;
    ++recordsWritten;
    recordWriteNs += wallClockNs() - start;
}

template <typename Write>
void TERRAcommon::writingResults(const std::string& when, Write&& write)
{
    std::string reason;
    try {
        errno = 0;
        write();
        return;
    } catch (const TerraException&) {
        throw;  // reported already
    } catch (const op_write_error& e) {
        reason = e.what();
    } catch (const std::exception& e) {
        reason = errno != 0 ? std::strerror(errno) : e.what();
    }
    // Nothing more is written: the library must not retry the file at exit either. Every write allocates its room
    // before the library writes, so the file keeps the records written before.
    hydrova::abandonOpenFilesAtExit();
    std::cerr << " -> "
              << "cannot write the results file <" << resultsFileName << ">" << when << ": " << reason << std::endl;
    throw TerraException();
}

void TERRAcommon::writeOutput(const double& t, const model::DataID& id, const int& index)
{
    const std::string path = dataio::ResultReader::getOutputPath(model->getData(id)->getH5Path(), index);
    writingResults(" at t = " + dataio::ResultReader::timeText(t) + " s", [&] {
        // Every process of a distributed run takes part in gathering the record; rank 0 writes it.
        op_fetch_data_hdf5_file_path(data.at(id), resultsFileName.c_str(), path.c_str());
        // The time goes on last and flushes the file: a record without it was not completely written.
        if (op_is_root()) h5Writer->attachAttributeDouble(path, "t", t);
    });
}

// ------------------------------------------------------------------------------------------------ re-run, archive

void TERRAcommon::checkSameMesh(api::IResultReader* reader) const
{
    // The cell count, then the node coordinates value by value: a results file of another mesh (or of the same
    // mesh numbered otherwise) would be continued with the wrong cells.
    const std::string results = reader->getFilename();
    const std::string runfile = h5Reader->getFilename();
    const auto fail = [&](const std::string& what) {
        std::cerr << " -> "
                  << "the results file <" << results << "> holds another mesh than the model <" << runfile
                  << ">: " << what << "; a re-run continues the results of the same model file" << std::endl;
        throw TerraException();
    };
    const std::string cells = "CellsAll/set";
    if (!reader->existDataset(cells)) fail("it has no cell count");
    const int stored = reader->readIntScalar(cells);
    const int own = wholeSize(sets.at(model::SetID::CellsAll));
    if (stored != own) fail(std::to_string(stored) + " cells against " + std::to_string(own));
    const std::string coordinates = "NodesAll/Coordnts";
    if (reader->existDataset(coordinates) && h5Reader->existDataset(coordinates) &&
        reader->readDoubleVecVec(coordinates) != h5Reader->readDoubleVecVec(coordinates))
        fail("the node coordinates differ");
}

void TERRAcommon::initializeReRunData(const std::string& outputFile, const double& restartTime)
{
    const std::string name = dataio::H5FileNameDefinitions::getResultFileName(outputFile);
    if (!std::filesystem::is_regular_file(name)) {
        std::cerr << " -> "
                  << "the re-run from t = " << restartTime << " s needs the results file <" << name
                  << "> of the run it continues; it does not exist (a start time above 0 makes a re-run)" << std::endl;
        throw TerraException();
    }
    if (logLevel > 1)
        std::cout << " -> opening the existing solution file <" << name << "> to setup the RE-RUN simulation"
                  << std::endl;
    std::vector<std::string> paths;
    for (const model::DataID id : solutionData) paths.push_back(model->getData(id)->getH5Path());

    // The processes of a distributed run read the file one after another (HDF5 locks an open file), rank 0 first;
    // each declares the data of its own part.
    double stored = restartTime;
    int index = -1;
    for (int turn = 0; turn < op_mpi_nranks(); ++turn) {
        if (turn == op_mpi_rank()) index = readReRunState(name, paths, restartTime, stored);
        op_mpi_barrier();
    }
    // The record at the restart time stays as stored; the run writes from the next index on.
    reRun = true;
    runStart = stored;
    outputCounter = index + 1;
    // The uninterrupted run had left its first step behind at this point.
    firstTimeStep = false;
    std::cout << " -> Re-run properly set at " << dataio::ResultReader::timeText(stored) << " [s]" << std::endl;
}

int TERRAcommon::readReRunState(const std::string& name, const std::vector<std::string>& paths,
                                const double& restartTime, double& stored)
{
    std::unique_ptr<api::IResultReader> reader(dataio::Factory::createResultReader(name));
    checkSameMesh(reader.get());
    const int index = reader->findRestartTime(paths, restartTime, stored);
    if (index < 0) {
        std::cout << " -> Restart time " << restartTime
                  << " [s] is not available. Please choose among available times:" << std::endl;
        reader->printValidTimes(paths);
        std::cerr << " -> impossible to setup proper Re-Run Initial Conditions" << std::endl;
        throw TerraException();
    }
    for (const model::DataID id : solutionData) {
        api::IData* d = model->getData(id);
        const std::string path = dataio::ResultReader::getOutputPath(d->getH5Path(), index);
        data[id] = op_decl_dat_hdf5(sets[d->getSet()->getID()], d->getSize(), d->getType().c_str(), name.c_str(),
                                    path.c_str());
        restoredData.insert(id);
    }
    // The tracked maxima and arrival times continue from their record (written at every output time, the
    // restart time included).
    for (const model::DataID id : trackedOutputs) {
        api::IData* d = model->getData(id);
        const std::string path = dataio::ResultReader::getOutputPath(d->getH5Path(), 0);
        if (!reader->existAttribute(path, "t")) continue;
        const double until = reader->readAttributeDouble(path, "t");
        if (until > stored + 1.0e-6)
            std::cout << " -> the tracked maxima and arrival times continue from their record of t = "
                      << dataio::ResultReader::timeText(until) << " s, later than the restart time" << std::endl;
        data[id] = op_decl_dat_hdf5(sets[d->getSet()->getID()], d->getSize(), d->getType().c_str(), name.c_str(),
                                    path.c_str());
        restoredData.insert(id);
    }
    return index;
}

void TERRAcommon::openResultsForReRun(const std::string& outputFile)
{
    if (!op_is_root()) return;  // a distributed run writes its results from rank 0
    // Only now, with the model file and the configuration read, the records after the restart time are marked
    // invalid (they are written again): a re-run that fails before loses none of them.
    const std::string name = dataio::H5FileNameDefinitions::getResultFileName(outputFile);
    {
        std::unique_ptr<api::IResultReader> reader(dataio::Factory::createResultReader(name));
        for (const model::DataID id : regularOutputs) {
            const std::string path = model->getData(id)->getH5Path();
            if (reader->existDataset(dataio::ResultReader::getOutputGroup(path)))
                reader->deleteResults(path, outputCounter);
        }
    }
    h5Writer = dataio::Factory::createH5Writer(name, "rw");
    // The gauge blocks after the restart time are written again with their records.
    const std::string& series = dataio::H5FileNameDefinitions::GAUGESERIES;
    if (!gaugeCells.empty() && h5Writer->existGroup(series)) {
        const int n = h5Writer->getNumberObjs(series);
        for (int i = outputCounter; i < n; ++i) {
            char path[64];
            std::snprintf(path, sizeof path, "%s/%07i", series.c_str(), i);
            if (h5Writer->existDataset(path))
                h5Writer->attachAttributeDouble(path, "t", dataio::ResultReader::NONVALIDRESULTTIME);
        }
    }
}

// ------------------------------------------------------------------------------------------------ gauges

void TERRAcommon::initializeGauges()
{
    using Names = dataio::H5FileNameDefinitions;
    gaugeInterval = commandFileReader->getOptionalDouble("SIMULATION/GAUGES/interval", 0.0);
    if (!h5Reader->existDataset(Names::GAUGECELLS)) return;
    gaugeMinDepth = h5Reader->readDoubleScalar("Parameters/MinWaterDepth");
    // The gauges name their cells in the whole model's numbering; each process samples those it owns.
    const op_set cellSet = sets.at(model::SetID::CellsAll);
    const int cells = wholeSize(cellSet);
    for (const auto& row : h5Reader->readIntVecVec(Names::GAUGECELLS)) {
        const int cell = row.at(0);
        if (cell < 0 || cell >= cells) {
            std::cerr << " -> the model file <" << h5Reader->getFilename() << "> names the cell " << cell
                      << " for gauge " << gaugeCells.size() << " in " << Names::GAUGECELLS << ", of " << cells
                      << " cells" << std::endl;
            throw TerraException();
        }
        const long local = ownedIndex(cellSet, cell);
        if (local >= 0) ownedGauges.emplace_back(static_cast<int>(gaugeCells.size()), static_cast<int>(local));
        gaugeCells.push_back(cell);
    }
    if (logLevel > 0)
        std::cout << " -> recording " << gaugeCells.size() << " gauges "
                  << (gaugeInterval > 0.0 ? "every " + dataio::ResultReader::timeText(gaugeInterval) + " s"
                                          : std::string("every step"))
                  << std::endl;
}

void TERRAcommon::writeGaugeDefinitions()
{
    using Names = dataio::H5FileNameDefinitions;
    if (h5Reader->existDataset(Names::STRINGLINEPOINTS)) {
        const std::vector<std::string> lines = h5Reader->readStrVec(Names::STRINGLINENAMES);
        h5Writer->writeStringVec(Names::STRINGLINENAMES, static_cast<int>(lines.size()), lines);
        h5Writer->writeDoubleVecVec(Names::STRINGLINEPOINTS, h5Reader->readDoubleVecVec(Names::STRINGLINEPOINTS));
    }
    if (gaugeCells.empty()) return;
    const std::vector<std::string> names = h5Reader->readStrVec(Names::GAUGENAMES);
    h5Writer->writeStringVec(Names::GAUGENAMES, static_cast<int>(names.size()), names);
    h5Writer->writeDoubleVecVec(Names::GAUGEPOINTS, h5Reader->readDoubleVecVec(Names::GAUGEPOINTS));
    h5Writer->writeIntVecVec(Names::GAUGECELLS, h5Reader->readIntVecVec(Names::GAUGECELLS));
}

void TERRAcommon::sampleGauges(const bool& output)
{
    // The values as the full field holds them: surface and discharges are the stored floats, depth and velocity
    // follow from them in double as the results program derives them (0 velocity on cells not deeper than the
    // minimum water depth).
    const float* state = reinterpret_cast<const float*>(data.at(model::DataID::HydState)->data);
    const float* bed = reinterpret_cast<const float*>(data.at(model::DataID::BottomEl)->data);
    const double hmin = gaugeMinDepth;
    constexpr int kWidth = 4;
    std::vector<double> placed;
    placed.reserve((1 + kWidth) * ownedGauges.size());
    for (const auto& [gauge, cell] : ownedGauges) {
        const double H = state[3 * cell];
        const double h = H - static_cast<double>(bed[cell]);
        const bool wet = !(hmin > h);
        placed.insert(placed.end(), {static_cast<double>(gauge), H, h, wet ? state[3 * cell + 1] / h : 0.0,
                                     wet ? state[3 * cell + 2] / h : 0.0});
    }
    // Rank 0 of a distributed run collects every gauge and keeps the samples.
    std::vector<double> row(1 + kWidth * gaugeCells.size());
    row[0] = time;
    op_mpi_gather_places(static_cast<int>(ownedGauges.size()), placed.data(), kWidth,
                         static_cast<int>(gaugeCells.size()), row.data() + 1);
    if (!op_is_root()) return;
    // Every step (interval 0), or at the gauge times the step passed, linearly between the states at its start and
    // end, so that the steps need not end on them; a gauge time the step ends on, and every output time, with the
    // state itself.
    bool taken = false;
    if (gaugeInterval <= 0.0) {
        gaugeSamples.push_back(row);
        taken = true;
    } else {
        for (double t = static_cast<double>(gaugeIndex) * gaugeInterval; t <= time;
             t = static_cast<double>(++gaugeIndex) * gaugeInterval) {
            if (t == time || lastGaugeState.empty()) {
                gaugeSamples.push_back(row);
                gaugeSamples.back()[0] = t;
                taken = t == time;
                continue;
            }
            const double f = (t - lastGaugeState[0]) / (time - lastGaugeState[0]);
            std::vector<double> between(row.size());
            between[0] = t;
            for (std::size_t k = 1; k < row.size(); ++k)
                between[k] = lastGaugeState[k] + f * (row[k] - lastGaugeState[k]);
            gaugeSamples.push_back(std::move(between));
        }
    }
    if (output && !taken) gaugeSamples.push_back(row);
    lastGaugeState = std::move(row);
}

void TERRAcommon::writeGaugeBlock(const double& t, const int& index)
{
    if (gaugeCells.empty() || !op_is_root()) return;
    char path[64];
    std::snprintf(path, sizeof path, "%s/%07i", dataio::H5FileNameDefinitions::GAUGESERIES.c_str(), index);
    try {
        h5Writer->removeDataset(path);
        h5Writer->writeDoubleVecVec(path, gaugeSamples);
        h5Writer->attachAttributeDouble(path, "t", t);
    } catch (const std::exception& e) {
        hydrova::abandonOpenFilesAtExit();
        std::cerr << " -> cannot write the gauges into the results file <" << h5Writer->getFilename()
                  << "> at t = " << t << " s: " << e.what() << std::endl;
        throw TerraException();
    }
    gaugeSamples.clear();
}

void TERRAcommon::archive()
{
    if (!op_is_root()) return;
    const std::string text = dataio::Archive::getModel(h5Reader);
    dataio::Archive::addModel(h5Writer, text);
    dataio::Archive::addSimulation(h5Writer, commandFileReader->getHash());
    // The coordinate system of the model, when the set-up knew one: results land where the model was drawn.
    const std::string crsPath = dataio::Archive::ROOT + "/crs";
    if (h5Reader->existDataset(crsPath))
        dataio::Archive::addHash(h5Writer, dataio::Archive::getHash(h5Reader, crsPath), crsPath);
}

void TERRAcommon::printHash(const std::string& file)
{
    std::cout << " -> restoring the model configuration to file <" << file << ">" << std::endl;
    if (op_is_root()) dataio::Archive::restore(h5Reader, file);  // one writer under mpirun
}

}  // namespace simulation
