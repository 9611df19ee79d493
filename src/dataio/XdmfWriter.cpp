#include "dataio/XdmfWriter.hpp"

#include <cstdio>

#include "common/TerraException.hpp"

namespace dataio {

using Tag = SimpleXdmf::TagType;

XdmfWriter::XdmfWriter(const std::string& h5FileName) : h5FileName_(h5FileName)
{
    xdmf_.setNewLine("\n");
    xdmf_.setIndent(4);
    xdmf_.setVersion("2.0");
    xdmf_.beginElement(Tag::Domain);
}

void XdmfWriter::addMesh(const int& nElements, const std::string& topologyDataset, const std::string& topologyDims,
                         const std::string& geometryDataset, const std::string& geometryDims)
{
    xdmf_.beginElement(Tag::UnstructuredTopology);
    xdmf_.addType("Triangle");
    xdmf_.setName("Topology");
    xdmf_.addAttribute("NumberOfElements", std::to_string(nElements));
    xdmf_.beginElement(Tag::DataItem);
    xdmf_.addType("Uniform");
    xdmf_.setDimensions(topologyDims);
    xdmf_.setFormat("HDF");
    xdmf_.addItem(h5FileName_ + ":" + topologyDataset);
    xdmf_.endDataItem();
    xdmf_.endElement(Tag::UnstructuredTopology);

    xdmf_.beginElement(Tag::Geometry);
    xdmf_.addType("XYZ");
    xdmf_.setName("Coordinates");
    xdmf_.beginElement(Tag::DataItem);
    xdmf_.addType("Uniform");
    xdmf_.setDimensions(geometryDims);
    // Coordinates are stored in double precision: read as float, a UTM mesh of small cells would fold together.
    xdmf_.setNumberType("Float");
    xdmf_.setPrecision("8");
    xdmf_.setFormat("HDF");
    xdmf_.addItem(h5FileName_ + ":" + geometryDataset);
    xdmf_.endDataItem();
    xdmf_.endElement(Tag::Geometry);
    meshAdded = true;
}

void XdmfWriter::addTimeStep(const double& t)
{
    HYDROVA_ASSERT(this->meshAdded, "you must define a mesh before adding a time step!");
    if (!collectionOpen) {
        xdmf_.beginElement(Tag::Grid);
        xdmf_.addType("Collection");
        xdmf_.setName(h5FileName_);
        xdmf_.setCollectionType("Temporal");
        collectionOpen = true;
    }
    if (timeOpen) xdmf_.endElement(Tag::Grid);

    xdmf_.beginElement(Tag::Grid);
    xdmf_.addType("Uniform");
    xdmf_.setName("Timestep");
    char text[64];
    std::snprintf(text, sizeof(text), "%f", t);
    xdmf_.beginElement(Tag::Time);
    xdmf_.addType("Single");
    xdmf_.setName(std::string("time = ") + text);
    xdmf_.setValue(text);
    xdmf_.endElement(Tag::Time);
    xdmf_.beginElement(Tag::UnstructuredTopology);
    xdmf_.addType("Triangle");
    xdmf_.setReference("/Xdmf/Domain/Topology[1]");
    xdmf_.endElement(Tag::UnstructuredTopology);
    xdmf_.beginElement(Tag::Geometry);
    xdmf_.addType("XY");
    xdmf_.setReference("/Xdmf/Domain/Geometry[1]");
    xdmf_.endElement(Tag::Geometry);
    timeOpen = true;
}

std::string XdmfWriter::xmlDataDescription(const int& nValues, const int& column)
{
    return "0 " + std::to_string(column) + " 1 1 " + std::to_string(nValues) + " 1";
}

void XdmfWriter::dataItem(const int& nValues, const std::string& file, const std::string& dataset, const int& nColumns,
                          const int& column)
{
    xdmf_.beginElement(Tag::DataItem);
    xdmf_.addType("HyperSlab");
    xdmf_.setDimensions(std::to_string(nValues));

    xdmf_.beginElement(Tag::DataItem);
    xdmf_.addType("Uniform");
    xdmf_.setDimensions("3 2");
    xdmf_.setFormat("XML");
    xdmf_.setNumberType("Int");
    xdmf_.addItem(xmlDataDescription(nValues, column));
    xdmf_.endDataItem();

    xdmf_.beginElement(Tag::DataItem);
    xdmf_.addType("Uniform");
    xdmf_.setDimensions(std::to_string(nValues) + " " + std::to_string(nColumns));
    xdmf_.setFormat("HDF");
    xdmf_.addItem(file + ":" + dataset);
    xdmf_.endDataItem();

    xdmf_.endDataItem();
}

void XdmfWriter::beginAttribute(const std::string& name, const int& nValues, bool isVector, const std::string& function)
{
    HYDROVA_ASSERT(this->timeOpen, "you must add a time step before adding data!");
    xdmf_.beginElement(Tag::Attribute);
    xdmf_.addType(isVector ? "Vector" : "Scalar");
    xdmf_.setName(name);
    xdmf_.setCenter("Cell");
    if (!function.empty()) {
        xdmf_.beginElement(Tag::DataItem);
        xdmf_.addType("Function");
        xdmf_.setDimensions(std::to_string(nValues));
        xdmf_.setFunction(function);
    }
}

void XdmfWriter::endAttribute(bool hasFunction)
{
    if (hasFunction) xdmf_.endDataItem();
    xdmf_.endElement(Tag::Attribute);
}

void XdmfWriter::addScalar(const std::string& name, const int& nValues, const std::string& h5File,
                           const std::string& dataset, const int& nColumns, const int& column)
{
    beginAttribute(name, nValues, false, "");
    dataItem(nValues, h5File, dataset, nColumns, column);
    endAttribute(false);
}

void XdmfWriter::addVector(const std::string& name, const int& nValues, const std::string& h5File,
                           const std::string& dataset, const int& nColumns, const std::vector<int>& columns)
{
    HYDROVA_ASSERT(columns.size() >= 2, "a vector needs two columns");
    beginAttribute(name, nValues, true, "JOIN($0, $1, 0*$1)");
    dataItem(nValues, h5File, dataset, nColumns, columns[0]);
    dataItem(nValues, h5File, dataset, nColumns, columns[1]);
    endAttribute(true);
}

void XdmfWriter::checkSelections(const std::vector<std::string>& filenames, const std::vector<std::string>& datasets,
                                 const std::vector<int>& sizes, const std::vector<int>& indices)
{
    HYDROVA_ASSERT(filenames.size() == datasets.size(), "invalid dataset path descriptions provided");
    HYDROVA_ASSERT(datasets.size() == sizes.size(), "invalid dataset size descriptions provided");
    HYDROVA_ASSERT(datasets.size() == indices.size(), "invalid dataset column descriptions provided");
}

void XdmfWriter::addFunctionScalar(const std::string& name, const int& nValues, const std::string& function,
                                   const std::vector<std::string>& fileNames, const std::vector<std::string>& datasets,
                                   const std::vector<int>& sizes, const std::vector<int>& columns)
{
    checkSelections(fileNames, datasets, sizes, columns);
    beginAttribute(name, nValues, false, function);
    for (std::size_t i = 0; i < datasets.size(); ++i)
        dataItem(nValues, fileNames[i], datasets[i], sizes[i], columns[i]);
    endAttribute(true);
}

void XdmfWriter::addFunctionVector(const std::string& name, const int& nValues,
                                   const std::vector<std::string>& functions, const std::vector<std::string>& fileNames,
                                   const std::vector<std::string>& datasets, const std::vector<int>& sizes,
                                   const std::vector<int>& columns)
{
    HYDROVA_ASSERT(functions.size() == 2, "a vector needs two component functions");
    checkSelections(fileNames, datasets, sizes, columns);
    beginAttribute(name, nValues, true, "JOIN(" + functions[0] + ", " + functions[1] + ", 0*$0)");
    for (std::size_t i = 0; i < datasets.size(); ++i)
        dataItem(nValues, fileNames[i], datasets[i], sizes[i], columns[i]);
    endAttribute(true);
}

void XdmfWriter::write(const std::string& xdmfFileName)
{
    if (timeOpen) xdmf_.endElement(Tag::Grid);
    if (collectionOpen) xdmf_.endElement(Tag::Grid);
    timeOpen = false;
    collectionOpen = false;
    xdmf_.endElement(Tag::Domain);
    xdmf_.generate(xdmfFileName);
}

}  // namespace dataio
