#include "output/program_info.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/date_time.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

constexpr char kHeader[] =
    "Content-type: application/x-tv-program-info; charset=shift_jis\r\nversion: 1\r\n";

TEST(ProgramInfoTest, ClearedRecordGivesEmptyValuesAndThreeTrailingEmptyLines) {
  TvProgramInfo info;
  info.Station = "x";
  info.ChannelText = "y";
  info.Title = "z";
  info.Description = "w";
  info.StartTime = 45000.5;
  info.EndTime = 45000.6;
  info.Genre = 7;
  ClearProgramInfo(info);
  EXPECT_EQ(FormatProgramInfo(info, false),
            std::string(kHeader) +
                "station: \r\nyear: 1899\r\nmonth: 12\r\ndate: 30\r\nstart: 00:00\r\n"
                "end: 00:00\r\nprogram-title: \r\ngenre: 0\r\n\r\n\r\n\r\n");
}

TEST(ProgramInfoTest, WritesTrimmedValuesAndEndWithoutDate) {
  TvProgramInfo info;
  info.Station = " \tＮＨＫ総合\r\n";
  info.Title = "  　ニュース ";  // leading full-width space stays
  info.StartTime = EncodeDate(2024, 7, 7) + EncodeTime(23, 30);
  info.EndTime = EncodeDate(2024, 7, 8) + EncodeTime(0, 30);
  info.Description = "\t本文 ";
  info.Genre = -12;
  EXPECT_EQ(
      Utf8(FormatProgramInfo(info, false)),
      Utf8(std::string(kHeader) + "station: ＮＨＫ総合\r\nyear: 2024\r\nmonth: 07\r\ndate: 07\r\n"
                                  "start: 23:30\r\nend: 00:30\r\nprogram-title: 　ニュース\r\n"
                                  "genre: -12\r\n\r\n本文\r\n\r\n"));
}

TEST(ProgramInfoTest, TimesBuiltFromDayFractionsAreNotRoundedDown) {
  TvProgramInfo info;
  info.Title = "t";
  info.StartTime = EncodeDate(2024, 1, 31) + 20.0 / 24 + 30.0 / 1440;
  info.EndTime = info.StartTime + 54.0 / 1440;
  const std::string text = FormatProgramInfo(info, false);
  EXPECT_NE(text.find("start: 20:30\r\nend: 21:24\r\n"), std::string::npos) << text;
}

struct SubtitleCase {
  const char* name;
  const char* title;
  const char* description;
  const char* expected;  // null: no subtitle line
};

class SubtitleTest : public ::testing::TestWithParam<SubtitleCase> {};

TEST_P(SubtitleTest, SplitsTheFirstBracketedPart) {
  const SubtitleCase& c = GetParam();
  TvProgramInfo info;
  info.Title = c.title;
  info.Description = c.description;
  const std::string text = FormatProgramInfo(info, true);
  // The title line always carries the whole (trimmed) title.
  EXPECT_NE(text.find("program-title: " + std::string(c.title) + "\r\n"), std::string::npos);
  const std::size_t at = text.find("program-subtitle: ");
  if (c.expected == nullptr) {
    EXPECT_EQ(at, std::string::npos) << Utf8(text);
    return;
  }
  ASSERT_NE(at, std::string::npos) << Utf8(text);
  const std::string expected_line = "program-subtitle: " + std::string(c.expected) + "\r\ngenre:";
  EXPECT_EQ(Utf8(text.substr(at, expected_line.size())), Utf8(expected_line));
  // It sits between the title line and the genre line.
  EXPECT_LT(text.find("program-title: "), at);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SubtitleTest,
    ::testing::Values(SubtitleCase{"FromTitle", "ドラマ「第一話 はじまり」", "", "第一話 はじまり"},
                      SubtitleCase{"Untrimmed", "ドラマ「 副題 」再", "", " 副題 "},
                      SubtitleCase{"FirstPairOnly", "A「B」C「D」", "", "B"},
                      SubtitleCase{"EmptyBetween", "A「」", "", ""},
                      SubtitleCase{"ClosingFirstFallsBackToDescription", "A」B「C", "説明「副」",
                                   "副"},
                      SubtitleCase{"NoBracketsAnywhere", "題名", "説明", nullptr},
                      SubtitleCase{"OnlyOpening", "A「B", "C", nullptr},
                      // メ is 0x83 0x81; followed by 'u' (0x75) its trail byte and the letter look
                      // like the two bytes of 「, which must not count.
                      SubtitleCase{"TrailByteNeverMatches", "xメuy」z", "", nullptr},
                      SubtitleCase{"TrailByteInDescription", "題", "メuy」", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramInfoTest, NoSubtitleLineWithoutTheFlag) {
  TvProgramInfo info;
  info.Title = "ドラマ「副題」";
  EXPECT_EQ(FormatProgramInfo(info, false).find("subtitle"), std::string::npos);
}

class ProgramFileTest : public ::testing::Test {
 protected:
  TempDir dir_;
  FakeEnv env_{dir_};
};

TEST_F(ProgramFileTest, SecondWriteReplacesTheFirst) {
  TvProgramInfo info;
  info.Title = "一回目の長いタイトルです";
  const std::string path = dir_.File("a.tvpi");
  ASSERT_TRUE(WriteProgramInfoFile(env_, info, path, false).ok());
  info.Title = "二";
  ASSERT_TRUE(WriteProgramInfoFile(env_, info, path, false).ok());
  EXPECT_EQ(ReadBytes(path), FormatProgramInfo(info, false));
}

TEST_F(ProgramFileTest, MissingFolderIsAQuietFailure) {
  TvProgramInfo info;
  info.Title = "t";
  EXPECT_FALSE(WriteProgramInfoFile(env_, info, dir_.File("missing/a.tvpi"), false).ok());
  EXPECT_FALSE(env_.FolderExists(dir_.File("missing")));
}

TEST_F(ProgramFileTest, HalfWrittenFileIsRemovedBeforeTheErrorGoesOn) {
  FullDiskEnv full(&env_);
  TvProgramInfo info;
  info.Title = "t";
  const std::string path = dir_.File("a.tvpi");
  testing::WriteBytes(path, "old");
  EXPECT_THROW(WriteProgramInfoFile(full, info, path, false), ProgramFileError);
  EXPECT_FALSE(env_.FileExists(path));
}

}  // namespace
}  // namespace tavelin
