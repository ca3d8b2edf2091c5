#include "output/output_step.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/date_time.h"
#include "platform/path.h"
#include "support/scripted_run.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

// Wednesday 2024-03-13, noon. Retention limit 03-03, horizon 03-27 (a Wednesday).
const TDateTime kToday = EncodeDate(2024, 3, 13);

TDateTime At(int month, int day, int hour, int minute) {
  return EncodeDate(2024, month, day) + EncodeTime(hour, minute);
}

class OutputStepTest : public ::testing::Test {
 protected:
  OutputStepTest() : env_(dir_, kToday + 0.5) { env_.CreateFolder(dir_.File("out")); }

  OutputContext Context() { return OutputContext{env_, dir_.File("out/"), run_}; }

  // The names in the output folder, sorted.
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    env_.ListFiles(dir_.File("out/"), "", &names);
    std::sort(names.begin(), names.end());
    return names;
  }

  // Emits a reservation titled "番組" on channel "12".
  std::vector<std::string> Emit(TDateTime start, TDateTime end, int recurrence,
                                int tuner = kNoTuner) {
    TvProgramInfo info;
    info.Title = "番組";
    info.ChannelText = "12";
    info.Station = "局";
    info.StartTime = start;
    info.EndTime = end;
    EmitReservation(Context(), info, recurrence, tuner);
    return Files();
  }

  TempDir dir_;
  FakeEnv env_;
  ScriptedRun run_;
  int& selection_ = run_.dual_recording;
  bool& stop_ = run_.stop;
  int& yields_ = run_.yields;
  std::vector<std::string>& errors_ = run_.errors;
};

TEST_F(OutputStepTest, WritesOneNamedFileWithTheRecord) {
  TvProgramInfo info;
  info.Title = " ニュース";
  info.ChannelText = "CH 1";
  info.Station = "ＮＨＫ";
  info.StartTime = At(3, 13, 19, 5);
  info.EndTime = At(3, 13, 20, 0);
  EmitReservation(Context(), info, kNoRecurrence, kNoTuner);
  ASSERT_EQ(Files(), std::vector<std::string>{"202403131905CH 1.tvpi"});
  EXPECT_EQ(Utf8(ReadBytes(dir_.File("out/202403131905CH 1.tvpi"))),
            Utf8("Content-type: application/x-tv-program-info; charset=shift_jis\r\n"
                 "version: 1\r\nstation: ＮＨＫ\r\nyear: 2024\r\nmonth: 03\r\ndate: 13\r\n"
                 "start: 19:05\r\nend: 20:00\r\nprogram-title: ニュース\r\ngenre: 0\r\n"
                 "\r\n\r\n\r\n"));
}

struct FilterCase {
  const char* name;
  const char* title;
  const char* channel;
  TDateTime start;
  int recurrence;
  bool written;
};

