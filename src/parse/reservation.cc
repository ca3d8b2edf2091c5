#include "parse/reservation.h"

namespace tavelin {

void ClearProgramInfo(TvProgramInfo& info) {
  info.Station.clear();
  info.ChannelText.clear();
  info.Title.clear();
  info.Description.clear();
  info.StartTime = 0;
  info.EndTime = 0;
  info.Genre = 0;
}

TDateTime NextOccurrence(int recurrence, TDateTime from, int late_night_days) {
  if (late_night_days != 0) {
    return NextOccurrence(recurrence, from - late_night_days) + late_night_days;
  }
  int last_day;  // weekday numbers first..last match (1 = Sunday)
  int first_day;
  if (recurrence >= 0 && recurrence <= 6) {
    first_day = last_day = recurrence + 1;
  } else if (recurrence >= kMondayToThursday && recurrence <= kMondayToSaturday) {
    first_day = 2;
    last_day = recurrence - kMondayToThursday + 5;
  } else {
    return from;  // daily, or a code without a weekday rule
  }
  TDateTime result = from;
  for (int step = 0; step < 7; ++step) {
    const int weekday = DayOfWeek(result);
    if (weekday >= first_day && weekday <= last_day) break;
    result += 1;
  }
  return result;
}

}  // namespace tavelin
