// Regional formats built from locale data, and date-time encoding and formatting.
#include <gtest/gtest.h>

#include "platform/datetime.h"
#include "platform/regional.h"

namespace {

class WithFormats : public ::testing::Test {
  protected:
    void TearDown() override { SetFormatSettings(TFormatSettings()); }
    void Use(const TFormatSettings& fs) { SetFormatSettings(fs); }
};

TEST(Regional, CLocaleGivesTheDefaults) {
    const TFormatSettings fs = ReadLocaleFormatSettings();  // ctest runs with LC_ALL=C
    EXPECT_EQ(fs.DecimalSeparator, '.');
    EXPECT_EQ(fs.DateSeparator, '/');
    EXPECT_EQ(fs.ShortDateFormat, "mm/dd/yyyy");
    EXPECT_EQ(fs.LongTimeFormat, "hh:mm:ss");
    EXPECT_EQ(fs.TimeAMString, "AM");
    EXPECT_EQ(fs.TimePMString, "PM");
}

TEST(Regional, LocaleFormatsBecomePatterns) {
    TFormatSettings ru = MakeFormatSettings(',', "%d.%m.%Y", "%H:%M:%S", "", "");
    EXPECT_EQ(ru.DecimalSeparator, ',');
    EXPECT_EQ(ru.DateSeparator, '.');
    EXPECT_EQ(ru.ShortDateFormat, "dd/mm/yyyy");
    EXPECT_EQ(ru.LongTimeFormat, "hh:mm:ss");
    // A two-digit year is widened: the century is never lost.
    TFormatSettings us = MakeFormatSettings('.', "%m/%d/%y", "%I:%M:%S %p", "AM", "PM");
    EXPECT_EQ(us.ShortDateFormat, "mm/dd/yyyy");
    EXPECT_EQ(us.LongTimeFormat, "hh:mm:ss ampm");
    TFormatSettings iso = MakeFormatSettings('.', "%F", "%T", "", "");
    EXPECT_EQ(iso.ShortDateFormat, "yyyy/mm/dd");
    EXPECT_EQ(iso.DateSeparator, '-');
    EXPECT_EQ(MakeFormatSettings('.', "%Y-%m-%d", "%p %l:%M:%S", "vorm", "nachm").LongTimeFormat,
              "ampm h:mm:ss");
    // What cannot be read keeps the defaults.
    TFormatSettings odd = MakeFormatSettings('.', "%A", "", "", "");
    EXPECT_EQ(odd.ShortDateFormat, "mm/dd/yyyy");
    EXPECT_EQ(odd.LongTimeFormat, "hh:mm:ss");
}

TEST(Regional, UpperCasesLatinLettersOnly) {
    EXPECT_EQ(RegionalUpperCase("date_01 \xE0\xFF z"), "DATE_01 \xE0\xFF Z");
}

TEST(DateTime, EncodesAndDecodesDayNumbers) {
    TDateTime d = -1;
    ASSERT_TRUE(TryEncodeDate(1899, 12, 30, d));
    EXPECT_EQ(d, 0.0);
    ASSERT_TRUE(TryEncodeDate(1, 1, 1, d));
    EXPECT_EQ(d, 1.0 - kDateDelta);
    ASSERT_TRUE(TryEncodeDate(2003, 3, 5, d));
    EXPECT_EQ(d, 37685.0);
    EXPECT_FALSE(TryEncodeDate(2003, 2, 29, d));
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
    for (int y : {1, 33, 1600, 1899, 1900, 2000, 2024, 9999}) {
        for (int m = 1; m <= 12; ++m) {
            ASSERT_TRUE(TryEncodeDate(y, m, DaysInMonth(y, m), d));
            int yy, mm, dd;
            DecodeDate(d, yy, mm, dd);
            EXPECT_EQ(yy * 10000 + mm * 100 + dd, y * 10000 + m * 100 + DaysInMonth(y, m));
        }
    }
    TDateTime t = 0;
    ASSERT_TRUE(TryEncodeTime(23, 59, 59, 999, t));
    int h, n, s, ms;
    DecodeTime(t, h, n, s, ms);
    EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 235959999);
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, t));
}

TEST_F(WithFormats, FormatsByPattern) {
    TDateTime d = 0, t = 0;
    TryEncodeDate(2003, 3, 5, d);
    TryEncodeTime(14, 7, 9, 500, t);
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd", d), "2003/03/05");
    EXPECT_EQ(FormatDateTime("d/m/yy hh:mm:ss", d + t), "5/3/03 14:07:09");
    EXPECT_EQ(FormatDateTime("h:nn 'at' ampm", d + t), "2:07 at PM");
    EXPECT_EQ(FormatDateTime("hh:mm am/pm", d), "12:00 am");
    Use(MakeFormatSettings(',', "%d.%m.%Y", "%H:%M:%S", "", ""));
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd", d), "2003.03.05");
    TryEncodeDate(33, 1, 1, d);
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd", d), "0033.01.01");
}

TEST_F(WithFormats, DateTimeTextShowsTimeUnlessMidnight) {
    TDateTime d = 0, t = 0;
    TryEncodeDate(2026, 12, 8, d);
    EXPECT_EQ(DateTimeToText(d), "12/08/2026");
    TryEncodeTime(0, 0, 1, 0, t);
    EXPECT_EQ(DateTimeToText(d + t), "12/08/2026 00:00:01");
    TryEncodeTime(0, 0, 0, 400, t);  // milliseconds do not count
    EXPECT_EQ(DateTimeToText(d + t), "12/08/2026");
    Use(MakeFormatSettings('.', "%m/%d/%y", "%I:%M:%S %p", "AM", "PM"));
    TryEncodeTime(13, 5, 0, 0, t);
    EXPECT_EQ(DateTimeToText(d + t), "12/08/2026 01:05:00 PM");
}

}  // namespace
