// Command line common to every program of the framework: banner, closing lines and the four shared arguments.
#pragma once

#include <tclap/CmdLine.h>

#include <string>

class HydrovaCmdLine : public TCLAP::CmdLine {
public:
    /// Prints the header before any argument is defined, then adds -f, -l, -n and, for the programs that restore
    /// an archived file (withArchive), -a.
    explicit HydrovaCmdLine(const std::string& message, bool withArchive = true);
    /// Deletes the arguments and prints the closing lines: reached only when the run ended normally.
    ~HydrovaCmdLine() override;

    HydrovaCmdLine(const HydrovaCmdLine&) = delete;
    HydrovaCmdLine& operator=(const HydrovaCmdLine&) = delete;

    std::string getJsonFile() const;
    int getLogLevel() const;
    int getNthreads() const;
    /// The -a value; empty when it was not given or the program has no -a.
    std::string getArchive() const;

    static void printHeader();
    static void printFooter();

protected:
    TCLAP::ValueArg<std::string>* fileArg;
    TCLAP::ValueArg<int>* logArg;
    TCLAP::ValueArg<int>* nthreadsArg;
    TCLAP::ValueArg<std::string>* archiveArg = nullptr;
};
