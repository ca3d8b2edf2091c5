#include "channels/channel_table.h"

#include <stdexcept>
#include <utility>

#include "platform/ascii_text.h"
#include "platform/path.h"

namespace tavelin {
namespace {

ChannelTable MakeTable(Env& env, const std::string& root_folder, const char* file, std::string name,
                       std::vector<ChannelFieldDef> fields) {
  ChannelTable table(env, std::move(name), std::move(fields));
  table.SetFileName(IncludeTrailingDelimiter(root_folder) + file);
  return table;
}

}  // namespace

ChannelTable::ChannelTable(Env& env, std::string table_name, std::vector<ChannelFieldDef> fields)
    : env_(&env), name_(std::move(table_name)), fields_(std::move(fields)) {}

ChannelTable ChannelTable::TableTV(Env& env, const std::string& root_folder) {
  return MakeTable(env, root_folder, kTableTVFile, "TableTV",
                   {{"OldChannel", 40, "元のTV局名"}, {"NewChannel", 40, "新しいTV局名"}});
}

ChannelTable ChannelTable::TableTVChNo(Env& env, const std::string& root_folder) {
  return MakeTable(env, root_folder, kTableTVChNoFile, "TableTVChNo",
                   {{"VideoDeckName", 256, "ToolName"},
                    {"TVChannel", 30, "TVChannel"},
                    {"TVChannelNo", 256, "TVChannelNo"}});
}

ChannelTable ChannelTable::TableTVChData(Env& env, const std::string& root_folder) {
  return MakeTable(env, root_folder, kTableTVChDataFile, "TableTVChData",
                   {{"TVChannel", 40, "TVChannel"},
                    {"TVChannelNo", 16, "TVChannelNo"},
                    {"TVURL", 255, "TVURL"}});
}

void ChannelTable::Open() {
  if (Active()) return;
  std::vector<ChannelRecord> records;
  std::string source = file_name_;
  if (!env_->FileExists(source)) {
    const std::string backup = ChangeFileExt(file_name_, ".old");
    if (env_->FileExists(backup)) {
      source = backup;
      if (notice_) notice_("ファイル " + file_name_ + " がないため " + backup + " を読みます");
    }
  }
  if (env_->FileExists(source)) {
    std::string bytes;
    if (!env_->ReadFile(source, &bytes).ok()) {
      throw std::runtime_error("ファイル " + source + " は開けません");
    }
    records = ReadChannelCsv(bytes, fields_);
  }
  records_ = std::move(records);
  buffer_.clear();
  modified_ = false;
  state_ = State::kBrowse;
  First();
}

void ChannelTable::Close() {
  if (!Active()) return;
  Cancel();
  if (modified_) Save();
  records_.clear();
  modified_ = false;
  cursor_ = 0;
  eof_ = true;
  state_ = State::kInactive;
}

void ChannelTable::Save() {
  const std::string temporary = ChangeFileExt(file_name_, ".$$$");
  const std::string backup = ChangeFileExt(file_name_, ".old");
  const std::string bytes = WriteChannelCsv(records_, fields_);
  std::unique_ptr<WritableFile> file;
  bool written = env_->NewWritableFile(temporary, false, &file).ok();
  if (written) {
    written = file->Append(bytes).ok() && file->Sync().ok();
    written = file->Close().ok() && written;
  }
  if (!written) {
    // A half-written file must never replace the table's file.
    if (file) env_->DeleteFile(temporary);
    throw std::runtime_error("ファイル " + temporary + " を作成できません");
  }
  // The table's name always holds a complete table: the backup is a second name (or a copy)
  // of the current file, and the rename replaces the file in one step. A missing table file
  // keeps the existing backup, which Open() may just have read.
  if (env_->FileExists(file_name_) && !env_->LinkOrCopyFile(file_name_, backup).ok()) {
    env_->DeleteFile(temporary);
    throw std::runtime_error("ファイル " + backup + " を作成できません");
  }
  if (!env_->RenameFile(temporary, file_name_).ok()) {
    env_->DeleteFile(temporary);
    throw std::runtime_error("ファイル " + file_name_ + " を置き換えられません");
  }
  env_->SyncFolder(ExtractFilePath(file_name_));
}

void ChannelTable::First() {
  CheckActive();
  CheckBrowseMode();
  cursor_ = 0;
  eof_ = records_.empty();
}

void ChannelTable::Next() {
  CheckActive();
  CheckBrowseMode();
  if (cursor_ + 1 < RecordCount()) {
    ++cursor_;
  } else {
    eof_ = true;
  }
}

bool ChannelTable::Locate(std::string_view field_names, const std::vector<std::string>& keys) {
  CheckActive();
  std::vector<int> columns;
  std::size_t start = 0;
  while (true) {
    std::size_t semicolon = field_names.find(';', start);
    columns.push_back(FieldIndex(field_names.substr(start, semicolon - start)));
    if (semicolon == std::string_view::npos) break;
    start = semicolon + 1;
  }
  if (columns.size() != keys.size()) {
    throw std::invalid_argument(name_ + ": Locate needs one key per field");
  }
  CheckBrowseMode();
  for (int r = 0; r < RecordCount(); ++r) {
    const ChannelRecord& record = records_[r];
    bool equal = true;
    for (std::size_t k = 0; k < keys.size() && equal; ++k) {
      const ChannelValue& value = record[columns[k]];
      equal = value && *value == keys[k];
    }
    if (equal) {
      cursor_ = r;
      eof_ = false;
      return true;
    }
  }
  return false;
}

std::string ChannelTable::FieldByName(std::string_view field) const {
  CheckActive();
  int index = FieldIndex(field);
  const ChannelRecord* record = nullptr;
  if (state_ == State::kEdit || state_ == State::kAppend) {
    record = &buffer_;
  } else if (!records_.empty()) {
    record = &records_[cursor_];
  }
  if (record == nullptr || !(*record)[index]) return std::string();
  return *(*record)[index];
}

bool ChannelTable::FieldIsNull(std::string_view field) const {
  CheckActive();
  int index = FieldIndex(field);
  if (state_ == State::kEdit || state_ == State::kAppend) return !buffer_[index];
  if (records_.empty()) return true;
  return !records_[cursor_][index];
}

void ChannelTable::Edit() {
  CheckActive();
  if (state_ == State::kEdit || state_ == State::kAppend) return;
  CheckWritable();
  if (records_.empty()) {
    Append();
    return;
  }
  buffer_ = records_[cursor_];
  state_ = State::kEdit;
}

void ChannelTable::Append() {
  CheckActive();
  CheckWritable();
  CheckBrowseMode();
  buffer_.assign(fields_.size(), std::nullopt);
  state_ = State::kAppend;
}

void ChannelTable::SetFieldByName(std::string_view field, std::string_view value) {
  CheckActive();
  int index = FieldIndex(field);
  if (state_ != State::kEdit && state_ != State::kAppend) {
    throw std::runtime_error(name_ + ": 編集モードではありません");
  }
  buffer_[index] = CutToSize(value, fields_[index].size);
}

void ChannelTable::Post() {
  CheckActive();
  if (state_ == State::kEdit) {
    // Posting the values a record already has changes nothing, so nothing is saved for it.
    if (records_[cursor_] != buffer_) modified_ = true;
    records_[cursor_] = std::move(buffer_);
  } else if (state_ == State::kAppend) {
    records_.push_back(std::move(buffer_));
    cursor_ = RecordCount() - 1;
    modified_ = true;
  } else {
    return;
  }
  buffer_.clear();
  eof_ = false;
  state_ = State::kBrowse;
}

void ChannelTable::Cancel() {
  if (state_ != State::kEdit && state_ != State::kAppend) return;
  buffer_.clear();
  state_ = State::kBrowse;
}

int ChannelTable::FieldIndex(std::string_view field) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (SameBytesIgnoringAsciiCase(fields_[i].name, field)) return static_cast<int>(i);
  }
  throw std::runtime_error(name_ + ": フィールド '" + std::string(field) + "' が見つかりません");
}

void ChannelTable::CheckActive() const {
  if (!Active()) throw std::runtime_error(name_ + ": 閉じているデータセットは操作できません");
}

void ChannelTable::CheckWritable() const {
  if (read_only_) throw std::runtime_error(name_ + ": 書き込み禁止のデータは変更できません");
}

void ChannelTable::CheckBrowseMode() {
  // Moving away from a changed record keeps the change.
  if (state_ == State::kEdit || state_ == State::kAppend) Post();
}

}  // namespace tavelin
