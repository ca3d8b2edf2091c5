// The channel list retrieval against the simulated recorder, through the real page download.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channels/channel_retrieval.h"
#include "net/page_download.h"
#include "support/recorder_sim.h"
#include "support/scripted_run.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

class LoginHost : public DownloadHost {
 public:
  std::string UserId() override { return "rd"; }
  std::string Password() override { return "recorder"; }
  std::string ProxyHost() override { return ""; }
  std::string ProxyPort() override { return ""; }
  bool DebugTracing() override { return false; }
  void LogLine(const std::string&) override {}
};

class ChannelRetrievalSimTest : public ::testing::Test {
 protected:
  ChannelRetrievalSimTest()
      : env_(dir_),
        downloader_(env_, host_),
        table_tv_(ChannelTable::TableTV(env_, dir_.path())),
        table_ch_no_(ChannelTable::TableTVChNo(env_, dir_.path())) {
    env_.set_temp_folder(dir_.path());
    context_.env = &env_;
    context_.table_tv = &table_tv_;
    context_.table_tv_ch_no = &table_ch_no_;
    context_.matcher = &matcher_;
    context_.deck_name = "RD-X5";
    context_.address = "127.0.0.1";
    context_.download = [this](const std::string& url, const std::string& file, Status* why) {
      return downloader_.Download(url, file, why);
    };
    context_.run = &run_;
    context_.message_box = [this](const std::string& text) { messages_.push_back(text); };
  }

  std::vector<std::string> Stations() {
    ChannelTable table = ChannelTable::TableTVChNo(env_, dir_.path());
    table.Open();
    std::vector<std::string> rows;
    for (table.First(); !table.Eof(); table.Next()) {
      rows.push_back(table.FieldByName("TVChannel") + "=" + table.FieldByName("TVChannelNo"));
    }
    table.Close();
    return rows;
  }

  TempDir dir_;
  testing::FakeEnv env_;
  LoginHost host_;
  PageDownloader downloader_;
  ChannelTable table_tv_;
  ChannelTable table_ch_no_;
  PatternMatcher matcher_;
  ScriptedRun run_;
  ChannelRetrievalContext context_;
  std::vector<std::string> messages_;
};

TEST_F(ChannelRetrievalSimTest, ReadsTheRecordersChannelsBehindADigestLogin) {
  RecorderSim sim({"--login", "digest"});
  ASSERT_TRUE(sim.started());
  context_.port = std::to_string(sim.port());
  RetrieveChannelList(context_);
  EXPECT_EQ(messages_, std::vector<std::string>{kChannelSucceeded});
  const std::vector<std::string> expected = {"NHK総合=011",    "NHK教育=021",    "日本テレビ=041",
                                             "TBS=061",        "フジテレビ=081", "テレビ朝日=051",
                                             "テレビ東京=071", "NHK BS1=BS101"};
  EXPECT_EQ(Stations(), expected);
  ASSERT_EQ(sim.Requests().size(), 2u);  // the challenge, then the answer
  EXPECT_EQ(sim.Requests()[0].rfind("GET /setup/s_chset.htm HTTP/1.1\r\n", 0), 0u);
}

TEST_F(ChannelRetrievalSimTest, ChangedNumberUpdatesTheRowWithoutAddingOne) {
  const std::string page = dir_.File("s_chset_changed.htm");
  testing::WriteBytes(
      page,
      "<script>\r\nc1[index]=\"1\";c5[index]=\"ＴＢＳ\";c2[index]=\"062\";\r\n"
      "c1[index]=\"2\";c5[index]=\"ＮＨＫ総合\";c2[index]=\"011\";\r\n</script>\r\n");
  {
    RecorderSim sim;
    ASSERT_TRUE(sim.started());
    context_.port = std::to_string(sim.port());
    RetrieveChannelList(context_);
  }
  RecorderSim sim({"--chset-file", page});
  ASSERT_TRUE(sim.started());
  context_.port = std::to_string(sim.port());
  RetrieveChannelList(context_);
  const std::vector<std::string> stations = Stations();
  ASSERT_EQ(stations.size(), 8u);
  EXPECT_EQ(stations[3], "TBS=062");
  EXPECT_EQ(stations[0], "NHK総合=011");
}

TEST_F(ChannelRetrievalSimTest, StoppedRecorderGivesConnectionFailure) {
  int port = 0;
  {
    RecorderSim sim;
    ASSERT_TRUE(sim.started());
    port = sim.port();
  }
  context_.port = std::to_string(port);
  const std::vector<std::string>& log = run_.errors;
  RetrieveChannelList(context_);
  const std::string reason =
      "接続を拒否されました: 127.0.0.1:" + context_.port + " (Connection refused)";
  EXPECT_EQ(messages_,
            std::vector<std::string>{std::string(kChannelConnectFailed) + "\n" + reason});
  EXPECT_EQ(log, (std::vector<std::string>{kChannelDownloadFailed, reason}));
  EXPECT_FALSE(env_.FileExists(dir_.File(kTableTVChNoFile)));
}

}  // namespace
}  // namespace tavelin
