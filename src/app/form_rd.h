// TFormRD: the plug-in's main window. It owns the controls and long-lived components,
// runs the first-activation sequence (parameter check, settings, proxy, mode), drives the
// fetch (app/fetch_pipeline.h) and shows its status line, progress and watchdog, and holds
// the run-control buttons. Everything runs on one thread; handlers run nested inside Yield().
#ifndef TAVELIN_APP_FORM_RD_H_
#define TAVELIN_APP_FORM_RD_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/about_form.h"
#include "app/command_line.h"
#include "app/fetch_pipeline.h"
#include "app/log_file.h"
#include "app/placement.h"
#include "channels/channel_pattern.h"
#include "channels/channel_table.h"
#include "net/page_download.h"
#include "net/recorder_pages.h"
#include "output/output_step.h"
#include "platform/env.h"
#include "platform/run_control.h"
#include "ui/backend.h"
#include "ui/form.h"

namespace tavelin {

inline constexpr char kApplicationTitle[] = "Tavelin";
inline constexpr char kDefaultRecorderName[] = "RD-H1";
inline constexpr int kWatchdogMs = 20000;
// The longest a yield lets the window's queue wait while nothing is known to be in it.
inline constexpr uint64_t kPumpIntervalMicros = 1000;

class TFormRD : public ui::Form,
                public DownloadHost,
                public ConnectionTestView,
                public RunControl,
                public FetchView {
 public:
  // `parameters` are the command-line parameters without the program name, as Shift-JIS.
  // Construction is the window's creation: it installs the exception hook on `backend`,
  // reads the root folder, points the tables, the log and the host-INI keeper at it,
  // activates the log and restores the remembered placement and texts.
  TFormRD(Env& env, ui::Backend& backend, std::vector<std::string> parameters);
  ~TFormRD() override;

  // --- Controls, named as the window definition names them ---------------------------
  ui::Label RxLabel1{"RxLabel1"};                // title
  ui::Label Label3{"Label3"};                    // caption of the address
  ui::Edit RDH1_IP{"RDH1_IP"};                   // recorder address
  ui::Label Label6{"Label6"};                    // caption of the port
  ui::Edit RDH1_Port{"RDH1_Port"};               // recorder port
  ui::Label Label4{"Label4"};                    // caption of the user ID
  ui::Edit RDH1_ID{"RDH1_ID"};                   // login user ID
  ui::Label Label5{"Label5"};                    // caption of the password
  ui::Edit RDH1_PW{"RDH1_PW"};                   // login password
  ui::Button Button1{"Button1"};                 // connection test
  ui::Button ButtonHome{"ButtonHome"};           // opens the home page
  ui::Button ButtonAbout{"ButtonAbout"};         // version information
  ui::RadioGroup WRecSetting{"WRecSetting"};     // dual-recording (W録) choice
  ui::Label Label1{"Label1"};                    // status line of a fetch
  ui::Label Label2{"Label2"};                    // spare label, always empty
  ui::ProgressBar ProgressBar1{"ProgressBar1"};  // fetch progress
  ui::Button ButtonPlay{"ButtonPlay"};           // resume after a pause
  ui::Button ButtonStop{"ButtonStop"};           // stop and close
  ui::Button ButtonPause{"ButtonPause"};         // pause
  ui::Button ButtonCH{"ButtonCH"};               // channel list retrieval
  ui::Timer Timer1{"Timer1"};                    // watchdog of a fetch (kWatchdogMs)

  // --- Components ---------------------------------------------------------------------
  TLogFile LogFile1;                 // qdr.log
  RegistryPlacement FormPlacement1;  // window placement in the registry
  IniPlacementStorage FormStorage1;  // placement and texts in qdr.ini
  PageDownloader IdHTTP1;            // recorder downloads
  ChannelTable TableTV;              // name translation (tvconvert.csv)
  ChannelTable TableTVChNo;          // channel numbers per deck (qdrTVCHNo.csv)
  ChannelTable TableTVChData;        // channel data (tvchdata.csv)
  PatternMatcher AWKStr1;            // channel name patterns
  // Created on the first click of ButtonAbout.
  AboutWindow AboutForm;

  // --- Window state -------------------------------------------------------------------
  Env& env() { return env_; }
  ui::Backend& backend_ref() { return backend_; }
  const std::vector<std::string>& parameters() const { return parameters_; }
  RunMode mode() const { return mode_; }
  bool activated() const { return activated_; }
  bool stop_requested() const { return stop_requested_; }
  bool pause_requested() const { return pause_requested_; }
  // Root folder with a trailing delimiter.
  const std::string& root_folder() const { return root_folder_; }
  const std::string& deck_name() const { return deck_name_; }
  const std::string& output_folder() const { return output_folder_; }
  const std::string& proxy_host() const { return proxy_host_; }
  const std::string& proxy_port() const { return proxy_port_; }

  // Sleeps 0 ms, then lets the backend handle every pending message: when the backend
  // knows of waiting input, else at most once a millisecond (kPumpIntervalMicros), so that
  // a yield after every element of a long page costs next to nothing.
  void Yield() override;
  // Debug tracing, read afresh from the host INI at every call.
  bool DebugTracing() override;
  // RunControl
  bool StopRequested() override { return stop_requested_; }
  void LogError(const std::string& message) override { LogFile1.WriteLine(message, true); }
  int DualRecording() override { return WRecSetting.item_index(); }

  // --- Handlers -----------------------------------------------------------------------
  void FormActivate();
  bool FormCloseQuery();
  void FormClose();
  void FetchRun();
  void ButtonPauseClick();
  void ButtonPlayClick();
  void ButtonStopClick();
  void ButtonHomeClick();
  void Button1Click();
  void Timer1Timer();

  // --- Steps other parts supply ------------------------------------------------------
  // The reservation page download of a fetch (FetchJob::download; default:
  // FetchReservationPage with the window's address and port). Tests put a scripted one here.
  std::function<bool(SavedPage* page, Status* why)> reservation_fetch;
  // The parse step over the saved page (FetchJob::parse; empty: RunParseStep).
  std::function<void(const SavedPage& page)> parse_step;
  // ButtonCHClick (default: the channel list retrieval with this window's tables).
  std::function<void()> channel_retrieval;
  // ButtonAboutClick (default: show the About window).
  std::function<void()> show_about;

  // DownloadHost
  std::string UserId() override { return RDH1_ID.text(); }
  std::string Password() override { return RDH1_PW.text(); }
  std::string ProxyHost() override { return proxy_host_; }
  std::string ProxyPort() override { return proxy_port_; }
  void LogLine(const std::string& line) override { LogFile1.WriteLine(line, false); }
  // FetchView (DebugTracing and LogLine above serve it too)
  void ShowStatus(const std::string& status) override { Label1.SetText(status); }
  void ShowProgress(int percent) override { ProgressBar1.SetPosition(percent); }
  void StopWatchdog() override { Timer1.SetEnabled(false); }
  // ConnectionTestView
  void SetTestButtonEnabled(bool enabled) override { Button1.SetEnabled(enabled); }
  void ShowMessage(const std::string& text) override;

 protected:
  void OnShow() override;
  void OnActivate() override { FormActivate(); }
  bool OnCloseQuery() override { return FormCloseQuery(); }
  void OnClose() override { FormClose(); }

 private:
  void BuildControls();
  void FormCreate();
  void LoadSettings();
  void SaveSettings();
  void SetEditsEnabled(bool enabled);
  void DefaultChannelRetrieval();

  Env& env_;
  ui::Backend& backend_;
  std::vector<std::string> parameters_;
  RunMode mode_ = RunMode::kNoParameter;
  bool activated_ = false;
  bool stop_requested_ = false;
  bool pause_requested_ = false;
  // When Yield() last gave up the processor and pumped the queue (Env::NowMicros()).
  bool pumped_ = false;
  uint64_t last_pump_micros_ = 0;
  std::string root_folder_;
  std::string deck_name_;
  std::string output_folder_;
  std::string proxy_host_;
  std::string proxy_port_;
};

}  // namespace tavelin

#endif  // TAVELIN_APP_FORM_RD_H_