class FilterTest : public OutputStepTest, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(FilterTest, DropsWhatTheHostMustNotSee) {
  const FilterCase& c = GetParam();
  TvProgramInfo info;
  info.Title = c.title;
  info.ChannelText = c.channel;
  info.StartTime = c.start;
  info.EndTime = c.start + 1.0 / 24;
  EmitReservation(Context(), info, c.recurrence, kNoTuner);
  EXPECT_EQ(!Files().empty(), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FilterTest,
    ::testing::Values(
        FilterCase{"Today", "t", "12", At(3, 13, 20, 0), kNoRecurrence, true},
        FilterCase{"EmptyTitle", "", "12", At(3, 13, 20, 0), kNoRecurrence, false},
        FilterCase{"EmptyTitleRecurring", "", "12", At(3, 13, 20, 0), kDaily, false},
        FilterCase{"ElevenDaysAgo", "t", "12", At(3, 2, 23, 0), kNoRecurrence, false},
        FilterCase{"ExactlyOnRetentionLimit", "t", "12", At(3, 3, 0, 0), kNoRecurrence, true},
        FilterCase{"MinuteBeforeLimit", "t", "12", At(3, 2, 23, 59), kNoRecurrence, false},
        FilterCase{"TimeWithoutDate", "t", "12", 0.875, kNoRecurrence, false},
        FilterCase{"TimeWithoutDateRecurring", "t", "12", 0.875, kDaily, false},
        FilterCase{"NavigationMarker", "t", "ﾃﾚﾋﾞdeﾅﾋﾞで必要", At(3, 13, 20, 0), kNoRecurrence,
                   false},
        FilterCase{"NavigationMarkerInside", "t", "BS ﾃﾚﾋﾞdeﾅﾋﾞで必要 1", At(3, 13, 20, 0), kDaily,
                   false},
        // 暗 is 0x88 0xC3: its trail byte followed by the rest looks like the marker.
        FilterCase{"MarkerInsideACharacter", "t", "暗ﾚﾋﾞdeﾅﾋﾞで必要", At(3, 13, 20, 0),
                   kNoRecurrence, true},
        FilterCase{"MarkerWithFullWidthKana", "t", "テレビdeナビで必要", At(3, 13, 20, 0),
                   kNoRecurrence, true},
        FilterCase{"NotANumber", "t", "12", std::numeric_limits<double>::quiet_NaN(), kNoRecurrence,
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OutputStepTest, DualRecordingSelectionDropsTheOtherTuner) {
  struct Case {
    int selection;
    int tuner;
    bool written;
  };
  const Case cases[] = {
      {kNoDualRecording, kNoTuner, true}, {kNoDualRecording, kTunerR1, true},
      {kNoDualRecording, kTunerR2, true}, {kDualRecordingR1, kNoTuner, true},
      {kDualRecordingR1, kTunerR1, true}, {kDualRecordingR1, kTunerR2, false},
      {kDualRecordingR2, kNoTuner, true}, {kDualRecordingR2, kTunerR1, false},
      {kDualRecordingR2, kTunerR2, true},
  };
  for (const Case& c : cases) {
    for (const std::string& name : Files()) env_.DeleteFile(dir_.File("out/" + name));
    selection_ = c.selection;
    const bool written = !Emit(At(3, 13, 20, 0), At(3, 13, 21, 0), kNoRecurrence, c.tuner).empty();
    EXPECT_EQ(written, c.written) << "selection " << c.selection << " tuner " << c.tuner;
  }
}

struct ExpansionCase {
  const char* name;
  TDateTime start;
  int recurrence;
  std::vector<std::string> stamps;  // mmddhhnn of every file
};

class ExpansionTest : public OutputStepTest, public ::testing::WithParamInterface<ExpansionCase> {};

TEST_P(ExpansionTest, WritesEveryOccurrenceUpToTheFirstAtTheHorizon) {
  const ExpansionCase& c = GetParam();
  std::vector<std::string> expected;
  for (const std::string& stamp : c.stamps) expected.push_back("2024" + stamp + "12.tvpi");
  EXPECT_EQ(Emit(c.start, c.start + 1.0 / 24, c.recurrence), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ExpansionTest,
    ::testing::Values(
        ExpansionCase{"NotRecurring", At(3, 13, 20, 0), kNoRecurrence, {"03132000"}},
        ExpansionCase{"WeeklyToday", At(3, 13, 20, 0), 3, {"03132000", "03202000", "03272000"}},
        // The first file is the date as handed over; the repetition then finds its weekday.
        ExpansionCase{
            "Sundays", At(3, 13, 20, 0), 0, {"03132000", "03172000", "03242000", "03312000"}},
        ExpansionCase{"PastWithinRetention",
                      At(3, 10, 20, 0),
                      0,
                      {"03102000", "03172000", "03242000", "03312000"}},
        ExpansionCase{"MondayToFriday",
                      At(3, 13, 20, 0),
                      kMondayToFriday,
                      {"03132000", "03142000", "03152000", "03182000", "03192000", "03202000",
                       "03212000", "03222000", "03252000", "03262000", "03272000"}},
        ExpansionCase{"StartOnHorizon", At(3, 27, 0, 0), kDaily, {"03270000"}},
        ExpansionCase{"MinuteBeforeHorizon", At(3, 26, 23, 59), kDaily, {"03262359", "03272359"}},
        ExpansionCase{"BeyondHorizonNotRecurring", At(4, 20, 9, 0), kNoRecurrence, {"04200900"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OutputStepTest, DailyGivesFifteenFiles) {
  const auto files = Emit(At(3, 13, 20, 0), At(3, 13, 21, 0), kDaily);
  ASSERT_EQ(files.size(), 15u);
  EXPECT_EQ(files.front(), "20240313200012.tvpi");
  EXPECT_EQ(files.back(), "20240327200012.tvpi");
}

TEST_F(OutputStepTest, OccurrencesAcrossMidnightKeepTheirLength) {
  TvProgramInfo info;
  info.Title = "深夜";
  info.ChannelText = "4";
  info.StartTime = At(3, 13, 23, 30);
  info.EndTime = At(3, 14, 0, 30);
  EmitReservation(Context(), info, 3, kNoTuner);
  EXPECT_EQ(Files().size(), 3u);
  EXPECT_DOUBLE_EQ(info.StartTime, At(3, 27, 23, 30));
  EXPECT_DOUBLE_EQ(info.EndTime, At(3, 28, 0, 30));
  const std::string text = ReadBytes(dir_.File("out/2024032023304.tvpi"));
  EXPECT_NE(text.find("date: 20\r\nstart: 23:30\r\nend: 00:30\r\n"), std::string::npos);
}

TEST_F(OutputStepTest, EndFarBehindStartCatchesUpWithoutHanging) {
  TvProgramInfo info;
  info.Title = "t";
  info.ChannelText = "1";
  info.StartTime = At(3, 13, 20, 0);
  info.EndTime = -1e300;
  EmitReservation(Context(), info, kDaily, kNoTuner);
  EXPECT_EQ(Files().size(), 15u);
}

TEST_F(OutputStepTest, SameStartAndChannelShareOneFile) {
  Emit(At(3, 13, 20, 0), At(3, 13, 21, 0), kNoRecurrence);
  TvProgramInfo info;
  info.Title = "後の番組";
  info.ChannelText = "12";
  info.StartTime = At(3, 13, 20, 0);
  info.EndTime = At(3, 13, 20, 30);
  EmitReservation(Context(), info, kNoRecurrence, kNoTuner);
  ASSERT_EQ(Files().size(), 1u);
  EXPECT_NE(ReadBytes(dir_.File("out/20240313200012.tvpi")).find("後の番組"), std::string::npos);
}

TEST_F(OutputStepTest, ChannelTextCannotLeadOutOfTheOutputFolder) {
  // Without the guard these would land in the folders below and above.
  env_.CreateFolder(dir_.File("out/202403132000x"));
  env_.CreateFolder(dir_.File("out/202403132000.."));
  for (const char* channel : {"x/inner", "../../escaped", "/abs"}) {
    TvProgramInfo info;
    info.Title = "t";
    info.ChannelText = channel;
    info.StartTime = At(3, 13, 20, 0);
    info.EndTime = At(3, 13, 21, 0);
    EmitReservation(Context(), info, kDaily, kNoTuner);
  }
  std::vector<std::string> inside;
  env_.ListFiles(dir_.File("out/202403132000x/"), "", &inside);
  EXPECT_TRUE(inside.empty());
  EXPECT_FALSE(env_.FileExists(dir_.File("escaped.tvpi")));
  EXPECT_TRUE(Files().empty());
}

TEST_F(OutputStepTest, FileNameGuardIsCharacterAware) {
  TvProgramInfo info;
  info.StartTime = At(3, 13, 20, 0);
  info.ChannelText = "予約";  // 予 ends in byte 0x5C, which is no delimiter here
  EXPECT_EQ(ProgramFilePath("f/", info), "f/202403132000予約.tvpi");
  info.ChannelText = std::string("1\0/x", 4);
  EXPECT_FALSE(ProgramFilePath("f/", info).has_value());
  info.ChannelText = "a/b";
  EXPECT_FALSE(ProgramFilePath("f/", info).has_value());
  // A lead byte followed by no valid trail byte stands alone: the "/" after it still counts.
  for (const char* channel : {"\x82/x", "\xE0/", "\x9F\x7F/"}) {
    info.ChannelText = channel;
    EXPECT_FALSE(ProgramFilePath("f/", info).has_value()) << channel;
  }
  // Where '\' separates folders and drives exist, neither it nor a colon may pass.
  const bool windows = PathDelimiter() == '\\';
  for (const char* channel : {"a\\b", "CH:1"}) {
    info.ChannelText = channel;
    EXPECT_EQ(ProgramFilePath("f/", info).has_value(), !windows) << channel;
  }
}

// Bytes that code page 932 gives a character only on Windows (0x80, 0xA0, 0xFD-0xFF, from a
// page's "&#128;" or a raw byte) name files on every system.
TEST_F(OutputStepTest, ChannelsOfWindowsOnlyBytesGetTheirFiles) {
  const std::vector<std::string> kChannels = {
      "\x80"
      "3",
      "\xA0", "\xFD", "\xFE", "\xFF"};
  for (const std::string& channel : kChannels) {
    TvProgramInfo info;
    info.Title = "t";
    info.ChannelText = channel;
    info.StartTime = At(3, 13, 20, 0);
    info.EndTime = At(3, 13, 21, 0);
    EmitReservation(Context(), info, kNoRecurrence, kNoTuner);
  }
  std::vector<std::string> expected;
  for (const std::string& channel : kChannels)
    expected.push_back("202403132000" + channel + ".tvpi");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Files(), expected);
  EXPECT_TRUE(errors_.empty());
}

TEST(NextOccurrenceTest, FindsTheFirstMatchingDayAndKeepsTheTime) {
  const TDateTime sunday = At(3, 10, 21, 15);
  const TDateTime wednesday = At(3, 13, 21, 15);
  const TDateTime saturday = At(3, 16, 21, 15);
  struct Case {
    int code;
    TDateTime from;
    TDateTime expected;
  };
  const Case cases[] = {
      {0, sunday, sunday},
      {0, wednesday, At(3, 17, 21, 15)},
      {1, wednesday, At(3, 18, 21, 15)},
      {2, wednesday, At(3, 19, 21, 15)},
      {3, wednesday, wednesday},
      {4, wednesday, At(3, 14, 21, 15)},
      {5, wednesday, At(3, 15, 21, 15)},
      {6, wednesday, saturday},
      {7, saturday, saturday},
      {8, sunday, At(3, 11, 21, 15)},
      {8, At(3, 15, 21, 15), At(3, 18, 21, 15)},
      {9, saturday, At(3, 18, 21, 15)},
      {9, wednesday, wednesday},
      {10, saturday, saturday},
      {10, sunday, At(3, 11, 21, 15)},
      {11, sunday, sunday},
      {99, sunday, sunday},
      {-1, wednesday, wednesday},
      {-5, wednesday, wednesday},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(NextOccurrence(c.code, c.from), c.expected)
        << "code " << c.code << " from " << FormatDateTimeText(c.from);
  }
}

// Counts enumerations so that the root-folder guard can be seen without touching "/".
class CountingEnv : public EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;
  Status ListFiles(const std::string& f, const std::string& s,
                   std::vector<std::string>* n) override {
    ++listings;
    return EnvWrapper::ListFiles(f, s, n);
  }
  int listings = 0;
};

TEST_F(OutputStepTest, CleanUpDeletesProgramFilesOnlyAndYieldsAfterEach) {
  for (const char* name : {"a.tvpi", "b.TVPI", "c.tvpi.bak", "d.txt"}) {
    testing::WriteBytes(dir_.File("out/") + name, "x");
  }
  env_.CreateFolder(dir_.File("out/e.tvpi"));
  DeleteOldProgramFiles(Context());
  EXPECT_EQ(Files(), (std::vector<std::string>{"c.tvpi.bak", "d.txt"}));
  EXPECT_TRUE(env_.FolderExists(dir_.File("out/e.tvpi")));
  EXPECT_EQ(yields_, 2);
}

TEST_F(OutputStepTest, CleanUpStopsAfterTheCurrentFile) {
  for (const char* name : {"a.tvpi", "b.tvpi", "c.tvpi"}) {
    testing::WriteBytes(dir_.File("out/") + name, "x");
  }
  run_.stop_after_yields = 1;
  DeleteOldProgramFiles(Context());
  EXPECT_EQ(Files().size(), 2u);
}

TEST_F(OutputStepTest, CleanUpIgnoresEmptyAndRootFolders) {
  CountingEnv counting(&env_);
  ScriptedRun run;
  for (const char* folder : {"", "/"}) {
    OutputContext context{counting, folder, run};
    DeleteOldProgramFiles(context);
  }
  EXPECT_EQ(counting.listings, 0);
  OutputContext missing{counting, dir_.File("nowhere/"), run};
  DeleteOldProgramFiles(missing);
  EXPECT_EQ(counting.listings, 1);
}

// One file that another program holds open, as the system layer gives up on it: neither
// deleted nor created, with the system's reason.
class HeldFileEnv : public EnvWrapper {
 public:
  HeldFileEnv(Env* target, std::string held) : EnvWrapper(target), held_(std::move(held)) {}
  Status DeleteFile(const std::string& p) override {
    return p == held_ ? Held() : EnvWrapper::DeleteFile(p);
  }
  Status NewWritableFile(const std::string& p, bool a, std::unique_ptr<WritableFile>* f) override {
    return p == held_ ? Held() : EnvWrapper::NewWritableFile(p, a, f);
  }
  static Status Held() { return Status(Status::Kind::kFileError, "in use (error 32)"); }

 private:
  std::string held_;
};

TEST_F(OutputStepTest, AHeldProgramFileIsReportedAndNeverPassesSilentlyForTheNewOne) {
  const std::string folder = dir_.File("out/");
  const std::string held = folder + "202403131900CH 1.tvpi";
  testing::WriteBytes(held, "old program");
  testing::WriteBytes(folder + "old.tvpi", "x");
  HeldFileEnv env(&env_, held);
  const OutputContext with_held{env, folder, run_};

  DeleteOldProgramFiles(with_held);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find(held), std::string::npos) << Utf8(errors_[0]);
  EXPECT_NE(errors_[0].find("in use (error 32)"), std::string::npos) << Utf8(errors_[0]);
  EXPECT_EQ(Files(), (std::vector<std::string>{"202403131900CH 1.tvpi"}));

  TvProgramInfo info;
  info.Title = "ニュース";
  info.ChannelText = "CH 1";
  info.StartTime = At(3, 13, 19, 0);
  info.EndTime = At(3, 13, 19, 30);
  EmitReservation(with_held, info, kNoRecurrence, kNoTuner);
  ASSERT_EQ(errors_.size(), 2u);
  EXPECT_NE(errors_[1].find(held + " を作成できません (前回のファイルが残っています): in use"),
            std::string::npos)
      << Utf8(errors_[1]);

  // A file that merely cannot be made (no old one under its name) is reported too.
  info.StartTime = At(3, 13, 20, 0);
  HeldFileEnv missing(&env_, folder + "202403132000CH 1.tvpi");
  const OutputContext with_missing{missing, folder, run_};
  EmitReservation(with_missing, info, kNoRecurrence, kNoTuner);
  ASSERT_EQ(errors_.size(), 3u);
  EXPECT_EQ(errors_[2].find("残っています"), std::string::npos) << Utf8(errors_[2]);
}

}  // namespace
}  // namespace tavelin
