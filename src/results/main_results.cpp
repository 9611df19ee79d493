// Entry of the results program: XDMF description, pictures and hydrographs of a results file.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "HydrovaMain.hpp"
#include "common/FileChecks.hpp"
#include "common/TerraException.hpp"
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
        delete rangeArg;
        delete stringsArg;
        delete gaugesArg;
        delete rasterArg;
        delete cellArg;
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
        rangeArg = new TCLAP::MultiArg<double>("R", "range", "colour range of the pictures: --range MIN MAX", false,
                                               "double", *this);
        stringsArg = new TCLAP::SwitchArg("s", "strings", "draw the node strings on the pictures", *this, false);
        gaugesArg = new TCLAP::SwitchArg("G", "gauges", "draw the gauges on the pictures", *this, false);
        rasterArg = new TCLAP::ValueArg<std::string>(
            "", "raster", "GeoTIFF rasters OUTPUT_<quantity>.tif at the time of -t (default: the last)", false, "",
            "OUTPUT", *this);
        cellArg = new TCLAP::ValueArg<double>("", "cell", "cell size of the rasters [m]", false, 0.0, "SIZE", *this);
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
        const std::vector<double> range = rangeArg->getValue();
        if (!range.empty()) {
            if (range.size() != 2) {
                std::cerr << " -> --range takes two values, MIN and MAX" << std::endl;
                throw TerraException();
            }
            options.fixedRange = true;
            options.rangeMin = range[0];
            options.rangeMax = range[1];
        }
        options.drawStrings = stringsArg->getValue();
        options.drawGauges = gaugesArg->getValue();
        options.rasterStem = rasterArg->getValue();
        options.rasterCell = cellArg->getValue();
        if (!options.rasterStem.empty() && !(options.rasterCell > 0.0)) {
            std::cerr << " -> --raster needs --cell SIZE greater than 0" << std::endl;
            throw TerraException();
        }
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
    TCLAP::MultiArg<double>* rangeArg = nullptr;
    TCLAP::SwitchArg* stringsArg = nullptr;
    TCLAP::SwitchArg* gaugesArg = nullptr;
    TCLAP::ValueArg<std::string>* rasterArg = nullptr;
    TCLAP::ValueArg<double>* cellArg = nullptr;
};

int main(int argc, char** argv)
{
    // "--range MIN MAX" (or -R) reaches the parser as "--range MIN --range MAX", the form a repeatable value takes.
    std::vector<std::string> words(argv, argv + argc);
    for (std::size_t i = 1; i + 2 < words.size(); ++i)
        if (words[i] == "--range" || words[i] == "-R") {
            words.insert(words.begin() + static_cast<std::ptrdiff_t>(i) + 2, words[i]);
            i += 3;
        }
    std::vector<char*> arguments;
    for (auto& w : words) arguments.push_back(w.data());
    HydrovaResults application;
    application.parseCmdLine(static_cast<int>(arguments.size()), arguments.data());
    return application.go();
}
