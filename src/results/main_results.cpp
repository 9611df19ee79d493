// Entry of the results program: XDMF description, pictures and hydrographs of a results file.
#include <memory>

#include "HydrovaMain.hpp"
#include "common/FileChecks.hpp"
#include "dataio/Archive.hpp"
#include "dataio/Factory.hpp"
#include "results/ResultsRun.hpp"

class HydrovaResults : public HydrovaMain {
public:
    HydrovaResults() : HydrovaMain("results") {}
    ~HydrovaResults() override
    {
        delete infoArg;
        delete xdmfArg;
        delete pictureArg;
        delete timeArg;
        delete componentArg;
        delete hydrographArg;
        delete folderArg;
    }

    void addArguments() override
    {
        infoArg = new TCLAP::SwitchArg("i", "info", "list the outputs, times and mesh size of the results file", *this,
                                       false);
        xdmfArg = new TCLAP::ValueArg<std::string>("x", "xdmf", "name of the XDMF file (default: beside the results)",
                                                   false, "", "string", *this);
        pictureArg = new TCLAP::MultiArg<std::string>(
            "p", "picture", "output to draw as PNG, name or name[component] (repeatable)", false, "string", *this);
        timeArg = new TCLAP::MultiArg<double>("t", "time", "time [s] of the pictures (repeatable; default: the last)",
                                              false, "double", *this);
        componentArg = new TCLAP::ValueArg<int>("c", "component",
                                                "component of the output to draw (default: magnitude of vectors)",
                                                false, -1, "int", *this);
        hydrographArg = new TCLAP::SwitchArg("g", "hydrograph", "require node-string hydrographs", *this, false);
        folderArg = new TCLAP::ValueArg<std::string>("d", "dir", "folder of pictures and hydrographs", false, "",
                                                     "string", *this);
    }

    /// The file given with -f is a results file, not a JSON configuration.
    bool checkForValidation() override { return false; }

    void executionContent() override
    {
        // Nothing this program writes may replace the results file it reads.
        const std::vector<std::pair<std::string, std::string>> input = {{"results file", getJsonFile()}};
        hydrova::refuseSameFile("archive file", getArchive(), input);
        hydrova::refuseSameFile("XDMF file", xdmfArg->getValue(), input);
        if (!getArchive().empty()) {
            // The set-up command text the run was made with, restored to a file.
            const std::unique_ptr<api::IH5Reader> reader(dataio::Factory::createH5Reader(getJsonFile()));
            dataio::Archive::restore(reader.get(), getArchive());
            return;
        }
        results::RunOptions options;
        options.resultsFile = getJsonFile();
        options.info = infoArg->getValue();
        options.xdmfFile = xdmfArg->getValue();
        options.pictures = pictureArg->getValue();
        options.times = timeArg->getValue();
        options.component = componentArg->getValue();
        options.hydrographs = hydrographArg->getValue();
        options.outputFolder = folderArg->getValue();
        options.logLevel = getLogLevel();
        results::runResults(options);
    }

private:
    TCLAP::SwitchArg* infoArg = nullptr;
    TCLAP::ValueArg<std::string>* xdmfArg = nullptr;
    TCLAP::MultiArg<std::string>* pictureArg = nullptr;
    TCLAP::MultiArg<double>* timeArg = nullptr;
    TCLAP::ValueArg<int>* componentArg = nullptr;
    TCLAP::SwitchArg* hydrographArg = nullptr;
    TCLAP::ValueArg<std::string>* folderArg = nullptr;
};

int main(int argc, char** argv)
{
    HydrovaResults application;
    application.parseCmdLine(argc, argv);
    return application.go();
}
