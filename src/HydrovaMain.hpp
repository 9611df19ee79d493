// Application frame: a program of the framework names itself, adds its arguments, optionally validates its
// configuration file against its embedded schema and then does its work under one top-level error handler.
#pragma once

#include <string>

#include "HydrovaCmdLine.hpp"

class HydrovaMain : public HydrovaCmdLine {
public:
    /// `name` is the program's short name ("simulation", "setup", "results"); withArchive: the program has -a.
    explicit HydrovaMain(const char* name, bool withArchive = true);

    virtual void addArguments() = 0;
    /// True when go() is to validate the configuration file first.
    virtual bool checkForValidation() = 0;
    virtual void executionContent() = 0;

    /// Adds the program's arguments and lets the library parse argv (argv[0] included).
    void parseCmdLine(int argc, char** argv);
    /// Validation and work under the top-level handler; returns 0 when the work is done, 1 on a fatal error.
    int go();
    /// Returns when `configFile` exists and satisfies the schema; otherwise prints why and throws TerraException.
    void validateJSONfile(const std::string& configFile, const char* schemaText);

    /// The embedded schema of the configuration file; set by the program entry after construction.
    const char* schemaText = nullptr;
};
