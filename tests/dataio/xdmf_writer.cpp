// The XDMF builder and writer: document shape, nesting, hyperslab selections and misuse reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "Fatal.hpp"
#include "dataio/Factory.hpp"
#include "dataio/SimpleXdmf.hpp"
#include "dataio/XdmfWriter.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"

using dataio::SimpleXdmf;
using Tag = dataio::SimpleXdmf::TagType;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

std::string readFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
    return n;
}

const char* const HEADER = "<?xml version=\"1.0\" ?>\n<!DOCTYPE Xdmf SYSTEM \"Xdmf.dtd\" []>\n";

TEST(XdmfWriter, MeshOnlyDocumentIsExact)
{
    testsupport::ScratchDir dir("dataio-xdmf");
    std::unique_ptr<api::IXdmfWriter> w(dataio::Factory::createXdmfWriter("results.h5"));
    w->addMesh(2, "CellsAll/Topology", "2 3", "NodesAll/Coordnts", "4 3");
    w->write(dir.file("mesh.xdmf"));
    EXPECT_EQ(readFile(dir.file("mesh.xdmf")),
              std::string(HEADER) +
                  "<Xdmf Version=\"2.0\">\n"
                  "    <Domain>\n"
                  "        <Topology TopologyType=\"Triangle\" Name=\"Topology\" NumberOfElements=\"2\">\n"
                  "            <DataItem ItemType=\"Uniform\" Dimensions=\"2 3\" Format=\"HDF\">\n"
                  "                results.h5:CellsAll/Topology\n"
                  "            </DataItem>\n"
                  "        </Topology>\n"
                  "        <Geometry GeometryType=\"XYZ\" Name=\"Coordinates\">\n"
                  "            <DataItem ItemType=\"Uniform\" Dimensions=\"4 3\" NumberType=\"Float\" Precision=\"8\" "
                  "Format=\"HDF\">\n"
                  "                results.h5:NodesAll/Coordnts\n"
                  "            </DataItem>\n"
                  "        </Geometry>\n"
                  "    </Domain>\n"
                  "</Xdmf>\n");
}

