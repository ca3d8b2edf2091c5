#include "channels/channel_retrieval.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/path.h"
#include "support/scripted_run.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

constexpr char kDeck[] = "RD-X5";

// FakeEnv whose "temp" folder is a folder of the test.
class RetrievalEnv : public testing::FakeEnv {
 public:
  RetrievalEnv(const TempDir& dir, std::string temp) : FakeEnv(dir) {
    set_temp_folder(std::move(temp));
  }
  // Reading `path` fails as when another program holds it open for writing.
  void Lock(const std::string& path) { locked_ = path; }
  Status ReadFile(const std::string& path, std::string* contents) override {
    if (path == locked_) return Status(Status::Kind::kFileError, "locked");
    return FakeEnv::ReadFile(path, contents);
  }
  // Deleting `path` fails and the file stays.
  void Keep(const std::string& path) { kept_ = path; }
  Status DeleteFile(const std::string& path) override {
    if (path == kept_) return Status(Status::Kind::kFileError, "kept");
    return FakeEnv::DeleteFile(path);
  }

 private:
  std::string locked_;
  std::string kept_;
};

using Row = std::tuple<std::string, std::string, std::string>;  // deck, station, number

std::string ChannelLine(const std::string& name, const std::string& number, int index = 1) {
  return "c1[index]=\"" + std::to_string(index) + "\";c5[index]=\"" + name + "\";c2[index]=\"" +
         number + "\";index++;\r\n";
}

std::string Page(const std::string& channel_lines) {
  return "<html>\r\n<script>\r\nvar index=0;\r\n" + channel_lines + "</script>\r\n</html>\r\n";
}

std::string Csv(const std::string& header, const std::vector<std::vector<std::string>>& rows) {
  std::string csv = header + ",\r\n";
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) csv += (i ? ",\"" : "\"") + row[i] + "\"";
    csv += ",\r\n";
  }
  return csv;
}

class ChannelRetrievalTest : public ::testing::Test {
 protected:
  ChannelRetrievalTest()
      : env_(dir_, dir_.path() + "temp"),
        table_tv_(ChannelTable::TableTV(env_, dir_.path())),
        table_ch_no_(ChannelTable::TableTVChNo(env_, dir_.path())) {
    env_.CreateFolder(dir_.path() + "temp");
    context_.env = &env_;
    context_.table_tv = &table_tv_;
    context_.table_tv_ch_no = &table_ch_no_;
    context_.matcher = &matcher_;
    context_.deck_name = kDeck;
    context_.address = "192.168.0.5";
    context_.port = "80";
    context_.download = [this](const std::string& url, const std::string& file, Status*) {
      urls_.push_back(url);
      files_.push_back(file);
      if (page_.empty()) return std::int64_t{0};
      WriteBytes(file, page_);
      return static_cast<std::int64_t>(page_.size());
    };
    context_.run = &run_;
    context_.message_box = [this](const std::string& text) { messages_.push_back(text); };
  }

  void WriteNumbers(const std::vector<std::vector<std::string>>& rows) {
    WriteBytes(NumbersFile(), Csv("\"ToolName\",\"TVChannel\",\"TVChannelNo\"", rows));
  }
  void WriteTranslations(const std::vector<std::vector<std::string>>& rows) {
    WriteBytes(dir_.File(kTableTVFile), Csv("\"元のTV局名\",\"新しいTV局名\"", rows));
  }
  std::string NumbersFile() const { return dir_.File(kTableTVChNoFile); }

  // The rows of the channel-number file as it stands on disk.
  std::vector<Row> SavedRows() {
    ChannelTable table = ChannelTable::TableTVChNo(env_, dir_.path());
    table.Open();
    std::vector<Row> rows;
    for (table.First(); !table.Eof(); table.Next()) {
      rows.emplace_back(table.FieldByName("VideoDeckName"), table.FieldByName("TVChannel"),
                        table.FieldByName("TVChannelNo"));
    }
    table.Close();
    return rows;
  }

