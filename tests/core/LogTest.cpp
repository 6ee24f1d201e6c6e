#include "CoreTestEnv.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "core/Text.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

class LogTest : public ::testing::Test {
protected:
    TCoreEnv E;
    std::vector<std::string> LogLines() const { return SplitLines(E.Dir.Read("R20120315ErrorLog.txt")); }
};

TMemoryStatus Sample()
{
    TMemoryStatus m;
    m.Load = 42;
    m.TotalPhys = 3ull << 30;      // 3 GiB
    m.AvailPhys = 1536ull * 1024 + 512; // a half kilobyte: to the even neighbour
    m.TotalPageFile = 2048ull * 1024;
    m.AvailPageFile = 1024ull * 1024;
    m.TotalVirtual = 1ull << 47;
    m.AvailVirtual = (1ull << 47) - 3 * 1024 * 1024;
    return m;
}

} // namespace

TEST(MemoryText, KilobytesRoundHalfToEven)
{
    EXPECT_EQ(KiloBytes(0), 0u);
    EXPECT_EQ(KiloBytes(511), 0u);
    EXPECT_EQ(KiloBytes(512), 0u);
    EXPECT_EQ(KiloBytes(513), 1u);
    EXPECT_EQ(KiloBytes(1536), 2u);
    EXPECT_EQ(KiloBytes(2560), 2u);
    EXPECT_EQ(KiloBytes(3584), 4u);
    EXPECT_EQ(KiloBytes(3ull << 30), 3145728u);
}

TEST(MemoryText, LongAndShortForms)
{
    EXPECT_EQ(MemoryStatusLongText(Sample()),
              "Mem load=42,Tot phys=3145728k,Mem phys avail =1536k,tot page file=2048k,Avail page file=1024k,"
              "Total Virtual=137438953472k,Avail Virtual=137438950400k,(Page in use=1024k)");
    EXPECT_EQ(MemoryStatusShortText(Sample()),
              "Mem load=42,Mem phys avail=1536k,Total Virtual=137438953472k,Page in use=1024k");
}

TEST(MemoryText, ParsedFromProcTexts)
{
    const std::string meminfo = "MemTotal:        8000000 kB\nMemFree:          100000 kB\nMemAvailable:    "
                                "2000000 kB\nSwapTotal:       1000000 kB\nSwapFree:         250000 kB\n";
    const std::string status = "Name:\ttest\nVmPeak:\t  999 kB\nVmSize:\t  409600 kB\n";
    const TMemoryStatus m = ParseMemoryStatus(meminfo, status, 1ull << 47);
    EXPECT_EQ(m.Load, 75u);
    EXPECT_EQ(m.TotalPhys, 8000000ull * 1024);
    EXPECT_EQ(m.AvailPhys, 2000000ull * 1024);
    EXPECT_EQ(m.TotalPageFile, 1000000ull * 1024);
    EXPECT_EQ(m.AvailPageFile, 250000ull * 1024);
    EXPECT_EQ(m.TotalVirtual, 1ull << 47);
    EXPECT_EQ(m.AvailVirtual, (1ull << 47) - 409600ull * 1024);
}

TEST(MemoryText, ThisMachineGivesAConsistentReading)
{
    const TMemoryStatus m = ReadSystemMemory();
    EXPECT_GT(m.TotalPhys, 0u);
    EXPECT_LE(m.AvailPhys, m.TotalPhys);
    EXPECT_LE(m.Load, 100u);
    EXPECT_GT(m.TotalVirtual, m.AvailVirtual);
}

TEST(MemoryText, ACachedReadingIsTakenAgainOnlyOnceItIsOld)
{
    using namespace std::chrono;
    int reads = 0;
    steady_clock::time_point now{seconds(100)};
    TMemoryReadingCache cache([&] {
        TMemoryStatus m;
        m.Load = uint32_t(++reads);
        return m;
    }, milliseconds(500), [&] { return now; });
    EXPECT_EQ(cache().Load, 1u);
    now += milliseconds(499);
    EXPECT_EQ(cache().Load, 1u); // a cycle's records share one reading
    now += milliseconds(1);
    EXPECT_EQ(cache().Load, 2u);
    now -= seconds(5); // a clock that went back never keeps a reading forever
    EXPECT_EQ(cache().Load, 3u);
    EXPECT_EQ(reads, 3);
}

