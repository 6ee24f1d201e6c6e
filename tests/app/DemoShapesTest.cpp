// The demo's warning shapefile sets must be files a shapefile reader accepts.
#include "app/DemoServer.h"
#include "app/DemoShapes.h"
#include <gtest/gtest.h>
#include <cstring>

using namespace sf;

namespace {

const TDateTime kNow = EncodeDateTime({2026, 12, 7, 21, 9, 42, 0});

uint32_t BE32(const std::string& b, size_t at)
{
    return (uint32_t)(uint8_t)b[at] << 24 | (uint32_t)(uint8_t)b[at + 1] << 16 | (uint32_t)(uint8_t)b[at + 2] << 8 |
           (uint8_t)b[at + 3];
}
uint32_t LE32(const std::string& b, size_t at)
{
    return (uint32_t)(uint8_t)b[at] | (uint32_t)(uint8_t)b[at + 1] << 8 | (uint32_t)(uint8_t)b[at + 2] << 16 |
           (uint32_t)(uint8_t)b[at + 3] << 24;
}
uint16_t LE16(const std::string& b, size_t at) { return (uint16_t)((uint8_t)b[at] | (uint8_t)b[at + 1] << 8); }
double LEDouble(const std::string& b, size_t at)
{
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i)
        u = u << 8 | (uint8_t)b[at + i];
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

} // namespace

TEST(DemoShapes, EveryServedNameHasAConsistentShapefileSet)
{
    for (const char* stem : {"tor", "Svr", "FFW", "smw"}) {
        SCOPED_TRACE(stem);
        const std::string shp = DemoShapefile(std::string(stem) + ".shp", kNow);
        const std::string shx = DemoShapefile(std::string(stem) + ".shx", kNow);
        const std::string dbf = DemoShapefile(std::string(stem) + ".dbf", kNow);
        ASSERT_GT(shp.size(), 100u);
        ASSERT_EQ(shx.size(), 108u); // header + one index entry
        // Main headers: file code, length in 16-bit words, version, polygon type.
        for (const std::string* f : {&shp, &shx}) {
            EXPECT_EQ(BE32(*f, 0), 9994u);
            EXPECT_EQ(BE32(*f, 24) * 2, f->size());
            EXPECT_EQ(LE32(*f, 28), 1000u);
            EXPECT_EQ(LE32(*f, 32), 5u);
        }
        // The index points at the one record, whose length matches the .shp.
        EXPECT_EQ(BE32(shx, 100) * 2, 100u);
        EXPECT_EQ(BE32(shx, 104), BE32(shp, 104));
        EXPECT_EQ(BE32(shp, 100), 1u);
        EXPECT_EQ(100 + 8 + BE32(shp, 104) * 2, shp.size());
        const uint32_t points = LE32(shp, 108 + 40);
        EXPECT_EQ(shp.size(), 108u + 44 + 4 + points * 16);
        // A closed ring inside the header's box.
        const size_t first = 108 + 48;
        const size_t last = first + (points - 1) * 16;
        EXPECT_EQ(LEDouble(shp, first), LEDouble(shp, last));
        EXPECT_EQ(LEDouble(shp, first + 8), LEDouble(shp, last + 8));
        EXPECT_GE(LEDouble(shp, first), LEDouble(shp, 36));
        EXPECT_LE(LEDouble(shp, first), LEDouble(shp, 52));
        // dBASE: one record, header and record lengths add up, terminators in place;
        // over 90 bytes, so the run reports its size rather than "dbf error".
        EXPECT_EQ(dbf[0], 0x03);
        EXPECT_EQ(LE32(dbf, 4), 1u);
        const uint16_t header = LE16(dbf, 8), record = LE16(dbf, 10);
        EXPECT_EQ(dbf[header - 1], 0x0D);
        EXPECT_EQ(dbf.size(), header + record + 1u);
        ASSERT_FALSE(dbf.empty());
        EXPECT_EQ(dbf.back(), 0x1A);
        EXPECT_GT(dbf.size(), 90u);
    }
    EXPECT_TRUE(DemoShapefile("lsr.shp", kNow).empty());
    EXPECT_TRUE(DemoShapefile("tor", kNow).empty());
}

TEST(DemoShapes, ServedUnderTheShapefileFolder)
{
    TDemoRadarSource none;
    auto a = DemoAnswer(std::string(kDemoShapePath) + "Svr.dbf", kNow, none);
    EXPECT_EQ(a.Code, 200);
    EXPECT_EQ(a.Body, DemoShapefile("Svr.dbf", kNow));
    EXPECT_EQ(DemoAnswer(std::string(kDemoShapePath) + "xyz.dbf", kNow, none).Code, 404);
}