  void Run() { RetrieveChannelList(context_); }

  TempDir dir_;
  RetrievalEnv env_;
  ChannelTable table_tv_;
  ChannelTable table_ch_no_;
  PatternMatcher matcher_;
  ChannelRetrievalContext context_;
  std::string page_;
  std::vector<std::string> urls_, files_, messages_;
  ScriptedRun run_;
  int& yields_ = run_.yields;
  int& stop_at_yield_ = run_.stop_after_yields;
};

TEST_F(ChannelRetrievalTest, FirstRunAppendsFoldedNamesAndSecondRunAppendsNothing) {
  page_ = Page(ChannelLine("ＮＨＫ総合", "011", 1) + ChannelLine("ＮＨＫ教育", "021", 2) +
               ChannelLine("ﾃﾚﾋﾞ東京", "071", 3));
  Run();
  const std::vector<Row> first = {
      {kDeck, "NHK総合", "011"}, {kDeck, "NHK教育", "021"}, {kDeck, "テレビ東京", "071"}};
  EXPECT_EQ(SavedRows(), first);
  EXPECT_EQ(messages_, std::vector<std::string>{kChannelSucceeded});
  EXPECT_FALSE(table_tv_.Active());
  EXPECT_FALSE(table_ch_no_.Active());

  const std::string saved = ReadBytes(NumbersFile());
  Run();
  EXPECT_EQ(SavedRows(), first);
  // The second run stored the same numbers again: nothing changed, so nothing was written
  // and no ".old" rotated.
  EXPECT_EQ(ReadBytes(NumbersFile()), saved);
  EXPECT_FALSE(env_.FileExists(dir_.File("qdrTVCHNo.old")));
}

TEST_F(ChannelRetrievalTest, DownloadsTheSetupPageIntoTheTempFolder) {
  context_.address = " 192.168.0.5\t";
  context_.port = " 8080 ";
  page_ = Page(ChannelLine("TBS", "061"));
  Run();
  EXPECT_EQ(urls_, std::vector<std::string>{"http://192.168.0.5:8080/setup/s_chset.htm"});
  ASSERT_EQ(files_.size(), 1u);
  EXPECT_EQ(files_[0], IncludeTrailingDelimiter(dir_.File("temp")) + "s_chset.htm");
  EXPECT_EQ(ReadBytes(files_[0]), page_);  // the page file stays after the run
}

TEST_F(ChannelRetrievalTest, TranslatedNameIsAppendedWithoutPatternSearch) {
  WriteTranslations({{"NHK総合", "NHK"}, {"TBS", ""}});
  // "NHK" as a pattern would match this row; a translated name is not searched for.
  WriteNumbers({{kDeck, "NHKワールド", "900"}});
  page_ = Page(ChannelLine("ＮＨＫ総合", "011") + ChannelLine("TBS", "061"));
  Run();
  EXPECT_EQ(SavedRows(),
            (std::vector<Row>{
                {kDeck, "NHKワールド", "900"}, {kDeck, "NHK", "011"}, {kDeck, "TBS", "061"}}));
  // TableTV is only read: its file stays as the host wrote it.
  EXPECT_FALSE(env_.FileExists(dir_.File("tvconvert.old")));
}

TEST_F(ChannelRetrievalTest, FuzzyMatchUpdatesEveryMatchingRowOfTheDeckOnly) {
  WriteNumbers({{kDeck, "ｽｰﾊﾟｰﾁｬﾝﾈﾙ", "1"},
                {"RD-XS41", "スーパーチャンネル", "2"},
                {kDeck, "スパチャンネルＨＤ", "3"},
                {kDeck, "スーパー", "4"},
                {kDeck, "ＢＳ－１", "5"},
                {kDeck, "BS1", "6"}});
  page_ = Page(ChannelLine("ｽｰﾊﾟｰﾁｬﾝﾈﾙ", "101") + ChannelLine("BS-1", "BS101"));
  Run();
  EXPECT_EQ(SavedRows(), (std::vector<Row>{{kDeck, "ｽｰﾊﾟｰﾁｬﾝﾈﾙ", "101"},
                                           {"RD-XS41", "スーパーチャンネル", "2"},
                                           {kDeck, "スパチャンネルＨＤ", "101"},
                                           {kDeck, "スーパー", "4"},
                                           {kDeck, "ＢＳ－１", "BS101"},
                                           {kDeck, "BS1", "6"}}));
}

