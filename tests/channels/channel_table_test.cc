#include "channels/channel_table.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "channels/channel_csv.h"
#include "platform/path.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

const std::string kChNoHeader = "\"ToolName\",\"TVChannel\",\"TVChannelNo\",\r\n";

// Fails chosen file operations of the real Env.
class FailingEnv : public EnvWrapper {
 public:
  explicit FailingEnv(Env* target) : EnvWrapper(target) {}
  Status ReadFile(const std::string& path, std::string* contents) override {
    if (fail_reads) return Status(Status::Kind::kFileError, "refused");
    return EnvWrapper::ReadFile(path, contents);
  }
  Status NewWritableFile(const std::string& path, bool append,
                         std::unique_ptr<WritableFile>* file) override {
    if (fail_creates) return Status(Status::Kind::kFileError, "refused");
    return EnvWrapper::NewWritableFile(path, append, file);
  }
  bool fail_reads = false;
  bool fail_creates = false;
};

// A string of every byte of a literal, zero bytes included.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

class ChannelTableTest : public ::testing::Test {
 protected:
  std::string Message(const std::exception& e) { return e.what(); }
  // Opens TableTVChNo over `bytes`, or over no file at all when `bytes` is null.
  ChannelTable OpenChNo(const char* bytes) {
    if (bytes) WriteBytes(dir_.File(kTableTVChNoFile), bytes);
    ChannelTable table = ChannelTable::TableTVChNo(env_, dir_.path());
    table.Open();
    return table;
  }
  // Every record, fields joined by '|', null shown as '~'.
  std::vector<std::string> Rows(ChannelTable& table) {
    std::vector<std::string> rows;
    for (table.First(); !table.Eof(); table.Next()) {
      std::string row;
      for (const ChannelFieldDef& field : table.Fields()) {
        if (!row.empty()) row += '|';
        row += table.FieldIsNull(field.name) ? "~" : table.FieldByName(field.name);
      }
      rows.push_back(row);
    }
    return rows;
  }

  testing::TempDir dir_;
  testing::FakeEnv env_{dir_};
};

TEST_F(ChannelTableTest, FactoriesNameFilesAndFields) {
  ChannelTable tv = ChannelTable::TableTV(env_, "/root");
  EXPECT_EQ(tv.FileName(), IncludeTrailingDelimiter("/root") + "tvconvert.csv");
  EXPECT_EQ(tv.Fields()[1].header, "新しいTV局名");
  EXPECT_EQ(ChannelTable::TableTVChNo(env_, "/root/").FileName(), "/root/qdrTVCHNo.csv");
  ChannelTable data = ChannelTable::TableTVChData(env_, "/r");
  EXPECT_EQ(data.FileName(), IncludeTrailingDelimiter("/r") + "tvchdata.csv");
  EXPECT_EQ(data.Fields()[1].size, 16u);
  EXPECT_FALSE(data.Active());
}

TEST_F(ChannelTableTest, WritesTheExactFormat) {
  std::vector<ChannelFieldDef> fields = {{"A", 10, "Ha"}, {"B", 10, "Hb"}, {"C", 10, "Hc"}};
  std::vector<ChannelRecord> records = {
      {std::string("x"), std::nullopt, std::string("")},
      {std::string("say \"hi\""), std::string("100%"), Bytes("a\r\nb\0c")},
  };
  EXPECT_EQ(WriteChannelCsv(records, fields),
            "\"Ha\",\"Hb\",\"Hc\",\r\n"
            "\"x\",,\"\",\r\n"
            "\"say \"\"hi\"\"\",\"100%%\",\"a%c%nb%0c\",\r\n");
  EXPECT_EQ(WriteChannelCsv({}, fields), "\"Ha\",\"Hb\",\"Hc\",\r\n");
}

TEST_F(ChannelTableTest, ReadingRules) {
  ChannelTable table = OpenChNo(
      "\"ToolName\",\"TVChannel\",\"TVChannelNo\",\r\n"
      "\r\n\r\n"
      "\"RD\",word,\"\",\r\n"                            // unquoted -> null, quoted empty -> empty
      "\"RD\"\n"                                         // missing fields stay null
      "\"a\"\"b\",\"%%%n%c%0%x%\",\"1\",\"extra\",\r\n"  // doubled quote, escapes, extra column
      "\"last\",\"no line end\",\"2\"");
  EXPECT_EQ(Rows(table), (std::vector<std::string>{"RD|~|", "RD|~|~", Bytes("a\"b|%\n\r\0%x%|1"),
                                                   "last|no line end|2"}));
}

