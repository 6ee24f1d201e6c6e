// The iem layout's JSON reader: the scan time from meta.valid, and refusal of
// anything else, however it is shaped.
#include "core/DateTime.h"
#include "net/IemMeta.h"
#include "support/IemFixtures.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

TDateTime Utc(int y, int mo, int d, int h, int mi, int s)
{
    TDateFields f;
    f.Year = y, f.Month = mo, f.Day = d, f.Hour = h, f.Minute = mi, f.Second = s;
    return EncodeDateTime(f);
}

std::string Reason(const std::string& text)
{
    TDateTime t = 0;
    std::string reason;
    EXPECT_FALSE(IemImageTime(text, t, reason)) << text;
    return reason;
}

} // namespace

TEST(IemMeta, ReadsTheFieldsOfSiteAndCompositeFiles)
{
    TIemMeta m;
    std::string reason;
    ASSERT_TRUE(ParseIemMeta(kIemSiteJson, m, reason)) << reason;
    EXPECT_TRUE(m.HasValid);
    EXPECT_EQ("2010-05-10T14:19:00Z", m.Valid);
    EXPECT_EQ("N0B", m.Product);
    EXPECT_EQ("LOT", m.Site);

    TDateTime t = 0;
    ASSERT_TRUE(IemImageTime(kIemSiteJson, t, reason)) << reason;
    EXPECT_NEAR(Utc(2010, 5, 10, 14, 19, 0), t, 1e-9);
    ASSERT_TRUE(IemImageTime(kIemCompositeJson, t, reason)) << reason;
    EXPECT_NEAR(Utc(2010, 5, 10, 14, 15, 0), t, 1e-9);
}

TEST(IemMeta, ToleratesOtherMembersOrderAndEscapes)
{
    // Members before and after, nested values, arrays, escapes and a "valid" outside meta.
    const std::string text = " {\"valid\": \"1999-01-01T00:00:00Z\", \"list\": [1, -2.5e3, true, null, {\"a\": [[]]}],\n"
                             "  \"meta\": {\"vcp\": 35, \"site\": \"D\\u004dX\", \"extra\": {\"valid\": \"x\"},\n"
                             "            \"valid\": \"2021-02-28T23:59:59Z\"}, \"tail\": \"\\\"}\"}\r\n";
    TIemMeta m;
    std::string reason;
    ASSERT_TRUE(ParseIemMeta(text, m, reason)) << reason;
    EXPECT_EQ("DMX", m.Site);
    TDateTime t = 0;
    ASSERT_TRUE(IemImageTime(text, t, reason)) << reason;
    EXPECT_NEAR(Utc(2021, 2, 28, 23, 59, 59), t, 1e-9);
}

TEST(IemMeta, RefusesFilesWithoutAUsableTime)
{
    EXPECT_EQ("no meta.valid", Reason("{\"meta\": {\"product\": \"N0B\"}}"));
    EXPECT_EQ("no meta.valid", Reason("{\"meta\": {\"valid\": 20100510}}"));
    EXPECT_EQ("no meta.valid", Reason("{\"meta\": [\"valid\"], \"valid\": \"2010-05-10T14:19:00Z\"}"));
    EXPECT_EQ("no meta.valid", Reason("{}"));
    EXPECT_NE(std::string::npos, Reason("{\"meta\": {\"valid\": \"2010-05-10 14:19\"}}").find("is not a UTC time"));
    EXPECT_FALSE(Reason("{\"meta\": {\"valid\": \"2010-02-30T14:19:00Z\"}}").empty());
    // Not JSON at all: an error page, an empty file, a truncated or doubled object.
    EXPECT_EQ("the text is not a JSON object", Reason("<html><body>404 Not Found</body></html>"));
    EXPECT_EQ("the text is not a JSON object", Reason(""));
    EXPECT_FALSE(Reason("{\"meta\": {\"valid\": \"2010-05-10T14:19:00Z\"}").empty());
    EXPECT_EQ("text after the JSON object", Reason(kIemSiteJson + kIemSiteJson));
    EXPECT_FALSE(Reason("{\"meta\": {\"valid\": \"2010-05-10T14:19:00Z\" \"site\": \"LOT\"}}").empty());
    EXPECT_FALSE(Reason("{\"meta\": {\"valid\": \"2010-05-10T14:19:00Z\", }}").empty());
    EXPECT_EQ("a control character inside a JSON string",
              Reason(std::string("{\"meta\": {\"valid\": \"2010-05-10T14:19:00Z") + '\0' + "\"}}"));
}

TEST(IemMeta, HostileInputIsBoundedInDepthAndLength)
{
    std::string deep;
    for (int i = 0; i < 60000; ++i)
        deep += '[';
    EXPECT_EQ("JSON nested too deeply", Reason("{\"a\": " + deep));
    std::string deepObjects;
    for (int i = 0; i < kMaxIemMetaDepth + 1; ++i)
        deepObjects += "{\"a\": ";
    EXPECT_EQ("JSON nested too deeply", Reason(deepObjects));

    std::string big = "{\"pad\": \"" + std::string(kMaxIemMetaBytes, 'x') + "\", " + kIemSiteJson.substr(1);
    EXPECT_NE(std::string::npos, Reason(big).find("larger than"));
    // Just inside the limit the same file is read.
    std::string fits = "{\"pad\": \"" + std::string(kMaxIemMetaBytes - kIemSiteJson.size() - 20, 'x') + "\", "
                       + kIemSiteJson.substr(1);
    ASSERT_LE(fits.size(), kMaxIemMetaBytes);
    TDateTime t = 0;
    std::string reason;
    EXPECT_TRUE(IemImageTime(fits, t, reason)) << reason;
}

TEST(IemMeta, TimeTextMustBeExact)
{
    TDateTime t = 0;
    EXPECT_TRUE(ParseIemTime("2024-02-29T00:00:00Z", t));
    for (const char* bad : {"2023-02-29T00:00:00Z", "2010-13-10T14:19:00Z", "2010-05-10T24:00:00Z",
                            "2010-05-10T14:60:00Z", "2010-05-10T14:19:00", "2010-05-10T14:19:00+00:00",
                            "2010-05-10t14:19:00Z", "201A-05-10T14:19:00Z", "2010-05-00T14:19:00Z", ""})
        EXPECT_FALSE(ParseIemTime(bad, t)) << bad;
}
