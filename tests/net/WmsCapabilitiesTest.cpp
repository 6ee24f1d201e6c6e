// The map-service capabilities reader: the time dimension's default and the layer's box,
// in the 1.3.0 form, the older 1.1.1 form, with inheritance, and every refusal with its reason.
#include "net/WmsCapabilities.h"
#include <gtest/gtest.h>

using namespace sf;

namespace {

std::string Doc(const std::string& layerBody, const std::string& outer = "")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<WMS_Capabilities version=\"1.3.0\" xmlns=\"http://www.opengis.net/wms\">"
           "<Service><Name>WMS</Name></Service><Capability><Layer><Title>root</Title>"
        + outer + "<Layer queryable=\"1\"><Name>kdmx_sr_bref</Name>" + layerBody
        + "<Style><Name>radar_reflectivity</Name></Style></Layer></Layer></Capability></WMS_Capabilities>";
}

const std::string kBox = "<EX_GeographicBoundingBox><westBoundLongitude>-99.3231</westBoundLongitude>"
                         "<eastBoundLongitude>-88.1231</eastBoundLongitude><southBoundLatitude>37.4317"
                         "</southBoundLatitude><northBoundLatitude>45.8317</northBoundLatitude></EX_GeographicBoundingBox>";
const std::string kTime = "<Dimension name=\"time\" default=\"2026-12-09T16:18:00.000Z\" units=\"ISO8601\" "
                          "nearestValue=\"1\">2026-12-09T15:18:00.000Z/2026-12-09T16:18:00.000Z/PT5M</Dimension>";

} // namespace

TEST(WmsTime, IsoUtcWithOptionalFraction)
{
    TDateTime t = 0;
    ASSERT_TRUE(ParseWmsTime("2026-12-09T16:18:00Z", t));
    EXPECT_EQ("12/09/2026 16:18:00", FormatDateTime("mm/dd/yyyy hh:nn:ss", t));
    TDateTime f = 0;
    ASSERT_TRUE(ParseWmsTime("2026-12-09T16:18:00.500Z", f));
    EXPECT_NEAR(0.5, (f - t) / kOneSecond, 1e-6);
    ASSERT_TRUE(ParseWmsTime("2026-12-09T16:18:00.123456789+00:00", f));
    EXPECT_NEAR(0.123, (f - t) / kOneSecond, 1e-6);
    for (const char* bad : {"2026-12-09T16:18:00", "2026-12-09T16:18:00.Z", "2026-12-09T16:18:00+01:00",
                            "2026-02-30T16:18:00Z", "2026-12-09 16:18:00Z", "2026-12-09T16:18:00.1234567890Z", ""})
        EXPECT_FALSE(ParseWmsTime(bad, f)) << bad;
}

TEST(WmsCapabilitiesReader, TimeDefaultAndBoxOfTheNamedLayer)
{
    TWmsCapabilities caps;
    std::string reason;
    ASSERT_TRUE(ParseWmsCapabilities(Doc(kBox + kTime), "kdmx_sr_bref", caps, reason)) << reason;
    EXPECT_EQ("2026-12-09T16:18:00.000Z", caps.Time);
    EXPECT_EQ("12/09 16:18", FormatDateTime("mm/dd hh:nn", caps.ImageTime));
    EXPECT_DOUBLE_EQ(-99.3231, caps.Box.West);
    EXPECT_DOUBLE_EQ(-88.1231, caps.Box.East);
    EXPECT_DOUBLE_EQ(37.4317, caps.Box.South);
    EXPECT_DOUBLE_EQ(45.8317, caps.Box.North);
    // A workspace-wide document names the layer with its workspace.
    std::string ws = Doc(kBox + kTime);
    ws.replace(ws.find("<Name>kdmx_sr_bref"), 18, "<Name>kdmx:kdmx_sr_bref");
    EXPECT_TRUE(ParseWmsCapabilities(ws, "kdmx_sr_bref", caps, reason)) << reason;
}

