// Command line common to every program of the framework: banner, closing lines and the four shared arguments.
#pragma once

#include <tclap/CmdLine.h>

#include <string>

class HydrovaCmdLine : public TCLAP::CmdLine {
public:
    /// Prints the header before any argument is defined, then adds -f, -l, -n and -a.
    explicit HydrovaCmdLine(const std::string& message);
    /// Deletes the arguments and prints the closing lines: reached only when the run ended normally.
    ~HydrovaCmdLine() override;

    HydrovaCmdLine(const HydrovaCmdLine&) = delete;
    HydrovaCmdLine& operator=(const HydrovaCmdLine&) = delete;

    std::string getJsonFile() const;
    int getLogLevel() const;
    int getNthreads() const;
    std::string getArchive() const;

    static void printHeader();
    static void printFooter();

protected:
    TCLAP::ValueArg<std::string>* fileArg;
    TCLAP::ValueArg<int>* logArg;
    TCLAP::ValueArg<int>* nthreadsArg;
    TCLAP::ValueArg<std::string>* archiveArg;
};
