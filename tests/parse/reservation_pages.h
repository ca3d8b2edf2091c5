// Reservation list pages of both layouts, written for these tests, and helpers that check the
// .tvpi files they give. The literals are Shift-JIS at run time, like the recorder's pages.
// The clock of every test that uses them stands at Wednesday 2024-03-13 12:00.
#ifndef TAVELIN_TESTS_PARSE_RESERVATION_PAGES_H_
#define TAVELIN_TESTS_PARSE_RESERVATION_PAGES_H_

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/date_time.h"
#include "platform/env.h"

namespace tavelin::testing {

inline TDateTime PagesNow() { return EncodeDate(2024, 3, 13) + EncodeTime(12, 0); }

// Table layout: a header row after TBODY, then one row per reservation: dated, weekly with
// its time in two texts, daily, Monday-to-Friday across midnight on tuner R1, 25 o'clock on
// tuner R2 (image cell after the link), more than ten days past, within ten days past, for
// the navigation service, next month, Sundays; titles split by tags and references.
inline std::string TableLayoutPage() {
  return "<html>\r\n<head><title>予約一覧</title></head>\r\n<body>\r\n"
         "<table border=1>\r\n<tbody>\r\n"
         "<tr><th>番組名</th><th>チャンネル</th><th>日付</th><th>時間</th><th>画質</th></tr>\r\n"
         "<tr><td><a href=\"b_proginfo.htm?0\">ニュース <b>7</b></a></td><td>CH1</td>"
         "<td>3/13(水)</td><td>19:00-19:30</td><td>SP</td></tr>\r\n"
         "<tr><td><a href=\"b_proginfo.htm?1\">ドラマ&lt;再&gt;</a></td><td>4</td>"
         "<td>毎水曜日</td><td>21:00<br>22:54</td><td>LP</td></tr>\r\n"
         "<tr><td><a href=\"b_proginfo.htm?2\">朝の体操</a></td><td>BS101</td>"
         "<td>毎日</td><td>05:00-05:30</td><td>SP</td></tr>\r\n"
         "<tr><td><a href=\"b_proginfo.htm?3\">深夜&amp;アニメ</a></td>"
         "<td><img src=\"/img/act_R1.gif\"></td><td>011-1</td>"
         "<td>毎月～金</td><td>23:30-00:30</td><td>SP</td></tr>\r\n"
         "<tr><td><a href=\"b_proginfo.htm?4\">映画</a></td>"
         "<td><IMG SRC=\"/img/ACT_r2.gif\"></td><td>CH12</td>"
         "<td>3/15(金)</td><td>25:10-26:40</td><td>XP</td></tr>\r\n"
         "<tr><td><a href=\"b_proginfo.htm?5\">先月の番組</a></td><td>CH1</td>"
         "<td>2/20(火)</td><td>10:00-11:00</td><td>SP</td></tr>\r\n"
         "<tr><td><a href=\"b_proginfo.htm?6\">先週の番組</a></td><td>CH1</td>"
         "<td>3/5(火)</td><td>10:00-11:00</td><td>SP</td></tr>\r\n"
         "<tr><td><a href=\"b_proginfo.htm?7\">ナビ用</a></td><td>ﾃﾚﾋﾞdeﾅﾋﾞで必要</td>"
         "<td>3/14(木)</td><td>08:00-09:00</td><td>SP</td></tr>\r\n"
         "<tr><td><a href=\"b_proginfo.htm?8\">来月の特番</a></td><td>BS101</td>"
         "<td>4/10(水)</td><td>20:00-21:00</td><td>SP</td></tr>\r\n"
         "<tr><td><a href=\"b_proginfo.htm?9\">日曜</a></td><td>CH1</td>"
         "<td>毎日曜日</td><td>09:00-09:30</td><td>SP</td></tr>\r\n"
         "</tbody>\r\n</table>\r\n<a href=\"setup.htm\">設定</a>\r\n</body></html>\r\n";
}

// Script layout: one "c1[" line per reservation: digital channel, weekly on R2, daily,
// Monday-to-Thursday across midnight on R1, Monday-to-Saturday, old, navigation service, a
// title cut by a ";" inside its quotes, upper-case field names, and lines that are no
// reservations.
inline std::string ScriptLayoutPage() {
  return "<html><head>\r\n<script language=\"JavaScript\">\r\n<!--\r\n"
         "var c1=new Array();var c3=new Array();\r\n"
         "c1[0]=0;c2[0]=1;c3[0]=\"朝のニュース\";c4[0]=0;c5[0]=\"011-1\";"
         "c6[0]=\"3/13(水)\";c7[0]=\"06:00\";c8[0]=\"07:00\";\r\n"
         "  c1[1]=1;c2[1]=1;c3[1]=\"連続ドラマ\";c4[1]=5;c5[1]=\"CH12\";"
         "c6[1]=\"毎水曜日\";c7[1]=\"21:00\";c8[1]=\"21:54\";\r\n"
         "c1[2]=2;c2[2]=1;c3[2]=\"体操\";c4[2]=0;c5[2]=\"BS101\";"
         "c6[2]=\"毎日\";c7[2]=\"05:00\";c8[2]=\"05:30\";\n"
         "c1[3]=3;c2[3]=1;c3[3]=\"深夜便\";c4[3]=1;c5[3]=\"CH1\";"
         "c6[3]=\"毎月～木\";c7[3]=\"23:30\";c8[3]=\"00:30\";\r\n"
         "c1[4]=4;c2[4]=1;c3[4]=\"昼の番組\";c4[4]=3;c5[4]=\"L1\";"
         "c6[4]=\"毎月～土\";c7[4]=\"12:30\";c8[4]=\"13:00\";\r\n"
         "c1[5]=5;c2[5]=1;c3[5]=\"古い番組\";c4[5]=0;c5[5]=\"4\";"
         "c6[5]=\"2/20(火)\";c7[5]=\"10:00\";c8[5]=\"11:00\";\r\n"
         "c1[6]=6;c2[6]=1;c3[6]=\"ナビ\";c4[6]=0;c5[6]=\"ﾃﾚﾋﾞdeﾅﾋﾞで必要\";"
         "c6[6]=\"3/14(木)\";c7[6]=\"08:00\";c8[6]=\"09:00\";\r\n"
         "c1[7]=7;c2[7]=1;c3[7]=\"A;B\";c4[7]=9;c5[7]=\"SP300\";"
         "c6[7]=\"3/14(木)\";c7[7]=\"25:10\";c8[7]=\"26:00\";\r\n"
         "c1[8]=8;C3[8]=\"大文字\";C4[8]=2;C5[8]=\"CS200\";"
         "C6[8]=\"3/16(土)\";C7[8]=\"10:00\";C8[8]=\"10:30\";\r\n"
         "C1[9]=9;c3[9]=\"行頭が大文字\";c5[9]=\"1\";c6[9]=\"3/14(木)\";c7[9]=\"10:00\";\r\n"
         "document.write(c3[0]);\r\n"
         "//-->\r\n</script>\r\n</head><body></body></html>\r\n";
}

// The stations the test look-up knows.
inline std::map<std::string, std::string> PageStations() {
  return {{"1", "ＮＨＫ総合"},
          {"011-1", "ＮＨＫ総合デジタル"},
          {"D011", "ＮＨＫ総合デジタル"},
          {"BS101", "ＮＨＫ ＢＳ１"},
          {"12", "テレビ東京"}};
}

// The exact bytes of a .tvpi file as this program writes them.
inline std::string TvpiBytes(const std::string& station, const std::string& date,
                             const std::string& start, const std::string& end,
                             const std::string& title) {
  // date is "yyyymmdd".
  return "Content-type: application/x-tv-program-info; charset=shift_jis\r\n"
         "version: 1\r\n"
         "station: " +
         station +
         "\r\n"
         "year: " +
         date.substr(0, 4) +
         "\r\n"
         "month: " +
         date.substr(4, 2) +
         "\r\n"
         "date: " +
         date.substr(6, 2) +
         "\r\n"
         "start: " +
         start +
         "\r\n"
         "end: " +
         end +
         "\r\n"
         "program-title: " +
         title +
         "\r\n"
         "genre: 0\r\n\r\n\r\n\r\n";
}

// One expected program: its file name and content are built from these values.
struct ExpectedProgram {
  std::string channel;
  std::string station;
  std::string title;
  std::string start;               // hh:nn
  std::string end;                 // hh:nn
  std::vector<std::string> dates;  // yyyymmdd of every occurrence
};

// File name -> content of every file the programs give.
inline std::map<std::string, std::string> ExpectedFiles(
    const std::vector<ExpectedProgram>& programs) {
  std::map<std::string, std::string> files;
  for (const ExpectedProgram& p : programs) {
    for (const std::string& date : p.dates) {
      std::string stamp = date + p.start.substr(0, 2) + p.start.substr(3, 2);
      files[stamp + p.channel + ".tvpi"] = TvpiBytes(p.station, date, p.start, p.end, p.title);
    }
  }
  return files;
}

// Days of March 2024 (or later months, as "mmdd") to "yyyymmdd".
inline std::vector<std::string> Days2024(const std::vector<std::string>& mmdd) {
  std::vector<std::string> out;
  for (const std::string& d : mmdd) out.push_back("2024" + d);
  return out;
}

// File name -> content of every file in `folder`.
inline std::map<std::string, std::string> FilesIn(Env& env, const std::string& folder) {
  std::vector<std::string> names;
  env.ListFiles(folder, "", &names);
  std::map<std::string, std::string> files;
  for (const std::string& name : names) env.ReadFile(folder + name, &files[name]);
  return files;
}

// What the table-layout page gives with no dual-recording selection.
inline std::vector<ExpectedProgram> TableLayoutPrograms() {
  return {
      {"CH1", "ＮＨＫ総合", "ニュース7", "19:00", "19:30", Days2024({"0313"})},
      {"4", "4", "ドラマ<再>", "21:00", "22:54", Days2024({"0313", "0320", "0327"})},
      {"BS101", "ＮＨＫ ＢＳ１", "朝の体操", "05:00", "05:30",
       Days2024({"0314", "0315", "0316", "0317", "0318", "0319", "0320", "0321", "0322", "0323",
                 "0324", "0325", "0326", "0327"})},
      {"011-1", "ＮＨＫ総合デジタル", "深夜&アニメ", "23:30", "00:30",
       Days2024({"0313", "0314", "0315", "0318", "0319", "0320", "0321", "0322", "0325", "0326",
                 "0327"})},
      {"CH12", "テレビ東京", "映画", "01:10", "02:40", Days2024({"0316"})},
      {"CH1", "ＮＨＫ総合", "先週の番組", "10:00", "11:00", Days2024({"0305"})},
      {"BS101", "ＮＨＫ ＢＳ１", "来月の特番", "20:00", "21:00", Days2024({"0410"})},
      {"CH1", "ＮＨＫ総合", "日曜", "09:00", "09:30", Days2024({"0317", "0324", "0331"})},
  };
}

// What the script-layout page gives with no dual-recording selection.
inline std::vector<ExpectedProgram> ScriptLayoutPrograms() {
  return {
      {"D011", "ＮＨＫ総合デジタル", "朝のニュース", "06:00", "07:00", Days2024({"0313"})},
      {"12", "テレビ東京", "連続ドラマ", "21:00", "21:54", Days2024({"0313", "0320", "0327"})},
      {"BS101", "ＮＨＫ ＢＳ１", "体操", "05:00", "05:30",
       Days2024({"0314", "0315", "0316", "0317", "0318", "0319", "0320", "0321", "0322", "0323",
                 "0324", "0325", "0326", "0327"})},
      {"1", "ＮＨＫ総合", "深夜便", "23:30", "00:30",
       Days2024({"0313", "0314", "0318", "0319", "0320", "0321", "0325", "0326", "0327"})},
      {"L1", "L1", "昼の番組", "12:30", "13:00",
       Days2024({"0313", "0314", "0315", "0316", "0318", "0319", "0320", "0321", "0322", "0323",
                 "0325", "0326", "0327"})},
      {"SP300", "SP300", "\"A", "01:10", "02:00", Days2024({"0315"})},
      {"CS200", "CS200", "大文字", "10:00", "10:30", Days2024({"0316"})},
  };
}

}  // namespace tavelin::testing

#endif  // TAVELIN_TESTS_PARSE_RESERVATION_PAGES_H_
