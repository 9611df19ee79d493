// A small in-memory builder of XDMF documents that checks element types and attribute values.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace dataio {

/// Builds the document element by element: beginElement opens a start tag that accepts attributes until the
/// first child or content commits it. Misuse (a setter on the wrong element) prints one
/// "[SIMPLE XDMF ERROR] ..." line on standard error and leaves the document unchanged; an invalid value prints the
/// same line and throws std::invalid_argument with that text.
class SimpleXdmf {
public:
    enum class TagType {
        DataItem,
        Grid,
        StructuredTopology,
        UnstructuredTopology,
        Geometry,
        Attribute,
        Set,
        Time,
        Information,
        Domain,
        Xdmf,
        Inner
    };

    /// Begins the root element "Xdmf".
    SimpleXdmf();

    void setNewLine(const std::string& newLine) { newLine_ = newLine; }
    /// Indentation unit: `width` spaces per nesting level.
    void setIndent(int width) { indent_ = std::string(width < 0 ? 0 : static_cast<std::size_t>(width), ' '); }

    void beginElement(TagType kind);
    void endElement(TagType kind);
    void endDataItem() { endElement(TagType::DataItem); }
    /// Writes text as the current element's content, on its own line.
    void addItem(const std::string& text);
    /// Appends the open start tag, ">" and the newline to the document.
    void commitBuffer();

    /// ItemType for a DataItem, else <element name>Type; value from the current kind's accepted list.
    void addType(const std::string& value);
    void setName(const std::string& name);
    void setDimensions(const std::string& dims);
    void setFormat(const std::string& format);
    void setVersion(const std::string& version);
    void setCollectionType(const std::string& type);
    void setValue(const std::string& value);
    void setCenter(const std::string& center);
    void setFunction(const std::string& function);
    void setNumberType(const std::string& type);
    void setPrecision(const std::string& precision);
    void setReference(const std::string& reference);
    /// Attribute of any name (e.g. NumberOfElements), written without checks.
    void addAttribute(const std::string& name, const std::string& value);

    /// The document so far (committed text only, without the header lines).
    const std::string& document() const { return content_; }
    /// Closes "Xdmf" if still open, then writes the XML and DOCTYPE header lines and the document to fileName;
    /// std::runtime_error when the file cannot be written.
    void generate(const std::string& fileName);

    static std::string elementName(TagType kind);

private:
    std::string indentation() const;
    void attribute(const std::string& name, const std::string& value);
    bool accepted(const std::vector<std::string>& list, const std::string& value) const;
    void misuse(const std::string& message) const;
    [[noreturn]] void invalid(const std::string& message) const;

    std::string content_;
    std::string buffer_;
    std::vector<TagType> open_;
    std::string newLine_ = "\n";
    std::string indent_ = "    ";
    bool finished_ = false;
    std::map<TagType, std::vector<std::string>> types_;
};

}  // namespace dataio