TEST(WmsCapabilitiesReader, DimensionAndBoxInheritedFromTheParentLayer)
{
    TWmsCapabilities caps;
    std::string reason;
    ASSERT_TRUE(ParseWmsCapabilities(Doc("", kBox + kTime), "kdmx_sr_bref", caps, reason)) << reason;
    EXPECT_EQ("2026-12-09T16:18:00.000Z", caps.Time);
    EXPECT_DOUBLE_EQ(-99.3231, caps.Box.West);
}

TEST(WmsCapabilitiesReader, OlderFormExtentAndLatLonBox)
{
    const std::string doc = "<?xml version=\"1.0\"?><WMT_MS_Capabilities version=\"1.1.1\"><Capability><Layer>"
                            "<Layer><Name>conus_bref_qcd</Name><LatLonBoundingBox minx=\"-126\" miny=\"23\" "
                            "maxx=\"-65\" maxy=\"50\"/><Dimension name=\"time\" units=\"ISO8601\"/>"
                            "<Extent name=\"time\" default=\"2026-12-09T16:20:00Z\">x</Extent></Layer>"
                            "</Layer></Capability></WMT_MS_Capabilities>";
    TWmsCapabilities caps;
    std::string reason;
    ASSERT_TRUE(ParseWmsCapabilities(doc, "conus_bref_qcd", caps, reason)) << reason;
    EXPECT_EQ("2026-12-09T16:20:00Z", caps.Time);
    EXPECT_DOUBLE_EQ(-126, caps.Box.West);
    EXPECT_DOUBLE_EQ(50, caps.Box.North);
}

TEST(WmsCapabilitiesReader, EveryRefusalSaysWhy)
{
    const auto reasonOf = [](const std::string& text, const std::string& layer = "kdmx_sr_bref") {
        TWmsCapabilities caps;
        std::string reason;
        EXPECT_FALSE(ParseWmsCapabilities(text, layer, caps, reason)) << text;
        return reason;
    };
    EXPECT_EQ("layer kdmx_sr_bref has no time dimension", reasonOf(Doc(kBox)));
    EXPECT_EQ("time dimension of layer kdmx_sr_bref has no default",
              reasonOf(Doc(kBox + "<Dimension name=\"time\" units=\"ISO8601\">x</Dimension>")));
    EXPECT_EQ("time default \"yesterday\" is not an ISO 8601 UTC time",
              reasonOf(Doc(kBox + "<Dimension name=\"time\" default=\"yesterday\"/>")));
    EXPECT_EQ("layer kdmx_sr_bref has no geographic bounding box", reasonOf(Doc(kTime)));
    // A box turned inside out is no box.
    std::string flipped = Doc(kBox + kTime);
    flipped.replace(flipped.find("-99.3231"), 8, "-80.0000");
    EXPECT_EQ("layer kdmx_sr_bref has no geographic bounding box", reasonOf(flipped));
    EXPECT_EQ(0u, reasonOf("<html><body>502 Bad Gateway</body>").find("not well-formed XML at line 1"));
    EXPECT_EQ("no layer kdmx_sr_bref in the capabilities", reasonOf("<WMS_Capabilities/>"));
    EXPECT_EQ("service exception: Could not find layer kdmx_sr_bref",
              reasonOf("<ServiceExceptionReport><ServiceException code=\"LayerNotDefined\">Could not find layer "
                       "kdmx_sr_bref</ServiceException></ServiceExceptionReport>"));
    EXPECT_EQ("larger than 262144 bytes", reasonOf(std::string(kMaxCapabilitiesBytes + 1, ' ')));
    std::string deep;
    for (int i = 0; i < 100; ++i)
        deep += "<a>";
    EXPECT_EQ("nested deeper than 64 elements", reasonOf(deep));
    // Two timed layers and neither named as asked: no guess.
    std::string two = Doc(kBox + kTime, "<Layer><Name>kdmx_bvel</Name>" + kBox + kTime + "</Layer>");
    EXPECT_EQ("no layer kdmx_other in the capabilities", reasonOf(two, "kdmx_other"));
}

TEST(WmsCapabilitiesReader, OneTimedLayerUnderAnotherNameIsTaken)
{
    TWmsCapabilities caps;
    std::string reason;
    EXPECT_TRUE(ParseWmsCapabilities(Doc(kBox + kTime), "kdmx_sr_bref_renamed", caps, reason)) << reason;
}
