#include "channels/channel_retrieval.h"

#include <algorithm>
#include <exception>
#include <string_view>
#include <vector>

#include "net/recorder_pages.h"
#include "parse/text_ops.h"
#include "platform/ascii_text.h"
#include "platform/file_ops.h"
#include "platform/items.h"

namespace tavelin {
namespace {

// A channel line of the setup page holds script assignments such as
//   c1[index]="3";c5[index]="ＴＢＳ";c2[index]="061";index++;
constexpr std::string_view kChannelLineMark = "c5[index]=";
constexpr char kNameItem[] = "c5[index]";
constexpr char kNumberItem[] = "c2[index]";

constexpr char kOldChannel[] = "OldChannel";
constexpr char kNewChannel[] = "NewChannel";
constexpr char kVideoDeckName[] = "VideoDeckName";
constexpr char kTVChannel[] = "TVChannel";
constexpr char kTVChannelNo[] = "TVChannelNo";

// Reads the saved page line by line: a line ends at LF or CR LF, a CR elsewhere is dropped,
// and a byte 26 ends the text.
class PageLines {
 public:
  explicit PageLines(std::string_view bytes) : text_(bytes.substr(0, bytes.find('\x1A'))) {}

  bool AtEnd() const { return pos_ >= text_.size(); }

  std::string Next() {
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    std::string line;
    for (char c : text_.substr(pos_, end - pos_)) {
      if (c != '\r') line.push_back(c);
    }
    pos_ = end + 1;
    return line;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// `name` as TVChannel stores it: cut to the field's width.
std::string AsStoredStation(const ChannelTable& table, const std::string& name) {
  for (const ChannelFieldDef& field : table.Fields()) {
    if (field.name == kTVChannel && name.size() > field.size) return name.substr(0, field.size);
  }
  return name;
}

void StoreNumber(ChannelTable& table, const std::string& number) {
  table.Edit();
  table.SetFieldByName(kTVChannelNo, number);
  table.Post();
}

void ProcessChannelLine(const ChannelRetrievalContext& context, std::string line) {
  ChannelTable& numbers = *context.table_tv_ch_no;
  std::replace(line.begin(), line.end(), ';', ',');
  const std::vector<std::string> items = SplitItems(line);

  std::string name = FoldWidth(UnquoteValue(ItemValue(items, kNameItem)));
  std::string mapped;
  ChannelTable& names = *context.table_tv;
  if (!name.empty() && names.Active()) {
    names.First();
    if (names.Locate(kOldChannel, {name})) {
      const std::string translated = names.FieldByName(kNewChannel);
      if (!translated.empty()) name = mapped = translated;
    }
  }
  const std::string number = UnquoteValue(ItemValue(items, kNumberItem));

  // The row is looked up under the name as the table stores it, so that a name longer than
  // the field is found again by the next retrieval instead of being added once more.
  const std::string station = AsStoredStation(numbers, name);
  if (numbers.Locate(std::string(kVideoDeckName) + ";" + kTVChannel,
                     {context.deck_name, station})) {
    StoreNumber(numbers, number);
    return;
  }

  bool updated = false;
  if (mapped.empty() && !name.empty()) {
    context.matcher->set_use_fuzzy_groups(true);
    const ChannelPattern pattern = context.matcher->Compile(name);
    for (numbers.First(); !numbers.Eof() && !context.run->StopRequested(); numbers.Next()) {
      if (numbers.FieldByName(kVideoDeckName) == context.deck_name &&
          pattern.FoundIn(numbers.FieldByName(kTVChannel))) {
        StoreNumber(numbers, number);
        updated = true;
      }
    }
  }
  if (!updated) {
    numbers.Append();
    numbers.SetFieldByName(kVideoDeckName, context.deck_name);
    numbers.SetFieldByName(kTVChannel, station);
    numbers.SetFieldByName(kTVChannelNo, number);
    numbers.Post();
  }
}

// Closes both tables that are open, the second also when closing the first fails; the
// first failure is thrown after both were tried.
void CloseTables(const ChannelRetrievalContext& context) {
  std::exception_ptr failure;
  for (ChannelTable* table : {context.table_tv, context.table_tv_ch_no}) {
    if (!table->Active()) continue;
    try {
      table->Close();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void Retrieve(const ChannelRetrievalContext& context) {
  Env& env = *context.env;
  if (!context.table_tv->Active()) context.table_tv->Open();
  if (!context.table_tv_ch_no->Active()) context.table_tv_ch_no->Open();

  const std::string page_file = TempFile(env, kChannelSetupFile);
  const std::string url = "http://" + std::string(TrimControls(context.address)) + ":" +
                          std::string(TrimControls(context.port)) + kChannelSetupPath;
  // A left-over page that cannot be deleted would be read as the recorder's answer.
  Status why;
  if (page_file.empty()) {
    why = Status(Status::Kind::kNoTempFolder, NoTempFolderText(env));
  } else if (!RemoveLeftOverFile(env, page_file)) {
    why = Status(Status::Kind::kFileError, "古いページを削除できません: " + page_file);
  } else if (context.download(url, page_file, &why) != 0) {
    why = Status::OK();
  } else if (why.ok()) {
    why = Status(Status::Kind::kConnectFailed, std::string());
  }
  if (!why.ok()) {
    context.run->LogError(kChannelDownloadFailed);
    if (!why.message().empty()) context.run->LogError(why.message());
    context.message_box(ConnectionVerdict(false, why));
    return;
  }
  std::string page;
  if (!env.FileExists(page_file) ||
      !OpenFileWithRetries(
          env, page_file, 0, [&context] { context.run->Yield(); }, &page)) {
    return;
  }

  bool found = false;
  PageLines lines(page);
  while (!lines.AtEnd() && !context.run->StopRequested()) {
    const std::string line = lines.Next();
    if (line.find(kChannelLineMark) != std::string::npos) {
      found = true;
      ProcessChannelLine(context, line);
    }
    context.run->Yield();
  }
  if (context.run->StopRequested()) {
    context.message_box(kChannelStopped);
  } else {
    context.message_box(found ? kChannelSucceeded : kChannelNoChannels);
  }
}

}  // namespace

void RetrieveChannelList(const ChannelRetrievalContext& context) {
  try {
    Retrieve(context);
  } catch (...) {
    // The error that ended the run is the one reported; a table that cannot be saved now
    // stays open with its rows, as closing leaves it.
    const std::exception_ptr failure = std::current_exception();
    try {
      CloseTables(context);
    } catch (...) {
    }
    std::rethrow_exception(failure);
  }
  CloseTables(context);
}

void ChannelButtonClick(const ChannelRetrievalContext& context,
                        const std::function<void(bool enabled)>& set_button_enabled) {
  set_button_enabled(false);
  try {
    RetrieveChannelList(context);
  } catch (...) {
    set_button_enabled(true);
    throw;
  }
  set_button_enabled(true);
}

}  // namespace tavelin
