#include "platform/date_time.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tavelin {
namespace {

// Day 0 of TDateTime (1899-12-30) counted from 1970-01-01.
constexpr int64_t kDeltaFrom1970 = -25569;
constexpr int64_t kMsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

DateParts CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  DateParts parts;
  parts.year = static_cast<int>(y + (m <= 2));
  parts.month = static_cast<int>(m);
  parts.day = static_cast<int>(d);
  return parts;
}

// Splits a value into whole days and milliseconds of the day, rounding the whole value to
// milliseconds first. A negative value keeps its date part and takes the time from the
// magnitude of its fraction, as the host's own date arithmetic does.
void Split(TDateTime value, int64_t* days, int64_t* ms_of_day) {
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6) {
    *days = 0;
    *ms_of_day = 0;
    return;
  }
  const int64_t total = std::llround(value * kMillisecondsPerDay);
  *days = total / kMsPerDay;  // truncates toward zero
  const int64_t rest = total % kMsPerDay;
  *ms_of_day = rest < 0 ? -rest : rest;
}

std::string Format(const char* format, int a, int b, int c, int d = 0, int e = 0, int f = 0) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a, b, c, d, e, f);
  return buffer;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime* result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return false;
  }
  *result = static_cast<double>(DaysFromCivil(year, month, day) - kDeltaFrom1970);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime* result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return false;
  }
  *result = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / kMillisecondsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime value = 0;
  return TryEncodeDate(year, month, day, &value) ? value : 0;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  TDateTime value = 0;
  return TryEncodeTime(hour, minute, second, millisecond, &value) ? value : 0;
}

DateParts DecodeDate(TDateTime value) {
  int64_t days = 0;
  int64_t ms = 0;
  Split(value, &days, &ms);
  return CivilFromDays(days + kDeltaFrom1970);
}

TimeParts DecodeTime(TDateTime value) {
  int64_t days = 0;
  int64_t ms = 0;
  Split(value, &days, &ms);
  TimeParts parts;
  parts.hour = static_cast<int>(ms / 3600000);
  parts.minute = static_cast<int>(ms / 60000 % 60);
  parts.second = static_cast<int>(ms / 1000 % 60);
  parts.millisecond = static_cast<int>(ms % 1000);
  return parts;
}

TDateTime DateOf(TDateTime value) {
  int64_t days = 0;
  int64_t ms = 0;
  Split(value, &days, &ms);
  return static_cast<double>(days);
}

int DayOfWeek(TDateTime value) {
  int64_t days = 0;
  int64_t ms = 0;
  Split(value, &days, &ms);
  // Day 0 (1899-12-30) was a Saturday.
  int64_t weekday = (days + 6) % 7;  // 0 = Sunday
  if (weekday < 0) weekday += 7;
  return static_cast<int>(weekday) + 1;
}

std::string FormatStamp(TDateTime value) {
  const DateParts d = DecodeDate(value);
  const TimeParts t = DecodeTime(value);
  return Format("%04d%02d%02d%02d%02d", d.year, d.month, d.day, t.hour, t.minute);
}

std::string FormatHourMinute(TDateTime value) {
  const TimeParts t = DecodeTime(value);
  return Format("%02d:%02d", t.hour, t.minute, 0);
}

std::string FormatDate(TDateTime value) {
  const DateParts d = DecodeDate(value);
  return Format("%04d-%02d-%02d", d.year, d.month, d.day);
}

std::string FormatTime(TDateTime value) {
  const TimeParts t = DecodeTime(value);
  return Format("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

std::string FormatDateTimeText(TDateTime value) {
  return FormatDate(value) + " " + FormatTime(value);
}

}  // namespace tavelin
