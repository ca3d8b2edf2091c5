#include "sample_pages.h"

#include <cstdio>
#include <vector>

namespace recorder_sim {

namespace {

struct Reservation {
  int day_offset;      // days after today; ignored when `repeat` is set
  const char* repeat;  // repetition text, or null for a dated reservation
  const char* title;
  const char* table_channel;   // as the table layout shows it
  const char* script_channel;  // as the script layout assigns it
  const char* start;
  const char* end;
  int tuner;  // 0 none, 1 or 2
};

const std::vector<Reservation>& Reservations() {
  static const std::vector<Reservation> kList = {
      {1, nullptr, "ニュース７", "CH1", "011-1", "19:00", "19:30", 1},
      {2, nullptr, "世界の車窓から", "CH4", "041", "22:54", "23:00", 2},
      {3, nullptr, "深夜アニメ「星の旅」", "CH8", "081", "25:10", "25:40", 1},
      {0, "毎月～金", "連続テレビ小説", "CH1", "011-1", "08:00", "08:15", 1},
      {0, "毎日曜日", "日曜劇場", "CH6", "061", "21:00", "21:54", 2},
      {5, nullptr, "ＢＳ特集　自然紀行", "BS101", "BS101", "20:00", "21:30", 0},
      {6, nullptr, "地図に載らない駅", "ﾃﾚﾋﾞdeﾅﾋﾞで必要", "ﾃﾚﾋﾞdeﾅﾋﾞで必要", "12:00", "12:30", 0},
  };
  return kList;
}

const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};

// "mm/dd(曜)" of today + offset days.
std::string DateText(const std::tm& today, int offset) {
  std::tm day = today;
  day.tm_mday += offset;
  day.tm_hour = 12;
  day.tm_isdst = -1;
  std::mktime(&day);
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%02d(", day.tm_mon + 1, day.tm_mday);
  return std::string(text) + kWeekdays[day.tm_wday] + ")";
}

std::string DayText(const std::tm& today, const Reservation& r) {
  return r.repeat != nullptr ? std::string(r.repeat) : DateText(today, r.day_offset);
}

}  // namespace

std::string TableLayoutPage(const std::tm& today) {
  std::string page =
      "<html>\r\n<head><title>予約一覧</title></head>\r\n<body>\r\n"
      "<table border=1>\r\n<tbody>\r\n"
      "<tr><th>番組名</th><th>チャンネル</th><th>日付</th><th>時間</th><th>画質</th></tr>\r\n";
  int index = 0;
  for (const Reservation& r : Reservations()) {
    std::string tuner;
    if (r.tuner != 0) {
      tuner =
          std::string("<td><img src=\"/img/act_R") + (r.tuner == 1 ? "1" : "2") + ".gif\"></td>";
    }
    page += "<tr><td><a href=\"b_proginfo.htm?" + std::to_string(index++) + "\">" + r.title +
            "</a></td>" + tuner + "<td>" + r.table_channel + "</td><td>" + DayText(today, r) +
            "</td><td>" + r.start + "-" + r.end + "</td><td>SP</td></tr>\r\n";
  }
  page += "</tbody>\r\n</table>\r\n</body>\r\n</html>\r\n";
  return page;
}

std::string ScriptLayoutPage(const std::tm& today) {
  std::string page =
      "<html>\r\n<head><title>予約一覧</title>\r\n<script language=\"JavaScript\">\r\n"
      "c1=new Array();c2=new Array();c3=new Array();c4=new Array();\r\n"
      "c5=new Array();c6=new Array();c7=new Array();c8=new Array();\r\n";
  int index = 0;
  for (const Reservation& r : Reservations()) {
    std::string i = std::to_string(index++);
    page += "c1[" + i + "]=\"" + i + "\";c2[" + i + "]=\"\";c3[" + i + "]=\"" + r.title + "\";c4[" +
            i + "]=\"" + std::to_string(r.tuner) + "\";c5[" + i + "]=\"" + r.script_channel +
            "\";c6[" + i + "]=\"" + DayText(today, r) + "\";c7[" + i + "]=\"" + r.start + "\";c8[" +
            i + "]=\"" + r.end + "\";\r\n";
  }
  page +=
      "</script>\r\n</head>\r\n<body onload=\"show()\">\r\n<div id=\"list\"></div>\r\n"
      "</body>\r\n</html>\r\n";
  return page;
}

std::string ChannelSetupPage() {
  static const char* const kChannels[][2] = {
      {"ＮＨＫ総合", "011"}, {"ＮＨＫ教育", "021"},       {"日本テレビ", "041"},
      {"ＴＢＳ", "061"},     {"フジテレビ", "081"},       {"テレビ朝日", "051"},
      {"テレビ東京", "071"}, {"ＮＨＫ　ＢＳ１", "BS101"},
  };
  std::string page =
      "<html>\r\n<head><title>チャンネル設定</title>\r\n<script language=\"JavaScript\">\r\n"
      "var index=0;\r\n";
  int number = 1;
  for (const auto& channel : kChannels) {
    page += "c1[index]=\"" + std::to_string(number++) + "\";c5[index]=\"" + channel[0] +
            "\";c2[index]=\"" + channel[1] + "\";index++;\r\n";
  }
  page += "</script>\r\n</head>\r\n<body></body>\r\n</html>\r\n";
  return page;
}

std::string PadPage(const std::string& page, std::size_t size) {
  if (page.size() >= size) return page;
  std::size_t end = page.rfind("</html>");
  if (end == std::string::npos) end = page.size();
  std::string filler;
  const std::string line =
      "<!-- 予約情報の余白 ................................................ -->\r\n";
  while (page.size() + filler.size() + line.size() <= size) filler += line;
  filler.append(size - page.size() - filler.size(), ' ');
  return page.substr(0, end) + filler + page.substr(end);
}

}  // namespace recorder_sim