TEST(XdmfWriter, TimeStepsAttributesAndSelections)
{
    testsupport::ScratchDir dir("dataio-xdmf");
    dataio::XdmfWriter w("r.h5");
    EXPECT_FATAL(w.addTimeStep(0.0),
                 " -> you must define a mesh before adding a time step!, in file: src/dataio/XdmfWriter");
    w.addMesh(100, "CellsAll/Topology", "100 3", "NodesAll/Coordnts", "60 3");
    EXPECT_FATAL(w.addScalar("depth", 100, "r.h5", "RESULTS/x/0000000", 3, 2),
                 "you must add a time step before adding data!");

    w.addTimeStep(0.0);
    w.addScalar("depth", 100, "r.h5", "RESULTS/CellsAll/HydState/0000000", 3, 2);
    w.addTimeStep(60.5);
    w.addVector("velocity", 100, "r.h5", "RESULTS/CellsAll/HydState/0000001", 3, {1, 2});
    w.addFunctionScalar("depth", 100, "$0-$1", {"r.h5", "r.h5"},
                        {"RESULTS/CellsAll/HydState/0000001", "CellsAll/BottElev"}, {3, 1}, {0, 0});
    EXPECT_FATAL(w.addFunctionScalar("f", 100, "$0", {"a"}, {"b", "c"}, {1, 1}, {0, 0}),
                 "invalid dataset path descriptions provided");
    EXPECT_FATAL(w.addFunctionScalar("f", 100, "$0", {"a", "b"}, {"b", "c"}, {1}, {0, 0}),
                 "invalid dataset size descriptions provided");
    EXPECT_FATAL(w.addFunctionScalar("f", 100, "$0", {"a", "b"}, {"b", "c"}, {1, 1}, {0}),
                 "invalid dataset column descriptions provided");
    const std::string name = dir.file("series.xdmf");
    w.write(name);
    const std::string doc = readFile(name);

    EXPECT_EQ(dataio::XdmfWriter::xmlDataDescription(100, 2), "0 2 1 1 100 1");
    EXPECT_EQ(count(doc, "<Grid GridType=\"Collection\" Name=\"r.h5\" CollectionType=\"Temporal\">"), 1u);
    EXPECT_EQ(count(doc, "<Grid GridType=\"Uniform\" Name=\"Timestep\">"), 2u);
    EXPECT_EQ(count(doc, "</Grid>"), 3u);
    // The first time step is closed before the second opens: nothing of the second lies inside the first.
    const auto first = doc.find("Name=\"Timestep\"");
    const auto closed = doc.find("</Grid>", first);
    EXPECT_LT(closed, doc.find("Name=\"Timestep\"", first + 1));
    EXPECT_THAT(doc, HasSubstr("<Time TimeType=\"Single\" Name=\"time = 0.000000\" Value=\"0.000000\">"));
    EXPECT_THAT(doc, HasSubstr("<Time TimeType=\"Single\" Name=\"time = 60.500000\" Value=\"60.500000\">"));
    EXPECT_EQ(count(doc, "<Topology TopologyType=\"Triangle\" Reference=\"/Xdmf/Domain/Topology[1]\">"), 2u);
    EXPECT_EQ(count(doc, "<Geometry GeometryType=\"XY\" Reference=\"/Xdmf/Domain/Geometry[1]\">"), 2u);

    EXPECT_THAT(doc,
                HasSubstr("<Attribute AttributeType=\"Scalar\" Name=\"depth\" Center=\"Cell\">\n"
                          "                    <DataItem ItemType=\"HyperSlab\" Dimensions=\"100\">\n"
                          "                        <DataItem ItemType=\"Uniform\" Dimensions=\"3 2\" Format=\"XML\" "
                          "NumberType=\"Int\">\n"
                          "                            0 2 1 1 100 1\n"
                          "                        </DataItem>\n"
                          "                        <DataItem ItemType=\"Uniform\" Dimensions=\"100 3\" "
                          "Format=\"HDF\">\n"
                          "                            r.h5:RESULTS/CellsAll/HydState/0000000\n"));
    // The vector: one JOIN function of exactly two selections, columns 1 and 2.
    const auto vector = doc.find("<Attribute AttributeType=\"Vector\" Name=\"velocity\" Center=\"Cell\">");
    ASSERT_NE(vector, std::string::npos);
    const std::string vectorBlock = doc.substr(vector, doc.find("</Attribute>", vector) - vector);
    EXPECT_THAT(vectorBlock,
                HasSubstr("<DataItem ItemType=\"Function\" Dimensions=\"100\" Function=\"JOIN($0, $1, 0*$1)\">"));
    EXPECT_EQ(count(vectorBlock, "ItemType=\"HyperSlab\""), 2u);
    EXPECT_THAT(vectorBlock, HasSubstr("0 1 1 1 100 1"));
    EXPECT_THAT(vectorBlock, HasSubstr("0 2 1 1 100 1"));
    EXPECT_THAT(doc, HasSubstr("Function=\"$0-$1\""));
    EXPECT_THAT(
        doc, HasSubstr("Dimensions=\"100 1\" Format=\"HDF\">\n                                r.h5:CellsAll/BottElev"));
    // Every element that opens closes.
    EXPECT_EQ(count(doc, "<DataItem"), count(doc, "</DataItem>"));
    EXPECT_EQ(count(doc, "<Attribute "), count(doc, "</Attribute>"));

    const auto lint = testsupport::runProcess("command -v xmllint");
    if (lint.status == 0) {
        const auto check = testsupport::runProcess("xmllint --noout " + testsupport::shellQuote(name));
        EXPECT_EQ(check.status, 0) << check.err;
    }
}

