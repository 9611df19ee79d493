#include "results/XdmfExport.hpp"

#include <cstdio>
#include <iostream>
#include <memory>

#include "dataio/Factory.hpp"
#include "dataio/IH5Writer.hpp"

namespace results {

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string baseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// The stored value plus the elevation offset, as an XDMF expression.
std::string shifted(const std::string& expression, double offset)
{
    if (offset == 0.0) return expression;
    char text[64];
    std::snprintf(text, sizeof(text), "%.9g", offset < 0 ? -offset : offset);
    return "(" + expression + ")" + (offset < 0 ? "-" : "+") + text;
}

/// Whether any of the output's XDMF functions divides by the water depth ("$2-$3"): evaluated by a viewer such a
/// function gives infinities and NaNs on dry cells, so its values are computed here with the dry-cell threshold.
bool dividesByDepth(const api::IOutput* o)
{
    for (int k = 0; k < o->getNrDataFunctions(); ++k)
        if (o->getDataFunction(k).function.find("/($2-$3)") != std::string::npos) return true;
    return false;
}

}  // namespace

std::string derivedFileName(const std::string& xdmfFile)
{
    const std::string ext = ".xdmf";
    const bool hasExt =
        xdmfFile.size() > ext.size() && xdmfFile.compare(xdmfFile.size() - ext.size(), ext.size(), ext) == 0;
    return (hasExt ? xdmfFile.substr(0, xdmfFile.size() - ext.size()) : xdmfFile) + "_derived.h5";
}

std::string defaultXdmfName(const std::string& resultsFile)
{
    const std::string ext = ".h5";
    if (resultsFile.size() > ext.size() && resultsFile.compare(resultsFile.size() - ext.size(), ext.size(), ext) == 0)
        return resultsFile.substr(0, resultsFile.size() - ext.size()) + ".xdmf";
    return resultsFile + ".xdmf";
}

int writeXdmf(const ResultsFile& file, const std::string& xdmfFile)
{
    // Beside the results file the reference is relative, so that both can move together.
    const std::string h5 =
        folderOf(xdmfFile) == folderOf(file.fileName()) ? baseName(file.fileName()) : file.fileName();
    std::unique_ptr<api::IXdmfWriter> writer(dataio::Factory::createXdmfWriter(h5));
    const ColumnSource& topo = file.topology();
    const ColumnSource& geom = file.geometry();
    writer->addMesh(file.cellCount(), topo.dataset, std::to_string(topo.rows) + " " + std::to_string(topo.columns),
                    geom.dataset, std::to_string(geom.rows) + " " + std::to_string(geom.columns));

    std::vector<api::IOutput*> outputs;
    for (api::IOutput* o : file.outputs()) {
        if (o->getSet()->getID() != model::SetID::CellsAll) continue;
        std::string why;
        if (!file.canProvide(o, why)) {
            std::cout << " -> "
                      << "output <" << o->getName() << "> left out of the XDMF file: " << why << std::endl;
            continue;
        }
        outputs.push_back(o);
    }

    // Values that a viewer must not compute itself go to a second HDF5 file beside the XDMF file, referred to the
    // same way as the results file.
    const std::string derivedPath = derivedFileName(xdmfFile);
    const std::string derived = folderOf(xdmfFile).empty() ? derivedPath : baseName(derivedPath);
    std::unique_ptr<api::IH5Writer> derivedWriter;
    int derivedCount = 0;

    int attributes = 0;
    for (const TimeStep& step : file.times()) {
        writer->addTimeStep(step.time);
        attributes = 0;
        for (const api::IOutput* o : outputs) {
            const std::vector<ColumnSource> src = file.columnSources(o, step);
            std::vector<std::string> files, datasets;
            std::vector<int> sizes, columns;
            for (const ColumnSource& s : src) {
                files.push_back(h5);
                datasets.push_back(s.dataset);
                sizes.push_back(s.columns);
                columns.push_back(s.column);
            }
            const int n = src.front().rows;
            const double offset = ResultsFile::isElevation(o->getName()) ? file.elevationOffset() : 0.0;
            const int dim = o->getSize();
            const int nFunctions = o->getNrDataFunctions();
            if (dividesByDepth(o)) {
                if (!derivedWriter) derivedWriter.reset(dataio::Factory::createH5Writer(derivedPath, "w"));
                std::vector<std::vector<double>> table(static_cast<std::size_t>(n),
                                                       std::vector<double>(static_cast<std::size_t>(nFunctions)));
                const std::vector<std::vector<double>> v = file.components(o, step);
                for (int k = 0; k < nFunctions; ++k)
                    for (int i = 0; i < n; ++i) table[i][k] = v[k][static_cast<std::size_t>(i)];
                char record[16];
                std::snprintf(record, sizeof(record), "%07d", step.record);
                const std::string dataset = "/" + o->getName() + "/" + record;
                derivedWriter->writeDoubleVecVec(dataset, table);
                ++derivedCount;
                if (nFunctions == 1)
                    writer->addScalar(o->getName(), n, derived, dataset, 1, 0);
                else
                    writer->addVector(o->getName(), n, derived, dataset, nFunctions, {0, 1});
                ++attributes;
            } else if (o->isTracking()) {
                for (std::size_t k = 0; k < src.size(); ++k) {
                    const std::string name =
                        k < 4 ? FLOOD_VARIABLE_NAMES[k] : o->getName() + "_" + std::to_string(static_cast<int>(k));
                    writer->addScalar(name, n, h5, src[k].dataset, src[k].columns, src[k].column);
                    ++attributes;
                }
            } else if (dim == 1 && nFunctions == 0 && offset == 0.0) {
                writer->addScalar(o->getName(), n, h5, src[0].dataset, src[0].columns, src[0].column);
                ++attributes;
            } else if (dim == 1) {
                const std::string f = nFunctions > 0 ? o->getDataFunction(0).function : "$0";
                writer->addFunctionScalar(o->getName(), n, shifted(f, offset), files, datasets, sizes, columns);
                ++attributes;
            } else if (dim == 2 && nFunctions == 0 && src[0].dataset == src[1].dataset) {
                writer->addVector(o->getName(), n, h5, src[0].dataset, src[0].columns, {src[0].column, src[1].column});
                ++attributes;
            } else if (dim == 2) {
                const std::vector<std::string> f =
                    nFunctions == 2
                        ? std::vector<std::string>{o->getDataFunction(0).function, o->getDataFunction(1).function}
                        : std::vector<std::string>{"$0", "$1"};
                writer->addFunctionVector(o->getName(), n, f, files, datasets, sizes, columns);
                ++attributes;
            } else {
                for (int k = 0; k < dim; ++k) {
                    const std::string name = o->getName() + "_" + std::to_string(k);
                    if (nFunctions > 0)
                        writer->addFunctionScalar(name, n, o->getDataFunction(k).function, files, datasets, sizes,
                                                  columns);
                    else
                        writer->addScalar(name, n, h5, src[k].dataset, src[k].columns, src[k].column);
                    ++attributes;
                }
            }
        }
    }
    writer->write(xdmfFile);
    if (derivedCount > 0)
        std::cout << " -> velocities (0 on cells drier than " << file.minWaterDepth() << " m) written to "
                  << derivedPath << std::endl;
    return attributes;
}

}  // namespace results
