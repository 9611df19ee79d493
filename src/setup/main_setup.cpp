// Entry of the set-up program: writes a model file from a set-up command file and the mesh it names.
#include "HydrovaMain.hpp"
#include "common/FileChecks.hpp"
#include "setup/SetupRun.hpp"
#include "setup/SetupSchema.hpp"

class HydrovaSetup : public HydrovaMain {
public:
    // No -a: the archived command text of a model file is restored by hydrova_simulation -a (or hydrova_results -a
    // from a results file); the set-up has nothing to restore from before it has written the model file.
    HydrovaSetup() : HydrovaMain("setup", false) {}
    ~HydrovaSetup() override { delete outputArg; }

    void addArguments() override
    {
        outputArg = new TCLAP::ValueArg<std::string>("o", "output", "name of the model file to be written (.h5)", false,
                                                     "model.h5", "string", *this);
    }

    /// The model file must not replace the command file (the mesh file is checked once the command file named it).
    bool checkForValidation() override
    {
        hydrova::refuseSameFile("model file", outputArg->getValue(), {{"set-up command file", getJsonFile()}});
        return true;
    }

    void executionContent() override { setup::runSetup(getJsonFile(), outputArg->getValue(), getLogLevel()); }

private:
    TCLAP::ValueArg<std::string>* outputArg = nullptr;
};

int main(int argc, char** argv)
{
    HydrovaSetup application;
    application.schemaText = setup::commandFileSchema;
    application.parseCmdLine(argc, argv);
    return application.go();
}
