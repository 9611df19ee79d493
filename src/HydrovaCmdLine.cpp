#include "HydrovaCmdLine.hpp"

#include <iostream>

#include "common/TerraException.hpp"

HydrovaCmdLine::HydrovaCmdLine(const std::string& message, bool withArchive)
    : TCLAP::CmdLine(message, ' ', HYDROVA_VERSION, true)
{
    printHeader();
    setExceptionHandling(true);
    fileArg = new TCLAP::ValueArg<std::string>("f", "file", "the configuration file", true, "", "string", *this);
    logArg = new TCLAP::ValueArg<int>("l", "log", "level of debug messages", false, 0, "int", *this);
    nthreadsArg = new TCLAP::ValueArg<int>("n", "nthreads", "number of threads", false, 1, "int", *this);
    if (withArchive)
        archiveArg =
            new TCLAP::ValueArg<std::string>("a", "archive", "restore the archive", false, "", "string", *this);
}

HydrovaCmdLine::~HydrovaCmdLine()
{
    delete fileArg;
    delete logArg;
    delete nthreadsArg;
    delete archiveArg;
    printFooter();
}

std::string HydrovaCmdLine::getJsonFile() const { return fileArg->getValue(); }
int HydrovaCmdLine::getLogLevel() const { return logArg->getValue(); }
int HydrovaCmdLine::getNthreads() const { return nthreadsArg->getValue(); }
std::string HydrovaCmdLine::getArchive() const { return archiveArg != nullptr ? archiveArg->getValue() : ""; }

void HydrovaCmdLine::printHeader()
{
    std::cout << "HYDROVA v3.0" << '\n'
              << "Lamina" << ' ' << "OpenMP"
              << " binary" << '\n'
              << HYDROVA_VERSION << '\n'
              << "Copyright (c) the HYDROVA developers; free software without any warranty." << '\n'
              << '\n'
              << std::flush;
}

void HydrovaCmdLine::printFooter()
{
    std::cout << '\n'
              << std::string(60, '-') << '\n'
              << " HYDROVA successfully processed all necessary jobs!" << '\n'
              << '\n'
              << std::flush;
}