TEST_F(ChannelTableTest, EmptyAndHeaderOnlyFilesGiveEmptyTables) {
  for (const char* bytes : {"", "\r\n\r\n", "\"ToolName\",\r\n"}) {
    ChannelTable table = OpenChNo(bytes);
    EXPECT_EQ(table.RecordCount(), 0) << bytes;
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.FieldByName("TVChannel"), "");
  }
}

TEST_F(ChannelTableTest, HeaderMatching) {
  struct Case {
    const char* header;
    const char* row;  // as stored: VideoDeckName|TVChannel|TVChannelNo
  } cases[] = {
      {"\"ToolName\",\"TVChannel\",\"TVChannelNo\",", "a|b|c"},
      {"\"toolname\",\"tvchannel\",\"TvChannelNo\",", "a|b|c"},       // ASCII case ignored
      {"\"VideoDeckName\",\"TVChannel\",\"TVChannelNo\",", "~|b|c"},  // no such header
      {"\"TVChannelNo\",\"ToolName\",\"TVChannel\",", "b|c|a"},       // by name, not position
      {",\"TVChannel\",,", "a|b|c"},                                  // null: same position
      {"\"TVChannel\",", "~|a|~"},  // one header field: one field read per line
      {"\"ToolName\",\"Junk\",\"TVChannelNo\",\"TVChannel\",", "a|d|c"},
  };
  for (const Case& c : cases) {
    ChannelTable table =
        OpenChNo((std::string(c.header) + "\r\n\"a\",\"b\",\"c\",\"d\",\r\n").c_str());
    EXPECT_EQ(Rows(table), (std::vector<std::string>{c.row})) << c.header;
    table.Close();
  }
}

TEST_F(ChannelTableTest, ValuesAreCutToTheFieldSize) {
  const std::string long_name(35, 'n');
  ChannelTable table = OpenChNo(("\"TVChannel\",\r\n\"" + long_name + "\",\r\n").c_str());
  EXPECT_EQ(table.FieldByName("TVChannel"), std::string(30, 'n'));
  table.Append();
  table.SetFieldByName("TVChannel", std::string(20, 'm'));
  table.SetFieldByName("TVChannelNo", std::string(300, '1'));
  table.Post();
  EXPECT_EQ(table.FieldByName("TVChannel"), std::string(20, 'm'));
  EXPECT_EQ(table.FieldByName("TVChannelNo"), std::string(256, '1'));
  EXPECT_EQ(CutToSize("予約", 3), "予\x96");  // the cut may split a character
}

TEST_F(ChannelTableTest, SaveCycleRoundTripsAndKeepsTheOldFile) {
  const std::string original = kChNoHeader + "\"RD1\",\"NHK\",\"011\",\r\n";
  ChannelTable table = OpenChNo(original.c_str());
  const std::string tricky = Bytes("\"q\" 100% a\r\nb\n\0z");
  table.Append();
  table.SetFieldByName("VideoDeckName", "RD1");
  table.SetFieldByName("TVChannel", tricky);
  table.SetFieldByName("TVChannelNo", "");
  table.Post();
  table.Close();
  EXPECT_FALSE(table.Active());

  EXPECT_EQ(ReadBytes(dir_.File("qdrTVCHNo.old")), original);
  EXPECT_FALSE(env_.FileExists(dir_.File("qdrTVCHNo.$$$")));
  EXPECT_EQ(ReadBytes(dir_.File(kTableTVChNoFile)),
            original + "\"RD1\",\"\"\"q\"\" 100%% a%c%nb%n%0z\",\"\",\r\n");

  table.Open();
  EXPECT_EQ(Rows(table), (std::vector<std::string>{"RD1|NHK|011", "RD1|" + tricky + "|"}));
}

TEST_F(ChannelTableTest, RewriteNormalisesTheFile) {
  // Once changed, the file is written in this program's format: known columns only,
  // header texts as the table names them, unquoted values gone.
  ChannelTable table = OpenChNo(
      "\"VideoDeckName\",\"TVChannel\",\"TVChannelNo\",\"Extra\"\r\n"
      "\"RD\",bare,\"1\",\"x\"\r\n");
  table.Edit();
  table.SetFieldByName("TVChannelNo", "2");
  table.Post();
  table.Close();
  EXPECT_EQ(ReadBytes(dir_.File(kTableTVChNoFile)), kChNoHeader + ",,\"2\",\r\n");
}

