#include "HydrovaMain.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "common/FileChecks.hpp"
#include "common/TerraException.hpp"
#include "jsv/StreamValidator.hpp"

namespace {
std::string describe(const char* name)
{
    return std::string("This is the '") + name + "' binary of the HYDROVA framework.";
}
}  // namespace

HydrovaMain::HydrovaMain(const char* name, bool withArchive) : HydrovaCmdLine(describe(name), withArchive) {}

void HydrovaMain::parseCmdLine(int argc, char** argv)
{
    addArguments();
    parse(argc, argv);
}

int HydrovaMain::go()
{
    try {
        if (checkForValidation()) validateJSONfile(getJsonFile(), schemaText);
        executionContent();
        return 0;
    } catch (TCLAP::ArgException& e) {
        std::cerr << " -> "
                  << "error: " << e.error() << " for arg " << e.argId() << std::endl;
    } catch (TerraException& e) {
        std::cerr << " -> " << e.what() << std::endl;
    } catch (std::exception& e) {
        std::cerr << " -> "
                  << "unhandled exception (actually, this should never happen)" << '\n'
                  << " -> " << e.what() << '\n'
                  << " -> " << TerraException().what() << std::endl;
    }
    // Immediate termination: no destructors, hence no closing lines. After a failed write the library's own
    // clean-up at exit would retry the file and crash: the system closes it instead.
    if (hydrova::openFilesAbandoned()) {
        std::cout.flush();
        std::cerr.flush();
        std::_Exit(1);
    }
    std::exit(1);
}

void HydrovaMain::validateJSONfile(const std::string& configFile, const char* schema)
{
    struct stat info {};
    if (::stat(configFile.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        std::cerr << " -> "
                  << "configuration file is not a regular file: " << configFile << std::endl;
        throw TerraException();
    }
    std::ifstream config(configFile);
    if (!config) {
        std::cerr << " -> "
                  << "configuration file not found: " << configFile << std::endl;
        throw TerraException();
    }
    std::istringstream schemaStream(schema != nullptr ? schema : "");
    jsv::StreamValidator validator(&std::cout);
    if (validator.validate(config, schemaStream) == 2) {
        std::cerr << " -> "
                  << "Terminating HYDROVA due to JSON validation errors." << std::endl;
        throw TerraException();
    }
}
