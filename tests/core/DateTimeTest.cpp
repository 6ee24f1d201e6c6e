#include "core/DateTime.h"
#include <gtest/gtest.h>

namespace sf {
namespace {

TDateFields Fields(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    TDateFields f;
    f.Year = y, f.Month = mo, f.Day = d, f.Hour = h, f.Minute = mi, f.Second = s, f.Ms = ms;
    return f;
}

void ExpectFields(const TDateFields& f, int y, int mo, int d, int h, int mi, int s, int ms)
{
    EXPECT_EQ(f.Year, y);
    EXPECT_EQ(f.Month, mo);
    EXPECT_EQ(f.Day, d);
    EXPECT_EQ(f.Hour, h);
    EXPECT_EQ(f.Minute, mi);
    EXPECT_EQ(f.Second, s);
    EXPECT_EQ(f.Ms, ms);
}

TEST(EncodeDateTime, CountsDaysFrom30December1899)
{
    EXPECT_DOUBLE_EQ(EncodeDateTime(Fields(1899, 12, 30)), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(Fields(1899, 12, 31)), 1.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(Fields(1900, 1, 1)), 2.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(Fields(1900, 3, 1)), 61.0); // 1900 is not a leap year
    EXPECT_DOUBLE_EQ(EncodeDateTime(Fields(1970, 1, 1)), 25569.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(Fields(2000, 3, 1)), 36586.0); // 2000 is a leap year
    EXPECT_DOUBLE_EQ(EncodeDateTime(Fields(2009, 3, 5, 12)), 39877.5);
}

TEST(EncodeDateTime, TimeBeforeTheEpochCountsAwayFromZero)
{
    EXPECT_DOUBLE_EQ(EncodeDateTime(Fields(1899, 12, 29, 6)), -1.25);
    ExpectFields(DecodeDateTime(-1.25), 1899, 12, 29, 6, 0, 0, 0);
}

TEST(DecodeDateTime, RoundTripsEveryField)
{
    const TDateFields f = Fields(2009, 4, 15, 23, 15, 2, 345);
    ExpectFields(DecodeDateTime(EncodeDateTime(f)), 2009, 4, 15, 23, 15, 2, 345);
    ExpectFields(DecodeDateTime(EncodeDateTime(Fields(2024, 2, 29, 0, 0, 0, 1))), 2024, 2, 29, 0, 0, 0, 1);
    ExpectFields(DecodeDateTime(EncodeDateTime(Fields(1600, 12, 31, 1, 2, 3))), 1600, 12, 31, 1, 2, 3, 0);
}

TEST(DecodeDateTime, RoundsToTheMillisecondAndCarriesIntoTheNextDay)
{
    // Half a millisecond before midnight rounds up to the next day, never to 24:00.
    const TDateTime almostMidnight = EncodeDateTime(Fields(2009, 12, 31)) + (86400000.0 - 0.4) / 86400000.0;
    ExpectFields(DecodeDateTime(almostMidnight), 2010, 1, 1, 0, 0, 0, 0);
    EXPECT_EQ(FormatDateTime("mm/dd/yyyy hh:nn:ss", almostMidnight), "01/01/2010 00:00:00");
    // A value just below a whole second (floating-point error) reads as that second.
    const TDateTime t = EncodeDateTime(Fields(2009, 3, 5, 10, 20, 30)) - 1e-11;
    ExpectFields(DecodeDateTime(t), 2009, 3, 5, 10, 20, 30, 0);
}

TEST(FormatDateTime, ThePatternsTheProgramUses)
{
    const TDateTime t = EncodeDateTime(Fields(2009, 4, 5, 7, 8, 9));
    EXPECT_EQ(FormatDateTime("mm/dd/yyyy hh:nn:ss", t), "04/05/2009 07:08:09");
    EXPECT_EQ(FormatDateTime("mm/dd hh:nn", t), "04/05 07:08");
    EXPECT_EQ(FormatDateTime("hh:nn:ss", t), "07:08:09");
    EXPECT_EQ(FormatDateTime("hh:nn", t), "07:08");
    EXPECT_EQ(FormatDateTime("nn:ss", t), "08:09");
    EXPECT_EQ(FormatDateTime("mm/dd/yyyy hh:nn", t), "04/05/2009 07:08");
    EXPECT_EQ(FormatDateTime("yyyymmddhhnnss", t), "20090405070809");
}

TEST(FormatDateTime, MmAfterHhIsMinutes)
{
    const TDateTime t = EncodeDateTime(Fields(2009, 4, 5, 7, 38, 9));
    EXPECT_EQ(FormatDateTime("hh:mm", t), "07:38");
    EXPECT_EQ(FormatDateTime("mm/dd/yyyy hh:mm:ss", t), "04/05/2009 07:38:09");
    EXPECT_EQ(FormatDateTime("hhmm", t), "0738");
    // A day token in between makes it the month again.
    EXPECT_EQ(FormatDateTime("hh dd mm", t), "07 05 04");
}

TEST(FormatDateTime, ShortTokensQuotesAndOtherCharacters)
{
    const TDateTime t = EncodeDateTime(Fields(2009, 4, 5, 7, 8, 9, 45));
    EXPECT_EQ(FormatDateTime("m/d/yy h:n:s", t), "4/5/09 7:8:9");
    EXPECT_EQ(FormatDateTime("ss.zzz", t), "09.045");
    EXPECT_EQ(FormatDateTime("'hh' hh", t), "hh 07");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd_", t), "2009-04-05_");
    EXPECT_EQ(FormatDateTime("ddd mmm", t), "Sun Apr");
}

TEST(TryParseListDateTime, ReadsTheListForm)
{
    TDateTime t = 0;
    ASSERT_TRUE(TryParseListDateTime("03/05/2009 23:15:02", t));
    ExpectFields(DecodeDateTime(t), 2009, 3, 5, 23, 15, 2, 0);
    ASSERT_TRUE(TryParseListDateTime("12/30/1899 00:00:00", t));
    EXPECT_DOUBLE_EQ(t, 0.0);
    ASSERT_TRUE(TryParseListDateTime("2/29/2008 1:02:03", t));
    ExpectFields(DecodeDateTime(t), 2008, 2, 29, 1, 2, 3, 0);
    EXPECT_EQ(FormatDateTime("mm/dd/yyyy hh:nn:ss", t), "02/29/2008 01:02:03");
}

TEST(TryParseListDateTime, FailsCleanlyOnBadText)
{
    TDateTime t = 42;
    for (const char* bad : {"", "garbage", "03/05/2009", "03/05/2009 23:15", "13/05/2009 00:00:00",
                            "00/05/2009 00:00:00", "02/30/2009 00:00:00", "02/29/2009 00:00:00",
                            "03/05/2009 24:00:00", "03/05/2009 23:60:00", "03/05/2009 23:00:60",
                            "03/05/09 23:00:00", "03/05/2009 23:00:00x", "03-05-2009 23:00:00",
                            "003/05/2009 23:00:00", "03/05/2009T23:00:00", "-3/05/2009 23:00:00"}) {
        EXPECT_FALSE(TryParseListDateTime(bad, t)) << bad;
        EXPECT_EQ(t, 42) << bad;
    }
}

} // namespace
} // namespace sf