TEST_F(ChannelTableTest, UnchangedTablesLeaveFilesUntouched) {
  // Odd but valid content that a rewrite would change.
  const std::string bytes =
      "\"ToolName\",\"TVChannel\",\"TVChannelNo\",\"HostColumn\"\n"
      "\"RD\",\"NHK\",\"1\",\"kept\"\n";
  for (bool read_only : {false, true}) {
    WriteBytes(dir_.File(kTableTVChNoFile), bytes);
    ChannelTable table = ChannelTable::TableTVChNo(env_, dir_.path());
    table.SetReadOnly(read_only);
    table.Open();
    ASSERT_TRUE(table.Locate("VideoDeckName;TVChannelNo", {"RD", "1"}));
    EXPECT_EQ(table.FieldByName("TVChannel"), "NHK");
    if (!read_only) {
      table.Edit();  // the same value posted again changes nothing
      table.SetFieldByName("TVChannel", "NHK");
      table.Post();
      table.Edit();  // changed but never posted: discarded at close
      table.SetFieldByName("TVChannel", "changed");
    }
    table.Close();
    EXPECT_EQ(ReadBytes(dir_.File(kTableTVChNoFile)), bytes);
    EXPECT_FALSE(env_.FileExists(dir_.File("qdrTVCHNo.old")));
    EXPECT_FALSE(env_.FileExists(dir_.File("qdrTVCHNo.$$$")));
  }
  // A missing file stays missing.
  ChannelTable missing = ChannelTable::TableTVChData(env_, dir_.path());
  missing.Open();
  missing.Close();
  EXPECT_FALSE(env_.FileExists(dir_.File(kTableTVChDataFile)));
}

TEST_F(ChannelTableTest, MissingFileGetsCreatedOnceSomethingIsPosted) {
  ChannelTable table = ChannelTable::TableTV(env_, dir_.path());
  table.Open();
  EXPECT_EQ(table.RecordCount(), 0);
  table.Append();
  table.SetFieldByName("OldChannel", "ＮＨＫ");
  table.Post();
  table.Close();
  EXPECT_EQ(ReadBytes(dir_.File(kTableTVFile)),
            "\"元のTV局名\",\"新しいTV局名\",\r\n\"ＮＨＫ\",,\r\n");
  EXPECT_FALSE(env_.FileExists(dir_.File("tvconvert.old")));
}

TEST_F(ChannelTableTest, ReadOnlyRefusesChangesButLoads) {
  WriteBytes(dir_.File(kTableTVChNoFile), kChNoHeader + "\"RD\",\"NHK\",\"1\",\r\n");
  ChannelTable table = ChannelTable::TableTVChNo(env_, dir_.path());
  table.SetReadOnly(true);
  table.Open();
  EXPECT_EQ(table.RecordCount(), 1);
  for (int op = 0; op < 2; ++op) {
    try {
      op == 0 ? table.Edit() : table.Append();
      ADD_FAILURE() << "no error for operation " << op;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(Message(e), "TableTVChNo: 書き込み禁止のデータは変更できません");
    }
  }
  EXPECT_EQ(table.GetState(), ChannelTable::State::kBrowse);
  table.Close();
  table.Open();  // the flag survives closing
  EXPECT_TRUE(table.ReadOnly());
  EXPECT_THROW(table.Edit(), std::runtime_error);
}

TEST_F(ChannelTableTest, LocateFindsTheFirstOfEquals) {
  ChannelTable table = OpenChNo(
      "\"ToolName\",\"TVChannel\",\"TVChannelNo\",\r\n"
      "\"RD\",\"A\",\"1\",\r\n"
      "\"RD\",\"B\",\"2\",\r\n"
      "\"RX\",\"C\",\"2\",\r\n"
      "\"RD\",\"D\",\"2\",\r\n"
      ",\"E\",\"3\",\r\n");
  ASSERT_TRUE(table.Locate("VideoDeckName;TVChannelNo", {"RD", "2"}));
  EXPECT_EQ(table.FieldByName("TVChannel"), "B");
  ASSERT_TRUE(table.Locate("TVChannelNo", {"2"}));
  EXPECT_EQ(table.FieldByName("TVChannel"), "B");
  ASSERT_TRUE(table.Locate("tvchannelno", {"2"}));  // field names ignore ASCII case
  // Not found (partial, case, null): the cursor stays.
  table.Next();
  EXPECT_FALSE(table.Locate("VideoDeckName;TVChannelNo", {"R", "2"}));
  EXPECT_FALSE(table.Locate("VideoDeckName", {"rd"}));
  EXPECT_FALSE(table.Locate("VideoDeckName", {""}));
  EXPECT_EQ(table.FieldByName("TVChannel"), "C");
  EXPECT_THROW(table.Locate("VideoDeckName;TVChannel", {"RD"}), std::invalid_argument);
  EXPECT_THROW(table.Locate("Nonsense", {"RD"}), std::runtime_error);
}

