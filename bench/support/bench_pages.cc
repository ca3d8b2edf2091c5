#include "bench_pages.h"

#include <cstdio>
#include <string>

namespace tavelin::bench {
namespace {

// Reservation i: day i % 10 from today, a distinct start time, alternately a CH and a BS
// channel (the first block's are the known ones).
struct Slot {
  std::string date;  // m/d(曜)
  std::string start;
  std::string end;
  std::string channel;
};

Slot SlotOf(int i, TDateTime today) {
  static const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
  const TDateTime day = today + i % 10;
  const DateParts d = DecodeDate(day);
  char buffer[64];
  Slot slot;
  std::snprintf(buffer, sizeof buffer, "%d/%d(", d.month, d.day);
  slot.date = std::string(buffer) + kWeekdays[DayOfWeek(day) - 1] + ")";
  const int hour = i / 10 % 24;
  const int minute = i / 240 % 60;
  std::snprintf(buffer, sizeof buffer, "%02d:%02d", hour, minute);
  slot.start = buffer;
  std::snprintf(buffer, sizeof buffer, "%02d:%02d", (hour + 1) % 24, minute);
  slot.end = buffer;
  // Day, hour and minute repeat after 14,400 rows; the channels of each later block are
  // others, so that every row of a page of any size names a file of its own.
  const int block = i / 14400;
  slot.channel = i % 2 == 0 ? "CH" + std::to_string(i % 12 + 1 + 12 * block)
                            : "BS10" + std::to_string(i % 3 + 3 * block);
  return slot;
}

}  // namespace

std::string TablePage(int count, TDateTime today) {
  std::string page =
      "<html><body><table border=1><tbody>\r\n"
      "<tr><th>番組名</th><th>CH</th><th>日付</th><th>時間</th><th>画質</th></tr>\r\n";
  for (int i = 0; i < count; ++i) {
    const Slot s = SlotOf(i, today);
    page += "<tr><td><a href=\"b_proginfo.htm?" + std::to_string(i) + "\">番組 <b>" +
            std::to_string(i) + "</b> &amp; 特集</a></td>";
    if (i % 7 == 0) page += "<td><img src=\"/img/act_R1.gif\"></td>";
    page += "<td>" + s.channel + "</td><td>" + s.date + "</td><td>" + s.start + "-" + s.end +
            "</td><td>SP</td></tr>\r\n";
  }
  return page + "</tbody></table></body></html>\r\n";
}

std::string ScriptPage(int count, TDateTime today) {
  std::string page = "<html><head><script>\r\n";
  for (int i = 0; i < count; ++i) {
    const Slot s = SlotOf(i, today);
    const std::string n = "[" + std::to_string(i) + "]";
    page += "c1" + n + "=" + std::to_string(i) + ";c2" + n + "=1;c3" + n + "=\"番組" +
            std::to_string(i) + "\";c4" + n + "=" + std::to_string(i % 9) + ";c5" + n + "=\"" +
            (i % 2 == 0 ? std::to_string(i % 40) + "-1" : s.channel) + "\";c6" + n + "=\"" +
            s.date + "\";c7" + n + "=\"" + s.start + "\";c8" + n + "=\"" + s.end + "\";\r\n";
  }
  return page + "</script></head></html>\r\n";
}

}  // namespace tavelin::bench
