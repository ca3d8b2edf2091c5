// TDateTime: a local date and time as days since 1899-12-30, the fraction being the time of
// day. Values are built by adding fractions of a day (20:30 is 0.854166...), so decoding
// first rounds the whole value to milliseconds, then splits it; flooring the fraction would
// turn 20:30 into 20:29.
#ifndef TAVELIN_PLATFORM_DATE_TIME_H_
#define TAVELIN_PLATFORM_DATE_TIME_H_

#include <string>

namespace tavelin {

using TDateTime = double;

inline constexpr double kMillisecondsPerDay = 86400000.0;
inline constexpr double kOneMinute = 1.0 / 1440.0;

struct DateParts {
  int year = 1899;
  int month = 12;
  int day = 30;
};

struct TimeParts {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// False when the date is no calendar date (years 1 to 9999).
bool TryEncodeDate(int year, int month, int day, TDateTime* result);
// False when a part is out of range (hour 0-23, minute and second 0-59, ms 0-999).
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime* result);
// Encoders for values known to be valid; an invalid value gives 0.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second = 0, int millisecond = 0);

DateParts DecodeDate(TDateTime value);
TimeParts DecodeTime(TDateTime value);
// The date at 00:00.
TDateTime DateOf(TDateTime value);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime value);

// Fixed formats, zero-filled whatever the system's settings.
std::string FormatStamp(TDateTime value);         // yyyymmddhhnn
std::string FormatHourMinute(TDateTime value);    // hh:nn
std::string FormatDate(TDateTime value);          // yyyy-mm-dd
std::string FormatTime(TDateTime value);          // hh:nn:ss
std::string FormatDateTimeText(TDateTime value);  // yyyy-mm-dd hh:nn:ss

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_DATE_TIME_H_