TEST_F(ChannelTableTest, CursorAndEditing) {
  ChannelTable table =
      OpenChNo((kChNoHeader + "\"RD\",\"A\",\"1\",\r\n\"RD\",\"B\",\"2\",\r\n").c_str());
  EXPECT_FALSE(table.Eof());
  table.Next();
  EXPECT_EQ(table.FieldByName("TVChannel"), "B");
  table.Next();
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.FieldByName("TVChannel"), "B");  // stays on the last record

  EXPECT_THROW(table.SetFieldByName("TVChannel", "x"), std::runtime_error);  // not editing
  table.First();
  table.Edit();
  table.SetFieldByName("TVChannelNo", "9");
  EXPECT_EQ(table.FieldByName("TVChannelNo"), "9");  // the record being edited
  table.Cancel();
  EXPECT_EQ(table.FieldByName("TVChannelNo"), "1");
  EXPECT_FALSE(table.Modified());

  table.Edit();
  table.SetFieldByName("TVChannelNo", "9");
  table.Next();  // moving away keeps the change
  EXPECT_TRUE(table.Modified());
  table.Append();
  EXPECT_TRUE(table.FieldIsNull("TVChannel"));  // a fresh record is all null
  table.SetFieldByName("TVChannel", "C");
  table.Post();
  EXPECT_EQ(Rows(table), (std::vector<std::string>{"RD|A|9", "RD|B|2", "~|C|~"}));

  // Edit on an empty table appends.
  ChannelTable empty = ChannelTable::TableTVChData(env_, dir_.path());
  empty.Open();
  empty.Edit();
  empty.SetFieldByName("TVURL", "u");
  empty.Post();
  EXPECT_EQ(empty.RecordCount(), 1);
  EXPECT_THROW(ChannelTable::TableTV(env_, dir_.path()).First(), std::runtime_error);
}

TEST_F(ChannelTableTest, UnreadableFileFailsToOpen) {
  WriteBytes(dir_.File(kTableTVChNoFile), kChNoHeader);
  FailingEnv failing(&env_);
  failing.fail_reads = true;
  ChannelTable table = ChannelTable::TableTVChNo(failing, dir_.path());
  try {
    table.Open();
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(Message(e), "ファイル " + dir_.File(kTableTVChNoFile) + " は開けません");
  }
  EXPECT_FALSE(table.Active());
}

TEST_F(ChannelTableTest, FailedSaveKeepsFilesAndTheTableOpen) {
  const std::string original = kChNoHeader + "\"RD\",\"A\",\"1\",\r\n";
  WriteBytes(dir_.File(kTableTVChNoFile), original);
  WriteBytes(dir_.File("qdrTVCHNo.old"), "previous backup");
  FailingEnv failing(&env_);
  ChannelTable table = ChannelTable::TableTVChNo(failing, dir_.path());
  table.Open();
  table.Edit();
  table.SetFieldByName("TVChannelNo", "2");
  table.Post();
  failing.fail_creates = true;
  try {
    table.Close();
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(Message(e), "ファイル " + dir_.File("qdrTVCHNo.$$$") + " を作成できません");
  }
  EXPECT_TRUE(table.Active());
  EXPECT_EQ(ReadBytes(dir_.File(kTableTVChNoFile)), original);
  EXPECT_EQ(ReadBytes(dir_.File("qdrTVCHNo.old")), "previous backup");

  failing.fail_creates = false;  // a later close saves the change
  table.Close();
  EXPECT_EQ(ReadBytes(dir_.File(kTableTVChNoFile)), kChNoHeader + "\"RD\",\"A\",\"2\",\r\n");
  EXPECT_EQ(ReadBytes(dir_.File("qdrTVCHNo.old")), original);
}

// Ends the "process" at the n-th step of a save (file create, append, sync, close, link,
// delete, rename, folder sync): the step does not happen and nothing after it runs.
struct Crash {};
class CrashingEnv : public EnvWrapper {
 public:
  CrashingEnv(Env* target, int crash_at) : EnvWrapper(target), left_(crash_at) {}
  Status NewWritableFile(const std::string& path, bool append,
                         std::unique_ptr<WritableFile>* file) override {
    Step();
    std::unique_ptr<WritableFile> real;
    Status opened = EnvWrapper::NewWritableFile(path, append, &real);
    if (opened.ok()) *file = std::make_unique<File>(this, std::move(real));
    return opened;
  }
  Status LinkOrCopyFile(const std::string& from, const std::string& to) override {
    return Step(), EnvWrapper::LinkOrCopyFile(from, to);
  }
  Status DeleteFile(const std::string& path) override {
    return Step(), EnvWrapper::DeleteFile(path);
  }
  Status RenameFile(const std::string& from, const std::string& to) override {
    return Step(), EnvWrapper::RenameFile(from, to);
  }
  Status SyncFolder(const std::string& folder) override {
    return Step(), EnvWrapper::SyncFolder(folder);
  }
  void Step() {
    if (--left_ == 0) throw Crash{};
  }
  bool crashed() const { return left_ <= 0; }

