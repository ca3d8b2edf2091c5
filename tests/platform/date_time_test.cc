#include "platform/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavelin {
namespace {

TEST(DateTimeTest, EncodesKnownSerialDays) {
  const struct {
    int year, month, day;
    double serial;
  } cases[] = {
      {1899, 12, 30, 0},     {1899, 12, 31, 1},       {1900, 1, 1, 2},
      {1900, 3, 1, 61},      {1970, 1, 1, 25569},     {2000, 2, 29, 36585},
      {2006, 12, 25, 39076}, {9999, 12, 31, 2958465}, {1, 1, 1, -693593},
  };
  for (const auto& c : cases) {
    TDateTime value = -1;
    ASSERT_TRUE(TryEncodeDate(c.year, c.month, c.day, &value)) << c.year << "-" << c.month;
    EXPECT_EQ(value, c.serial) << c.year << "-" << c.month << "-" << c.day;
    const DateParts parts = DecodeDate(value);
    EXPECT_EQ(parts.year, c.year);
    EXPECT_EQ(parts.month, c.month);
    EXPECT_EQ(parts.day, c.day);
  }
}

TEST(DateTimeTest, RejectsDatesOutsideTheCalendar) {
  const struct {
    int year, month, day;
  } cases[] = {{2023, 2, 29}, {1900, 2, 29}, {2100, 2, 29}, {2024, 4, 31}, {2024, 13, 1},
               {2024, 0, 1},  {2024, 1, 0},  {0, 1, 1},     {10000, 1, 1}, {2024, 1, 32}};
  for (const auto& c : cases) {
    TDateTime value = 123;
    EXPECT_FALSE(TryEncodeDate(c.year, c.month, c.day, &value)) << c.year << "-" << c.month;
    EXPECT_EQ(value, 123);
    EXPECT_EQ(EncodeDate(c.year, c.month, c.day), 0);
  }
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2023, 2), 28);
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
}

TEST(DateTimeTest, DecodeRoundTripsEveryDayOfSeveralYears) {
  const TDateTime first = EncodeDate(1999, 1, 1);
  const TDateTime last = EncodeDate(2031, 1, 1);
  int expected_weekday = DayOfWeek(first);
  for (TDateTime day = first; day < last; day += 1) {
    const DateParts d = DecodeDate(day);
    ASSERT_EQ(EncodeDate(d.year, d.month, d.day), day) << day;
    ASSERT_EQ(DayOfWeek(day + 0.75), expected_weekday) << day;
    expected_weekday = expected_weekday % 7 + 1;
  }
}

TEST(DateTimeTest, TimeOfDayAndItsLimits) {
  TDateTime value = -1;
  EXPECT_TRUE(TryEncodeTime(23, 59, 59, 999, &value));
  EXPECT_NEAR(value, (86400000.0 - 1) / 86400000.0, 1e-12);
  for (const auto& t : {TimeParts{24, 0, 0, 0}, TimeParts{23, 60, 0, 0}, TimeParts{23, 0, 60, 0},
                        TimeParts{0, 0, 0, 1000}, TimeParts{-1, 0, 0, 0}}) {
    EXPECT_FALSE(TryEncodeTime(t.hour, t.minute, t.second, t.millisecond, &value)) << t.hour;
  }
  EXPECT_EQ(EncodeTime(24, 0), 0);
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0), 0.5);
}

// Values built by adding fractions of a day must not lose a minute when decoded.
TEST(DateTimeTest, AddedFractionsDecodeToTheIntendedMinute) {
  const TDateTime day = EncodeDate(2006, 12, 25);
  TDateTime added = day;
  for (int i = 0; i < 20 * 60 + 30; ++i) added += kOneMinute;
  for (TDateTime value : {day + 20.0 / 24 + 30.0 / 1440, added, day + 0.85416666666}) {
    const TimeParts t = DecodeTime(value);
    EXPECT_EQ(t.hour, 20);
    EXPECT_EQ(t.minute, 30);
    EXPECT_EQ(FormatStamp(value), "200612252030");
    EXPECT_EQ(FormatHourMinute(value), "20:30");
  }
}

TEST(DateTimeTest, FixedFormatsAreZeroFilled) {
  const TDateTime value = EncodeDate(2006, 1, 2) + EncodeTime(3, 4, 5);
  EXPECT_EQ(FormatStamp(value), "200601020304");
  EXPECT_EQ(FormatHourMinute(value), "03:04");
  EXPECT_EQ(FormatDate(value), "2006-01-02");
  EXPECT_EQ(FormatTime(value), "03:04:05");
  EXPECT_EQ(FormatDateTimeText(value), "2006-01-02 03:04:05");
  EXPECT_EQ(FormatDateTimeText(0), "1899-12-30 00:00:00");
}

TEST(DateTimeTest, RoundingAtMidnightMovesDateAndTimeTogether) {
  const TDateTime almost = EncodeDate(2006, 12, 31) + 0.99999999999;
  EXPECT_EQ(FormatDateTimeText(almost), "2007-01-01 00:00:00");
  EXPECT_EQ(DateOf(almost), EncodeDate(2007, 1, 1));
  EXPECT_EQ(DateOf(EncodeDate(2006, 12, 31) + 0.75), EncodeDate(2006, 12, 31));
}

TEST(DateTimeTest, WeekdaysStartOnSunday) {
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 7)), 1);    // Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(2006, 12, 25)), 2);  // Monday
  EXPECT_EQ(DayOfWeek(0), 7);                         // 1899-12-30, a Saturday
  EXPECT_EQ(DayOfWeek(-1), 6);
}

TEST(DateTimeTest, NegativeAndUnusableValuesDoNotCrash) {
  // Before 1899-12-30 the date is the whole part and the time the fraction's magnitude.
  EXPECT_EQ(FormatDateTimeText(-1.25), "1899-12-29 06:00:00");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double value : {nan, inf, -inf, 1e300}) {
    EXPECT_EQ(FormatDateTimeText(value), "1899-12-30 00:00:00") << value;
    EXPECT_GE(DayOfWeek(value), 1);
  }
}

}  // namespace
}  // namespace tavelin
