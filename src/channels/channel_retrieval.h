// Channel list retrieval: downloads the recorder's channel setup page, reads the name and
// number of every channel line, translates the name through TableTV and records the number
// in TableTVChNo for the deck: matching rows get the new number, otherwise a row is added.
// A message box tells the outcome. It knows no window: the window hands it what it needs.
#ifndef TAVELIN_CHANNELS_CHANNEL_RETRIEVAL_H_
#define TAVELIN_CHANNELS_CHANNEL_RETRIEVAL_H_

#include <cstdint>
#include <functional>
#include <string>

#include "channels/channel_pattern.h"
#include "channels/channel_table.h"
#include "platform/env.h"
#include "platform/run_control.h"

namespace tavelin {

// Where the recorder keeps its channel list, and the file the page is saved as in the temp
// folder.
inline constexpr char kChannelSetupPath[] = "/setup/s_chset.htm";
inline constexpr char kChannelSetupFile[] = "s_chset.htm";

// The message box texts.
inline constexpr char kChannelConnectFailed[] = "接続失敗";
inline constexpr char kChannelStopped[] = "中断";
inline constexpr char kChannelSucceeded[] = "CH情報取得成功";
inline constexpr char kChannelNoChannels[] = "CH情報取得失敗";
// The log line of a retrieval whose page did not arrive, followed by a line with the reason.
inline constexpr char kChannelDownloadFailed[] = "CH情報のダウンロード失敗";

// What the retrieval uses of the main window. Every pointer and function must be set.
struct ChannelRetrievalContext {
  Env* env = nullptr;
  ChannelTable* table_tv = nullptr;        // name translation, only read
  ChannelTable* table_tv_ch_no = nullptr;  // channel numbers per deck, updated
  PatternMatcher* matcher = nullptr;       // its fuzzy groups are switched on for good
  std::string deck_name;
  // The texts of the address and port edits as they stand; trimmed here.
  std::string address;
  std::string port;
  // The page download: saves the page at `url` into `file_name` and returns the byte count,
  // 0 when nothing arrived; `why` then says why.
  std::function<std::int64_t(const std::string& url, const std::string& file_name, Status* why)>
      download;
  std::function<void(const std::string& text)> message_box;
  // Stop, yield (the window handles its pending messages, the stop button among them) and the
  // error log.
  RunControl* run = nullptr;
};

// Runs one retrieval. A page that did not arrive shows "接続失敗" with the reason on a second
// line, and logs kChannelDownloadFailed and the reason. Both tables are closed at the end in every
// case; a table that got a row is saved with its previous file kept as ".old". An error (a channel
// name that is not a valid pattern, a table file that cannot be read or written) ends the retrieval
// after the tables are closed and is thrown on to the caller; no message box is shown for it.
void RetrieveChannelList(const ChannelRetrievalContext& context);

// The click on the channel button: disables the button, runs the retrieval and enables the
// button again, also when an error passes through to the caller's exception hook.
void ChannelButtonClick(const ChannelRetrievalContext& context,
                        const std::function<void(bool enabled)>& set_button_enabled);

}  // namespace tavelin

#endif  // TAVELIN_CHANNELS_CHANNEL_RETRIEVAL_H_