 private:
  class File : public WritableFile {
   public:
    File(CrashingEnv* env, std::unique_ptr<WritableFile> file)
        : env_(env), file_(std::move(file)) {}
    Status Append(std::string_view bytes) override {
      // Half the bytes reach the file before the end.
      if (env_->left_ == 1) file_->Append(bytes.substr(0, bytes.size() / 2));
      return env_->Step(), file_->Append(bytes);
    }
    Status Flush() override { return file_->Flush(); }
    Status Sync() override { return env_->Step(), file_->Sync(); }
    Status Close() override { return env_->Step(), file_->Close(); }

   private:
    CrashingEnv* env_;
    std::unique_ptr<WritableFile> file_;
  };
  int left_;
};

TEST_F(ChannelTableTest, SaveCutShortAtAnyStepLeavesACompleteTable) {
  const std::string before = kChNoHeader + "\"RD\",\"A\",\"1\",\r\n";
  for (int crash_at = 1;; ++crash_at) {
    WriteBytes(dir_.File(kTableTVChNoFile), before);
    env_.DeleteFile(dir_.File("qdrTVCHNo.old"));
    CrashingEnv crashing(&env_, crash_at);
    ChannelTable table = ChannelTable::TableTVChNo(crashing, dir_.path());
    table.Open();
    table.Edit();
    table.SetFieldByName("TVChannelNo", "2");
    table.Post();
    try {
      table.Close();
    } catch (const Crash&) {
    }
    std::vector<std::string> notices;
    ChannelTable reopened = ChannelTable::TableTVChNo(env_, dir_.path());
    reopened.SetNotice([&](const std::string& m) { notices.push_back(m); });
    reopened.Open();
    const std::vector<std::string> rows = Rows(reopened);
    EXPECT_TRUE(rows == std::vector<std::string>{"RD|A|1"} ||
                rows == std::vector<std::string>{"RD|A|2"})
        << "crash at step " << crash_at << ": " << ::testing::PrintToString(rows);
    EXPECT_TRUE(notices.empty()) << "crash at step " << crash_at;
    if (!crashing.crashed()) {
      EXPECT_EQ(rows, std::vector<std::string>{"RD|A|2"});
      EXPECT_EQ(ReadBytes(dir_.File("qdrTVCHNo.old")), before);
      break;
    }
  }
}

TEST_F(ChannelTableTest, MissingFileIsReadFromItsBackupWhichASaveKeeps) {
  const std::string backup = kChNoHeader + "\"RD\",\"A\",\"1\",\r\n";
  WriteBytes(dir_.File("qdrTVCHNo.old"), backup);
  std::vector<std::string> notices;
  ChannelTable table = ChannelTable::TableTVChNo(env_, dir_.path());
  table.SetNotice([&](const std::string& m) { notices.push_back(m); });
  table.Open();
  EXPECT_EQ(Rows(table), std::vector<std::string>{"RD|A|1"});
  EXPECT_EQ(notices,
            std::vector<std::string>{"ファイル " + dir_.File(kTableTVChNoFile) + " がないため " +
                                     dir_.File("qdrTVCHNo.old") + " を読みます"});
  table.Append();
  table.SetFieldByName("TVChannel", "B");
  table.Post();
  table.Close();
  EXPECT_EQ(ReadBytes(dir_.File(kTableTVChNoFile)), backup + ",\"B\",,\r\n");
  EXPECT_EQ(ReadBytes(dir_.File("qdrTVCHNo.old")), backup);
}

TEST(ChannelCsvTest, UnescapeKeepsUnknownPercentSequences) {
  struct Case {
    const char* escaped;
    std::string value;
  } cases[] = {
      {"%%n", "%n"}, {"%x", "%x"}, {"50%", "50%"}, {"%N%C", "%N%C"}, {"%0%0", Bytes("\0\0")}};
  for (const Case& c : cases) EXPECT_EQ(UnescapeChannelValue(c.escaped), c.value) << c.escaped;
}

}  // namespace
}  // namespace tavelin