TEST_F(ChannelRetrievalTest, ExactMatchWinsAndOtherDecksAreNotTouched) {
  WriteNumbers({{"RD-XS41", "TBS", "1"}, {kDeck, "TBS", "2"}, {kDeck, "TBS2", "3"}});
  page_ = Page(ChannelLine("TBS", "061"));
  Run();
  EXPECT_EQ(
      SavedRows(),
      (std::vector<Row>{{"RD-XS41", "TBS", "1"}, {kDeck, "TBS", "061"}, {kDeck, "TBS2", "3"}}));
}

TEST_F(ChannelRetrievalTest, UnusualChannelLines) {
  WriteNumbers({{kDeck, "旧局", "777"}});
  page_ = Page(ChannelLine("フジ", "081", 1) + ChannelLine("フジ", "082", 2) +  // later wins
               ChannelLine("", "999", 3) +                                      // empty name
               "c5[index]=\"テレ玉\";index++;\r\n" +                            // no number
               "c5[index]=\"MX\r\";c2[index]=\"091\";\n" +  // lone CR dropped, LF ends
               ChannelLine("BS日テレ 4K", "BS141", 4));     // a blank inside the quotes
  Run();
  EXPECT_EQ(SavedRows(), (std::vector<Row>{{kDeck, "旧局", "777"},
                                           {kDeck, "フジ", "082"},
                                           {kDeck, "", "999"},
                                           {kDeck, "テレ玉", ""},
                                           {kDeck, "MX", "091"},
                                           {kDeck, "BS日テレ 4K", "BS141"}}));
}

TEST_F(ChannelRetrievalTest, ByteTwentySixEndsThePage) {
  page_ = Page(ChannelLine("TBS", "061") + "\x1A" + ChannelLine("フジ", "081"));
  Run();
  EXPECT_EQ(SavedRows(), (std::vector<Row>{{kDeck, "TBS", "061"}}));
  EXPECT_EQ(yields_, 4);  // one per line read: three before the channel line and itself
}

TEST_F(ChannelRetrievalTest, LongNameIsFoundAgainUnderItsStoredWidth) {
  const std::string long_name = "ケーブルテレビ地域チャンネル１２３";  // 34 bytes, folded 32
  page_ = Page(ChannelLine(long_name, "301"));
  Run();
  Run();
  ASSERT_EQ(SavedRows().size(), 1u);
  EXPECT_EQ(std::get<1>(SavedRows()[0]).size(), 30u);
  EXPECT_EQ(std::get<2>(SavedRows()[0]), "301");
}

TEST_F(ChannelRetrievalTest, LeftOverPageThatCannotBeDeletedIsNotReadAsTheAnswer) {
  page_ = Page(ChannelLine("ＮＨＫ総合", "011"));
  const std::string left_over = IncludeTrailingDelimiter(dir_.File("temp")) + "s_chset.htm";
  WriteBytes(left_over, Page(ChannelLine("ＴＢＳ", "061")));
  env_.Keep(left_over);
  Run();
  EXPECT_TRUE(urls_.empty());
  EXPECT_EQ(messages_, std::vector<std::string>{std::string(kChannelConnectFailed) +
                                                "\n古いページを削除できません: " + left_over});
  EXPECT_FALSE(env_.FileExists(NumbersFile()));
}

