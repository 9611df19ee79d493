// The XDMF writer: nesting of time steps, selections and functions in order, escaping, misuse reports.
// What the document means (every item against the stored data) is read back in tests/results.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Fatal.hpp"
#include "dataio/XdmfWriter.hpp"
#include "support/ScratchDir.hpp"
#include "support/Text.hpp"

using ::testing::HasSubstr;

namespace {

using testsupport::countOf;

TEST(XdmfWriter, TimeStepsNestAndFunctionsKeepTheirSelectionsInOrder)
{
    testsupport::ScratchDir dir("dataio-xdmf");
    // A file name with XML markup characters must not break the document.
    dataio::XdmfWriter w("a&b<1>.h5");
    EXPECT_FATAL(w.addTimeStep(0.0),
                 " -> you must define a mesh before adding a time step!, in file: src/dataio/XdmfWriter");
    w.addMesh(4, "CellsAll/Topology", "4 3", "NodesAll/Coordnts", "6 3");
    EXPECT_FATAL(w.addScalar("depth", 4, "r.h5", "H/0", 3, 0), " -> you must add a time step before adding data!");
    w.addTimeStep(0.0);
    w.addScalar("depth", 4, "r.h5", "H/0", 3, 2);
    w.addTimeStep(60.5);
    w.addVector("velocity", 4, "r.h5", "H/1", 3, {1, 2});
    w.addFunctionVector("flow", 4, {"$0/($2-$3)", "$1/($2-$3)"}, {"f.h5", "f.h5", "f.h5", "f.h5"}, {"H", "H", "H", "Z"},
                        {3, 3, 3, 1}, {1, 2, 0, 0});
    EXPECT_FATAL(w.addFunctionScalar("f", 4, "$0", {"a"}, {"b", "c"}, {1, 1}, {0, 0}), "invalid dataset path");
    EXPECT_FATAL(w.addFunctionVector("u", 4, {"$0"}, {"f", "f"}, {"a", "b"}, {3, 1}, {0, 0}),
                 "two component functions");
    const std::string name = dir.file("series.xdmf");
    w.write(name);
    std::stringstream text;
    text << std::ifstream(name).rdbuf();
    const std::string doc = text.str();

    EXPECT_EQ(countOf(doc, "<Grid GridType=\"Uniform\" Name=\"Timestep\">"), 2);
    EXPECT_EQ(countOf(doc, "</Grid>"), 3);
    // The first time step is closed before the second opens.
    const auto first = doc.find("Name=\"Timestep\"");
    EXPECT_LT(doc.find("</Grid>", first), doc.find("Name=\"Timestep\"", first + 1));
    EXPECT_THAT(doc, HasSubstr("<Time TimeType=\"Single\" Name=\"time = 60.500000\" Value=\"60.500000\">"));
    EXPECT_THAT(doc, HasSubstr("Function=\"JOIN($0, $1, 0*$1)\""));
    EXPECT_THAT(doc, HasSubstr("Function=\"JOIN($0/($2-$3), $1/($2-$3), 0*$0)\""));
    // The selections keep their order: $0 and $1 are columns 1 and 2 of H, $3 column 0 of Z.
    const auto flow = doc.find("Name=\"flow\"");
    EXPECT_LT(doc.find("0 1 1 1 4 1", flow), doc.find("0 2 1 1 4 1", flow));
    EXPECT_LT(doc.find("f.h5:H", flow), doc.find("f.h5:Z", flow));
    EXPECT_THAT(doc, HasSubstr("Name=\"a&amp;b&lt;1&gt;.h5\""));
    EXPECT_THAT(doc, HasSubstr("a&amp;b&lt;1&gt;.h5:CellsAll/Topology"));
    EXPECT_EQ(countOf(doc, "<DataItem"), countOf(doc, "</DataItem>"));
}

}  // namespace
