#include "dataio/SimpleXdmf.hpp"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <stdexcept>

namespace dataio {

namespace {

const std::string ERROR = "[SIMPLE XDMF ERROR] ";

const std::vector<std::string> TOPOLOGY_TYPES = {
    "Polyvertex", "Polyline", "Polygon",    "Triangle",     "Quadrilateral", "Tetrahedron", "Pyramid",     "Wedge",
    "Hexahedron", "Edge_3",   "Tri_6",      "Quad_8",       "Tet_10",        "Pyramid_13",  "Wedge_15",    "Hex_20",
    "Mixed",      "2DSMesh",  "2DRectMesh", "2DCoRectMesh", "3DSMesh",       "3DRectMesh",  "3DCoRectMesh"};
const std::vector<std::string> CENTERS = {"Node", "Edge", "Face", "Cell", "Grid"};
const std::vector<std::string> FORMATS = {"XML", "HDF", "Binary"};
const std::vector<std::string> NUMBER_TYPES = {"Float", "Int", "UInt", "Char", "UChar"};
const std::vector<std::string> PRECISIONS = {"1", "2", "4", "8"};
const std::vector<std::string> COLLECTION_TYPES = {"Temporal"};

/// Text with the XML markup characters replaced by entities, so that file names and function texts holding
/// "&", "<", ">" or quotation marks keep the document well formed.
std::string escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

SimpleXdmf::SimpleXdmf()
{
    types_[TagType::Grid] = {"Uniform", "Collection", "Tree", "Subset"};
    types_[TagType::DataItem] = {"Uniform", "Collection", "Tree", "HyperSlab", "Coordinates", "Function"};
    types_[TagType::StructuredTopology] = TOPOLOGY_TYPES;
    types_[TagType::UnstructuredTopology] = TOPOLOGY_TYPES;
    types_[TagType::Geometry] = {"XYZ", "XY", "X_Y_Z", "VXVYVZ", "ORIGIN_DXDYDZ", "ORIGIN_DXDY"};
    types_[TagType::Attribute] = {"Scalar", "Vector", "Tensor", "Tensor6", "Matrix"};
    types_[TagType::Set] = {"Node", "Edge", "Face", "Cell"};
    types_[TagType::Time] = {"Single", "HyperSlab", "List", "Range"};
    beginElement(TagType::Xdmf);
}

std::string SimpleXdmf::elementName(TagType kind)
{
    switch (kind) {
        case TagType::DataItem:
            return "DataItem";
        case TagType::Grid:
            return "Grid";
        case TagType::StructuredTopology:
        case TagType::UnstructuredTopology:
            return "Topology";
        case TagType::Geometry:
            return "Geometry";
        case TagType::Attribute:
            return "Attribute";
        case TagType::Set:
            return "Set";
        case TagType::Time:
            return "Time";
        case TagType::Information:
            return "Information";
        case TagType::Domain:
            return "Domain";
        case TagType::Xdmf:
            return "Xdmf";
        case TagType::Inner:
            return "Inner";
    }
    return "";
}

std::string SimpleXdmf::indentation() const
{
    std::string text;
    for (std::size_t i = 1; i < open_.size(); ++i) text += indent_;
    return text;
}

void SimpleXdmf::beginElement(TagType kind)
{
    commitBuffer();
    open_.push_back(kind);
    buffer_ = indentation() + "<" + elementName(kind);
}

void SimpleXdmf::commitBuffer()
{
    if (buffer_.empty()) return;
    content_ += buffer_ + ">" + newLine_;
    buffer_.clear();
}

void SimpleXdmf::addItem(const std::string& text)
{
    commitBuffer();
    content_ += indentation() + indent_ + escaped(text) + newLine_;
}

void SimpleXdmf::endElement(TagType kind)
{
    if (open_.empty() || elementName(open_.back()) != elementName(kind)) {
        misuse("endElement() cannot close " + elementName(kind) + " when current Tag is not " + elementName(kind) +
               ".");
        return;
    }
    commitBuffer();
    content_ += indentation() + "</" + elementName(kind) + ">" + newLine_;
    open_.pop_back();
}

void SimpleXdmf::attribute(const std::string& name, const std::string& value)
{
    if (buffer_.empty()) {
        misuse("the start tag of the current element is already closed; " + name + " cannot be added.");
        return;
    }
    buffer_ += " " + name + "=\"" + escaped(value) + "\"";
}

bool SimpleXdmf::accepted(const std::vector<std::string>& list, const std::string& value) const
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

void SimpleXdmf::misuse(const std::string& message) const { std::cerr << ERROR << message << std::endl; }

void SimpleXdmf::invalid(const std::string& message) const
{
    std::cerr << ERROR << message << std::endl;
    throw std::invalid_argument(ERROR + message);
}

void SimpleXdmf::addType(const std::string& value)
{
    if (open_.empty()) return misuse("addType() cannot be called without an open Tag.");
    const TagType kind = open_.back();
    const auto it = types_.find(kind);
    if (it == types_.end() || !accepted(it->second, value))
        invalid("Invalid " + elementName(kind) + " type = " + value + " is passed to.");
    attribute((kind == TagType::DataItem ? std::string("Item") : elementName(kind)) + "Type", value);
}

void SimpleXdmf::setName(const std::string& name)
{
    if (!name.empty()) attribute("Name", name);
}

void SimpleXdmf::setDimensions(const std::string& dims) { attribute("Dimensions", dims); }

void SimpleXdmf::setFormat(const std::string& format)
{
    if (!accepted(FORMATS, format)) invalid("Invalid Format type = " + format + " is passed to setFormat().");
    attribute("Format", format);
}

void SimpleXdmf::setVersion(const std::string& version)
{
    if (open_.empty() || open_.back() != TagType::Xdmf)
        return misuse("setVersion() cannot be called when current Tag is not Xdmf.");
    attribute("Version", version);
}

void SimpleXdmf::setCollectionType(const std::string& type)
{
    if (open_.empty() || open_.back() != TagType::Grid)
        return misuse("setCollectionType() cannot be called when current Tag is not Grid.");
    if (!accepted(COLLECTION_TYPES, type))
        invalid("Invalid Collection type = " + type + " is passed to setCollectionType().");
    attribute("CollectionType", type);
}

void SimpleXdmf::setValue(const std::string& value)
{
    if (open_.empty() || (open_.back() != TagType::Time && open_.back() != TagType::Information))
        return misuse("setValue() cannot be called when current Tag is not Time and Information.");
    attribute("Value", value);
}

void SimpleXdmf::setCenter(const std::string& center)
{
    if (open_.empty() || open_.back() != TagType::Attribute)
        return misuse("setCenter() cannot be called when current Tag is not Attribute.");
    if (!accepted(CENTERS, center)) invalid("Invalid Center type = " + center + " is passed to setCenter().");
    attribute("Center", center);
}

void SimpleXdmf::setFunction(const std::string& function)
{
    if (open_.empty() || open_.back() != TagType::DataItem)
        return misuse("setFunction() cannot be called when current Tag is not DataItem.");
    attribute("Function", function);
}

void SimpleXdmf::setNumberType(const std::string& type)
{
    if (!accepted(NUMBER_TYPES, type)) invalid("Invalid Number type = " + type + " is passed to setNumberType().");
    attribute("NumberType", type);
}

void SimpleXdmf::setPrecision(const std::string& precision)
{
    if (!accepted(PRECISIONS, precision)) invalid("Invalid Precision = " + precision + " is passed to setPrecision().");
    attribute("Precision", precision);
}

void SimpleXdmf::setReference(const std::string& reference) { attribute("Reference", reference); }

void SimpleXdmf::addAttribute(const std::string& name, const std::string& value) { attribute(name, value); }

void SimpleXdmf::generate(const std::string& fileName)
{
    if (!finished_) {
        // Close whatever is still open, the root last.
        while (!open_.empty()) endElement(open_.back());
        finished_ = true;
    }
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" ?>" << newLine_ << "<!DOCTYPE Xdmf SYSTEM \"Xdmf.dtd\" []>" << newLine_ << content_;
    out.close();
    if (!out) throw std::runtime_error(ERROR + "cannot write file <" + fileName + ">");
}

}  // namespace dataio