TEST_F(ChannelRetrievalTest, NothingReceivedReportsConnectionFailureAndKeepsFiles) {
  WriteNumbers({{kDeck, "TBS", "061"}});
  const std::string before = ReadBytes(NumbersFile());
  WriteBytes(dir_.path() + "temp/s_chset.htm", "stale page");
  Run();
  EXPECT_EQ(messages_, std::vector<std::string>{kChannelConnectFailed});
  EXPECT_FALSE(env_.FileExists(dir_.path() + "temp/s_chset.htm"));
  EXPECT_EQ(ReadBytes(NumbersFile()), before);
  EXPECT_FALSE(env_.FileExists(dir_.File("qdrTVCHNo.old")));
  EXPECT_FALSE(table_tv_.Active());
  EXPECT_FALSE(table_ch_no_.Active());
}

TEST_F(ChannelRetrievalTest, PageWithoutChannelLinesOrWithoutFile) {
  page_ = Page("c1[index]=\"1\";\r\n");
  Run();
  EXPECT_EQ(messages_, std::vector<std::string>{kChannelNoChannels});
  EXPECT_FALSE(env_.FileExists(NumbersFile()));

  // Bytes counted but no file left behind: the run ends without a message.
  messages_.clear();
  context_.download = [](const std::string&, const std::string&, Status*) {
    return std::int64_t{10};
  };
  Run();
  EXPECT_TRUE(messages_.empty());
  EXPECT_FALSE(table_ch_no_.Active());
}

TEST_F(ChannelRetrievalTest, StopEndsTheLoopAndKeepsWhatWasWritten) {
  // Three lines of script head, then one channel per line; stop during the fifth yield.
  page_ = Page(ChannelLine("TBS", "061", 1) + ChannelLine("フジ", "081", 2) +
               ChannelLine("テレ朝", "051", 3));
  stop_at_yield_ = 5;
  Run();
  EXPECT_EQ(messages_, std::vector<std::string>{kChannelStopped});
  EXPECT_EQ(SavedRows(), (std::vector<Row>{{kDeck, "TBS", "061"}, {kDeck, "フジ", "081"}}));
  EXPECT_EQ(yields_, 5);
}

TEST_F(ChannelRetrievalTest, InvalidPatternEndsTheRunAndSavesEarlierRows) {
  page_ = Page(ChannelLine("TBS", "061", 1) + ChannelLine("NHK(総合", "011", 2) +
               ChannelLine("フジ", "081", 3));
  std::vector<bool> button_states;
  std::string error;
  try {
    ChannelButtonClick(context_, [&](bool enabled) { button_states.push_back(enabled); });
  } catch (const PatternError& e) {
    error = e.what();
  }
  EXPECT_NE(error.find("NHK(総合"), std::string::npos) << Utf8(error);
  EXPECT_EQ(button_states, (std::vector<bool>{false, true}));
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(SavedRows(), (std::vector<Row>{{kDeck, "TBS", "061"}}));
  EXPECT_FALSE(table_tv_.Active());
  EXPECT_FALSE(table_ch_no_.Active());
}

TEST_F(ChannelRetrievalTest, ButtonIsDisabledWhileTheRetrievalRuns) {
  std::vector<bool> button_states;
  bool enabled_during_download = true;
  context_.download = [&](const std::string&, const std::string&, Status*) {
    enabled_during_download = button_states.back();
    return std::int64_t{0};
  };
  ChannelButtonClick(context_, [&](bool enabled) { button_states.push_back(enabled); });
  EXPECT_FALSE(enabled_during_download);
  EXPECT_EQ(button_states, (std::vector<bool>{false, true}));
}

TEST_F(ChannelRetrievalTest, UnreadableTableEndsTheRunWithTheOtherTableClosed) {
  WriteNumbers({{kDeck, "TBS", "061"}});
  WriteTranslations({{"TBS", "TBS-HD"}});
  env_.Lock(dir_.File(kTableTVChNoFile));
  page_ = Page(ChannelLine("TBS", "062"));
  EXPECT_THROW(Run(), std::runtime_error);
  EXPECT_FALSE(table_tv_.Active());  // opened first, closed again
  EXPECT_FALSE(table_ch_no_.Active());
  EXPECT_TRUE(urls_.empty());
}

}  // namespace
}  // namespace tavelin
