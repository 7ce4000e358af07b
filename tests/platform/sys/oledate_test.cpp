#include "platform/sys/oledate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

using namespace plat;

TEST(SysOleDate, TextOfKnownDates) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "12/30/1899 00:00:00"},
        {2.5, "01/01/1900 12:00:00"},
        {1.0, "12/31/1899 00:00:00"},
        {-1.25, "12/29/1899 06:00:00"},
        {-0.5, "12/30/1899 12:00:00"},
        {-700.75, "01/29/1898 18:00:00"},
        {36934.25, "02/12/2001 06:00:00"},
        {60.0, "02/28/1900 00:00:00"},
        {61.0, "03/01/1900 00:00:00"},
        {2958465.0, "12/31/9999 00:00:00"},
        {1.0 - 0.1 / 86400, "12/31/1899 00:00:00"}, // rounds into the next day
        {-657434.0, "01/01/0100 00:00:00"},
        // The first day's times lie below the first midnight's value.
        {-657434.0 - 1.0 / 86400, "01/01/0100 00:00:01"},
        {-657434.75, "01/01/0100 18:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(format_ole_date(c.value), c.text) << c.value;
        std::string err;
        auto back = parse_ole_date(c.text, &err);
        ASSERT_TRUE(back) << c.text << ": " << err;
        // Negative dates with a time of day are the one place where the
        // value and its text are not one to one (-0.5 and 0.5 show alike).
        if (c.value >= 0 && std::fabs(c.value - std::round(c.value * 86400) / 86400) < 1e-9) {
            EXPECT_NEAR(*back, c.value, 1e-9) << c.text;
        }
    }
    EXPECT_NEAR(*parse_ole_date("12/29/1899 06:00:00"), -1.25, 1e-9);
    EXPECT_NEAR(*parse_ole_date("01/29/1898 18:00:00"), -700.75, 1e-9);
}

TEST(SysOleDate, CalendarRoundTripEverySecondOfADay) {
    for (int s = 0; s < 86400; s += 7) {
        CalendarTime c{2003, 7, 15, s / 3600, s / 60 % 60, s % 60};
        OleDate d = 0;
        ASSERT_TRUE(ole_date_from_calendar(c, d));
        CalendarTime back;
        ASSERT_TRUE(calendar_from_ole_date(d, back));
        EXPECT_EQ(back.hour * 3600 + back.minute * 60 + back.second, s);
        EXPECT_EQ(back.day, 15);
        EXPECT_EQ(back.day_of_week, 2); // a Tuesday
    }
}

TEST(SysOleDate, BadTextAndValuesFailClearly) {
    for (const char* bad : {"", "   ", "13/01/2000 00:00:00", "02/30/2001 00:00:00", "01/01/2000 24:00:00",
                            "01/01/2000 00:60:00", "1/1/2000x", "01-01-2000 00:00:00", "01/01/2000  00:00:00",
                            "01/01/2000 00:00", "aa/bb/cccc dd:ee:ff", "01/01/12345 00:00:00",
                            "01/01/0099 00:00:00", "001/01/2000 00:00:00"}) {
        std::string err;
        EXPECT_FALSE(parse_ole_date(bad, &err)) << bad;
        EXPECT_NE(err.find("MM/DD/YYYY"), std::string::npos) << bad;
    }
    // The shorter stored forms: a date alone, a time alone.
    EXPECT_EQ(parse_ole_date(" 1/2/1999 "), 36162.0);
    EXPECT_NEAR(*parse_ole_date("06:00:00"), 0.25, 1e-12);

    CalendarTime c;
    EXPECT_FALSE(calendar_from_ole_date(std::numeric_limits<double>::quiet_NaN(), c));
    EXPECT_FALSE(calendar_from_ole_date(3e6, c));
    EXPECT_FALSE(calendar_from_ole_date(-7e5, c));
    EXPECT_FALSE(calendar_from_ole_date(-657435.0, c)); // 12/31/0099
    EXPECT_EQ(format_ole_date(1e9), "");
    OleDate d = 0;
    EXPECT_FALSE(ole_date_from_calendar(CalendarTime{2001, 2, 29}, d));
}

TEST(SysOleDate, FileTimesGoThroughLocalTime) {
    // 2001-06-22 14:05:00 UTC as a file time.
    CalendarTime utc{2001, 6, 22, 14, 5, 0};
    FileTime ft;
    ASSERT_TRUE(file_time_from_calendar(utc, false, ft));
    EXPECT_EQ(ft.ticks, 126376923000000000ull);

    const char* old_tz = std::getenv("TZ");
    std::string saved = old_tz ? old_tz : "";
    ::setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    ::tzset();
    OleDate d = 0;
    ASSERT_TRUE(ole_date_from_file_time(ft, d));
    EXPECT_EQ(format_ole_date(d), "06/22/2001 10:05:00"); // daylight time, UTC-4
    FileTime back;
    ASSERT_TRUE(file_time_from_ole_date(d, back));
    EXPECT_EQ(back, ft);
    CalendarTime winter{2001, 1, 10, 9, 0, 0};
    ASSERT_TRUE(file_time_from_calendar(winter, true, back));
    CalendarTime as_utc;
    ASSERT_TRUE(calendar_from_file_time(back, false, as_utc));
    EXPECT_EQ(as_utc.hour, 14); // standard time, UTC-5
    ::setenv("TZ", saved.c_str(), 1);
    ::tzset();

    EXPECT_FALSE(file_time_from_ole_date(-150112.0, back)); // 1489: before any file time
}