TEST(XdmfWriter, FunctionVectorJoinsComponentFunctionsAndMarkupIsEscaped)
{
    testsupport::ScratchDir dir("dataio-xdmf");
    // A file name with XML markup characters must not break the document.
    dataio::XdmfWriter w("a&b<1>.h5");
    w.addMesh(4, "CellsAll/Topology", "4 3", "NodesAll/Coordnts", "6 3");
    w.addTimeStep(1.0);
    EXPECT_FATAL(w.addFunctionVector("u", 4, {"$0"}, {"f", "f"}, {"a", "b"}, {3, 1}, {0, 0}),
                 "a vector needs two component functions");
    EXPECT_FATAL(w.addFunctionVector("u", 4, {"$0", "$1"}, {"f", "f"}, {"a", "b"}, {3, 1}, {0}),
                 "invalid dataset column descriptions provided");
    w.addFunctionVector("flow_velocity", 4, {"$0/($2-$3)", "$1/($2-$3)"}, {"f.h5", "f.h5", "f.h5", "f.h5"},
                        {"H", "H", "H", "Z"}, {3, 3, 3, 1}, {1, 2, 0, 0});
    const std::string name = dir.file("vector.xdmf");
    w.write(name);
    const std::string doc = readFile(name);
    EXPECT_THAT(doc, HasSubstr("<Attribute AttributeType=\"Vector\" Name=\"flow_velocity\" Center=\"Cell\">"));
    EXPECT_THAT(doc, HasSubstr("Function=\"JOIN($0/($2-$3), $1/($2-$3), 0*$0)\""));
    EXPECT_EQ(count(doc, "ItemType=\"HyperSlab\""), 4u);
    // The selections keep their order: $2 is column 0 of H, $3 column 0 of Z.
    EXPECT_LT(doc.find("0 1 1 1 4 1"), doc.find("0 2 1 1 4 1"));
    EXPECT_LT(doc.find("f.h5:H"), doc.find("f.h5:Z"));
    EXPECT_THAT(doc, HasSubstr("Name=\"a&amp;b&lt;1&gt;.h5\""));
    EXPECT_THAT(doc, HasSubstr("a&amp;b&lt;1&gt;.h5:CellsAll/Topology"));
    const auto lint = testsupport::runProcess("command -v xmllint");
    if (lint.status == 0) {
        const auto check = testsupport::runProcess("xmllint --noout " + testsupport::shellQuote(name));
        EXPECT_EQ(check.status, 0) << check.err;
    }
}

TEST(SimpleXdmf, RejectsValuesAndMisplacedAttributes)
{
    SimpleXdmf x;
    x.beginElement(Tag::Grid);
    const std::string before = x.document();
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(x.addType("Triangle"), std::invalid_argument);
    EXPECT_THROW(x.setFormat("NetCDF"), std::invalid_argument);
    EXPECT_THROW(x.setCollectionType("Spatial"), std::invalid_argument);
    EXPECT_THROW(x.setNumberType("Double"), std::invalid_argument);
    x.setCenter("Cell");
    x.setValue("1");
    x.setFunction("$0");
    x.setVersion("2.0");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, HasSubstr("[SIMPLE XDMF ERROR] Invalid Grid type = Triangle is passed to.\n"));
    EXPECT_THAT(err, HasSubstr("[SIMPLE XDMF ERROR] Invalid Format type = NetCDF is passed to setFormat().\n"));
    EXPECT_THAT(err,
                HasSubstr("[SIMPLE XDMF ERROR] Invalid Collection type = Spatial is passed to setCollectionType().\n"));
    EXPECT_THAT(err, HasSubstr("[SIMPLE XDMF ERROR] Invalid Number type = Double is passed to setNumberType().\n"));
    EXPECT_THAT(err,
                HasSubstr("[SIMPLE XDMF ERROR] setCenter() cannot be called when current Tag is not Attribute.\n"));
    EXPECT_THAT(
        err,
        HasSubstr("[SIMPLE XDMF ERROR] setValue() cannot be called when current Tag is not Time and Information.\n"));
    EXPECT_THAT(err,
                HasSubstr("[SIMPLE XDMF ERROR] setFunction() cannot be called when current Tag is not DataItem.\n"));
    EXPECT_THAT(err, HasSubstr("[SIMPLE XDMF ERROR] setVersion() cannot be called when current Tag is not Xdmf.\n"));

    // Nothing of the rejected calls reached the tag: valid calls continue it.
    x.addType("Uniform");
    x.setName("");
    x.beginElement(Tag::Time);
    x.setValue("3");
    x.endElement(Tag::Time);
    x.beginElement(Tag::DataItem);
    x.addType("Function");
    x.endDataItem();
    x.endElement(Tag::Grid);
    EXPECT_EQ(x.document().substr(before.size()),
              "    <Grid GridType=\"Uniform\">\n"
              "        <Time Value=\"3\">\n"
              "        </Time>\n"
              "        <DataItem ItemType=\"Function\">\n"
              "        </DataItem>\n"
              "    </Grid>\n");
}

}  // namespace
