// ChannelTable: one of the host's channel mapping tables, held in memory while open and kept
// in a CSV file in the host's root folder (format in channels/channel_csv.h).
//
// Opening loads the file; when it is missing but "<name>.old" is there (a save that was cut
// short by another program), the backup is read instead and a notice says so; with neither,
// the table is empty. Closing discards a record that is being edited or appended and not yet
// posted, then writes the table back only when a posted record changed a value or was
// appended: the table goes to "<name>.$$$" and is synced, the current file is kept as
// "<name>.old" (a hard link or a copy, so the table's own name never disappears), the
// ".$$$" file replaces the table in one atomic rename, and the folder is synced. A crash at
// any step leaves a complete table under its name. A table that was only read leaves the
// host's file untouched.
//
// Errors are thrown as std::runtime_error with a Shift-JIS message.
#ifndef TAVELIN_CHANNELS_CHANNEL_TABLE_H_
#define TAVELIN_CHANNELS_CHANNEL_TABLE_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "channels/channel_csv.h"
#include "platform/env.h"

namespace tavelin {

// File names in the host's root folder.
inline constexpr char kTableTVFile[] = "tvconvert.csv";
inline constexpr char kTableTVChNoFile[] = "qdrTVCHNo.csv";
inline constexpr char kTableTVChDataFile[] = "tvchdata.csv";

class ChannelTable {
 public:
  enum class State { kInactive, kBrowse, kEdit, kAppend };

  // `table_name` names the table in error messages ("TableTVChNo").
  ChannelTable(Env& env, std::string table_name, std::vector<ChannelFieldDef> fields);

  // The three tables, with their file in `root_folder` (a delimiter is added when missing).
  // TableTV maps the recorder's station names to the host's (OldChannel, NewChannel).
  static ChannelTable TableTV(Env& env, const std::string& root_folder);
  // TableTVChNo: per deck, the host's station and the recorder's channel text for it
  // (VideoDeckName, TVChannel, TVChannelNo).
  static ChannelTable TableTVChNo(Env& env, const std::string& root_folder);
  // TableTVChData: the host's station list (TVChannel, TVChannelNo, TVURL).
  static ChannelTable TableTVChData(Env& env, const std::string& root_folder);

  const std::string& Name() const { return name_; }
  const std::vector<ChannelFieldDef>& Fields() const { return fields_; }
  const std::string& FileName() const { return file_name_; }
  // Takes effect at the next Open().
  void SetFileName(const std::string& path) { file_name_ = path; }
  // Receives a line for the log when Open() reads the ".old" file in place of a missing one.
  void SetNotice(std::function<void(const std::string& message)> notice) {
    notice_ = std::move(notice);
  }

  bool Active() const { return state_ != State::kInactive; }
  State GetState() const { return state_; }

  // Loads the file and moves to the first record; nothing when already open. Throws
  // "ファイル <file> は開けません" when the file exists but cannot be read (the table stays
  // closed).
  void Open();
  // Discards an unposted record, saves when a record was posted since Open(), and empties
  // the table; nothing when not open. Throws "ファイル <file>.$$$ を作成できません" when the
  // new file cannot be written, "ファイル <file>.old を作成できません" when the backup
  // cannot be kept, and "ファイル <file> を置き換えられません" when the rename fails; the
  // table then stays open with its changes, and the table's file is untouched.
  void Close();

  // While set, Edit() and Append() throw "<Name>: 書き込み禁止のデータは変更できません".
  // Loading is not hindered. The flag survives Close() and Open().
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }

  int RecordCount() const { return static_cast<int>(records_.size()); }

  // Cursor movement. Moving while a record is being edited or appended posts it first.
  void First();
  void Next();
  // True after Next() moved past the last record, and on an empty table.
  bool Eof() const { return eof_; }

  // Moves to the first record, in table order, whose fields named in `field_names`
  // (joined by ';', as "VideoDeckName;TVChannelNo") equal `keys` one by one: whole value,
  // byte for byte. A null field equals no key. False, cursor unchanged, when none does.
  // Throws std::invalid_argument when the number of keys differs from the number of names.
  bool Locate(std::string_view field_names, const std::vector<std::string>& keys);

  // The named field of the current record (of the record being edited or appended, if any);
  // null reads as the empty text, and so does any field of an empty table. Field names match
  // without regard to ASCII case; an unknown name throws.
  std::string FieldByName(std::string_view field) const;
  bool FieldIsNull(std::string_view field) const;

  // Edit makes the current record changeable (on an empty table it appends instead); Append
  // adds a record with every field null at the end and makes it current. SetFieldByName
  // stores a value, cut to the field's size, into the record being edited or appended
  // (throws otherwise); Post makes the change part of the table; Cancel drops it.
  void Edit();
  void Append();
  void SetFieldByName(std::string_view field, std::string_view value);
  void Post();
  void Cancel();

  // True when a posted record changed a value or was appended since the table was opened
  // (Close() will save).
  bool Modified() const { return modified_; }

 private:
  int FieldIndex(std::string_view field) const;
  void CheckActive() const;
  void CheckWritable() const;
  void CheckBrowseMode();
  void Save();

  Env* env_;
  std::string name_;
  std::vector<ChannelFieldDef> fields_;
  std::string file_name_;
  std::function<void(const std::string& message)> notice_;
  State state_ = State::kInactive;
  bool read_only_ = false;
  bool modified_ = false;
  bool eof_ = true;
  int cursor_ = 0;
  std::vector<ChannelRecord> records_;
  ChannelRecord buffer_;  // the record being edited or appended
};

}  // namespace tavelin

#endif  // TAVELIN_CHANNELS_CHANNEL_TABLE_H_