TEST(LogLine, TimePrefixUnlessTheMessageStartsWithOne)
{
    const TDateTime t = At(2012, 3, 15, 7, 15, 0);
    EXPECT_EQ(LogLineText("07:15:00 already timed", t), "07:15:00 already timed");
    EXPECT_EQ(LogLineText("  hello  ", t), "07:15:00 hello");
    EXPECT_EQ(LogLineText("C:\\Prog failed", t), "07:15:00 C:\\Prog failed");
    EXPECT_EQ(LogLineText("ab:c", t), "ab:c");
}

TEST_F(LogTest, NothingIsWrittenWhileLoggingIsOff)
{
    AppendLog(E.S, "message");
    EXPECT_EQ(E.Dir.Read("R20120315ErrorLog.txt"), "");
}

TEST_F(LogTest, FirstMessageOfTheDayStartsTheFile)
{
    E.S.Logerrors1.Checked = true;
    E.S.QuorUnderlayPath = "/q/Quor Underlays/";
    AppendLog(E.S, "Web site dir unavailable");
    AppendLog(E.S, "second");
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    // Local time is UTC - 5 h.
    EXPECT_EQ(lines[0], "07:00:00 Stormfetch 2.9.1 server mode.  QuorUnderlayPath = /q/Quor Underlays/");
    EXPECT_EQ(lines[1], MemoryStatusLongText(E.Memory));
    EXPECT_EQ(lines[2], "07:00:00 Web site dir unavailable");
    EXPECT_EQ(lines[3], "07:00:00 second");
    EXPECT_NE(E.Dir.Read("R20120315ErrorLog.txt").find("second\r\n"), std::string::npos);
    EXPECT_DOUBLE_EQ(E.S.MemReportTime, E.Clock.LocalNow());
}

TEST_F(LogTest, ModeMessageIsNotRepeatedInANewFile)
{
    E.S.Logerrors1.Checked = true;
    E.S.ModeGrp.ItemIndex = 1;
    AppendLog(E.S, "Stormfetch 2.9.1 in client mode");
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "07:00:00 Stormfetch 2.9.1 client mode.  QuorUnderlayPath = ");
    AppendLog(E.S, "Stormfetch 2.9.1 in client mode");
    EXPECT_EQ(LogLines().size(), 3u);
}

TEST_F(LogTest, ANewDayStartsANewFile)
{
    E.S.Logerrors1.Checked = true;
    AppendLog(E.S, "one");
    E.Clock.Step(1);
    AppendLog(E.S, "two");
    EXPECT_EQ(SplitLines(E.Dir.Read("R20120316ErrorLog.txt")).size(), 3u);
    EXPECT_EQ(LogLines().size(), 3u);
}

TEST_F(LogTest, TogglingLogErrors)
{
    Logerrors1Click(E.S); // on: the file starts, the "on" line names a mode and is left out
    EXPECT_TRUE(E.S.Logerrors1.Checked);
    EXPECT_EQ(LogLines().size(), 2u);
    EXPECT_EQ(TIniText(E.Dir.Read("stormfetch.ini")).ReadInteger("User", "LogErrors", -1), 1);
    Logerrors1Click(E.S);
    EXPECT_FALSE(E.S.Logerrors1.Checked);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "07:00:00 Stormfetch 2.9.1 Server mode, errorlog off");
    EXPECT_EQ(TIniText(E.Dir.Read("stormfetch.ini")).ReadInteger("User", "LogErrors", -1), 0);
    Logerrors1Click(E.S);
    ASSERT_FALSE(LogLines().empty());
    EXPECT_EQ(LogLines().back(), "07:00:00 Stormfetch 2.9.1 Server mode, errorlog on");
}

TEST_F(LogTest, ReadingsUpdateTheLatestLoad)
{
    E.Memory.Load = 63;
    EXPECT_EQ(MemoryStatusShort(E.S), MemoryStatusShortText(E.Memory));
    EXPECT_EQ(E.S.LastMemLoad, 63);
    E.S.ReadMemory = nullptr; // falls back to the machine's reading
    MemoryStatusLong(E.S);
    EXPECT_TRUE(E.S.ReadMemory);
    EXPECT_GE(E.S.LastMemLoad, 0);
}

TEST_F(LogTest, MemoryLabelTurnsRedAt85)
{
    ShowMemoryLabel(E.S, 84);
    EXPECT_EQ(E.S.HeapLbl.Caption(), "16% memory available");
    EXPECT_EQ(E.S.HeapLbl.Color, clBlack);
    ShowMemoryLabel(E.S, 85);
    EXPECT_EQ(E.S.HeapLbl.Caption(), "Warning, 15% memory remaining");
    EXPECT_EQ(E.S.HeapLbl.Color, clRed);
}
