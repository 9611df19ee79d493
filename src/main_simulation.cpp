// Entry of the simulation program: its arguments, its configuration check and the hand-over to the driver.
#include <sys/stat.h>

#include <fstream>
#include <iostream>

#include "ConfigurationSchema.hpp"
#include "HydrovaMain.hpp"
#include "common/FileChecks.hpp"
#include "common/TerraException.hpp"
#include "dataio/H5FileNameDefinitions.hpp"
#include "op/op_openmp_decl.h"
#include "simulation/TERRAdomain_op.hpp"

class HydrovaSimulation : public HydrovaMain {
public:
    HydrovaSimulation() : HydrovaMain("simulation") {}
    ~HydrovaSimulation() override
    {
        delete runArg;
        delete progressArg;
        delete debugArg;
        delete outputArg;
        delete compressArg;
    }

    void addArguments() override
    {
        runArg = new TCLAP::ValueArg<std::string>("r", "runfile", "h5 file with model definition", true, "", "string",
                                                  *this);
        progressArg = new TCLAP::SwitchArg("p", "progress", "print simulation progress", *this, false);
        debugArg = new TCLAP::SwitchArg("d", "debug", "print IDs showing numerical issues", *this, false);
        outputArg = new TCLAP::ValueArg<std::string>("o", "output",
                                                     "name of .h5 file for storing results (must contain ending .h5)",
                                                     false, "results.h5", "string", *this);
        compressArg = new TCLAP::SwitchArg("c", "compress",
                                           "store the results records compressed (HDF5 shuffle and deflate)", *this,
                                           false);
    }

    /// No output may overwrite an input, and the results file must not be open in another program (a second
    /// run on it would truncate what the first one writes); checked before any file is opened.
    bool checkForValidation() override
    {
        const std::vector<std::pair<std::string, std::string>> inputs = {{"model file", runArg->getValue()},
                                                                         {"configuration file", getJsonFile()}};
        if (!getArchive().empty()) {
            hydrova::refuseSameFile("archive file", getArchive(), inputs);
            return true;
        }
        const std::string results = dataio::H5FileNameDefinitions::getResultFileName(outputArg->getValue());
        hydrova::refuseSameFile("results file", results, inputs);
        // Rank 0 alone asks: the processes of a distributed run would see each other's short-lived test locks.
        if (op_is_root()) hydrova::refuseFileInUse(results);
        if (getNthreads() < 1) {
            std::cerr << " -> the number of threads (-n) must be at least 1, not " << getNthreads() << std::endl;
            throw TerraException();
        }
        return true;
    }

    void executionContent() override
    {
        // A missing model file is the most common slip of a new user: name it instead of reporting the HDF5
        // library's failure to open it.
        if (!std::ifstream(runArg->getValue())) {
            std::cerr << " -> " << "runfile not found: " << runArg->getValue() << std::endl;
            throw TerraException();
        }
        // A results folder that does not exist would otherwise surface as the HDF5 library's failure to create.
        const std::string& output = outputArg->getValue();
        const std::string folder =
            output.find('/') == std::string::npos ? "." : output.substr(0, output.rfind('/') + 1);
        struct stat info {};
        if (getArchive().empty() && (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) {
            std::cerr << " -> the folder of the results file does not exist: " << folder << std::endl;
            throw TerraException();
        }
        // The domain object is the driver; it composes the model and opens both input files on construction.
        simulation::TERRAdomain* domain = simulation::TERRAdomain::getInstance(getJsonFile(), runArg->getValue());
        if (!getArchive().empty()) {
            domain->printHash(getArchive());
        } else {
            domain->setParallel(getNthreads());
            if (compressArg->getValue()) domain->requestCompression();
            domain->init(getLogLevel(), progressArg->getValue(), debugArg->getValue(), outputArg->getValue());
            domain->run();
        }
        delete domain;
    }

private:
    TCLAP::ValueArg<std::string>* runArg = nullptr;
    TCLAP::SwitchArg* progressArg = nullptr;
    TCLAP::SwitchArg* debugArg = nullptr;
    TCLAP::ValueArg<std::string>* outputArg = nullptr;
    TCLAP::SwitchArg* compressArg = nullptr;
};

int main(int argc, char** argv)
{
    HydrovaSimulation application;
    application.schemaText = hydrova::configurationSchema;
    application.parseCmdLine(argc, argv);
    return application.go();
}
