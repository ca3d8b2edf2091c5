#include "app/form_rd.h"

#include <exception>

#include "app/parse_step.h"
#include "app/settings.h"
#include "channels/channel_retrieval.h"
#include "platform/ascii_text.h"
#include "platform/file_ops.h"
#include "platform/notices.h"
#include "platform/path.h"

namespace tavelin {
namespace {

constexpr uint32_t kRadioBackground = 0xF0FBFF;  // red 240, green 251, blue 255

// Runs `fn` when the scope ends, also when an exception passes.
template <typename Fn>
class Finally {
 public:
  explicit Finally(Fn fn) : fn_(std::move(fn)) {}
  ~Finally() { fn_(); }
  Finally(const Finally&) = delete;
  Finally& operator=(const Finally&) = delete;

 private:
  Fn fn_;
};

}  // namespace

TFormRD::TFormRD(Env& env, ui::Backend& backend, std::vector<std::string> parameters)
    : ui::Form("TFormRD"),
      LogFile1(env),
      FormPlacement1(env),
      FormStorage1(env, {&RDH1_IP, &RDH1_ID, &RDH1_Port}),
      IdHTTP1(env, *this),
      TableTV(ChannelTable::TableTV(env, "")),
      TableTVChNo(ChannelTable::TableTVChNo(env, "")),
      TableTVChData(ChannelTable::TableTVChData(env, "")),
      AboutForm(env, backend),
      env_(env),
      backend_(backend),
      parameters_(std::move(parameters)) {
  BuildControls();
  backend_.Adopt(*this);
  FormCreate();
}

TFormRD::~TFormRD() {
  env_.SetFileWaitHook(nullptr);
  // A keeper that has not saved since its last restore saves now.
  if (FormStorage1.needs_save()) FormStorage1.Save(*this);
  if (FormPlacement1.needs_save()) FormPlacement1.Save(*this);
  backend_.SetExceptionHook(nullptr);
  SetNoticeSink(nullptr);
}

void TFormRD::BuildControls() {
  SetCaption("RDの録画予約データの取得中");
  SetClientSize(445, 183);
  SetFrameless(true);
  SetPlacement(ui::Rect{200, 200, 445, 183});

  auto place = [this](ui::Control& c, int left, int top, int width, int height,
                      const std::string& text) {
    c.SetBounds(left, top, width, height);
    c.SetText(text);
    Add(c);
  };
  auto place_button = [&place](ui::Button& b, int left, int top, int width, int height,
                               const std::string& text, ui::Glyph glyph) {
    place(b, left, top, width, height, text);
    b.SetGlyph(glyph);
  };
  ui::Font title_font;
  title_font.height = 16;
  title_font.color = ui::kNavy;
  place(RxLabel1, 16, 16, 119, 16, "Tavelin");
  RxLabel1.SetFont(title_font);
  place(Label3, 24, 50, 78, 12, "RDのIPアドレス");
  place(RDH1_IP, 136, 48, 121, 20, kDefaultRecorderName);
  place(Label6, 264, 50, 31, 12, "ポート");
  place(RDH1_Port, 296, 48, 41, 20, "80");
  place(Label4, 24, 72, 11, 12, "ID");
  place(RDH1_ID, 48, 72, 89, 20, "");
  place(Label5, 160, 72, 54, 12, "パスワード");
  place(RDH1_PW, 224, 72, 121, 20, "");
  RDH1_PW.SetPasswordChar('*');
  for (ui::Edit* edit : {&RDH1_IP, &RDH1_Port, &RDH1_ID, &RDH1_PW}) edit->SetImeOff(true);
  place(Button1, 360, 68, 49, 25, "テスト");
  place_button(ButtonHome, 360, 42, 25, 25, "", ui::Glyph::kHome);
  ButtonHome.SetHint("ホームページを開きます");
  place_button(ButtonAbout, 384, 42, 25, 25, "", ui::Glyph::kInfo);
  ButtonAbout.SetHint("バージョン情報を表示します");
  place(WRecSetting, 16, 96, 409, 33, "W録設定");
  WRecSetting.SetItems({"W録じゃない", "W録R1", "W録R2"});
  WRecSetting.SetColumns(3);
  WRecSetting.SetColor(kRadioBackground);
  WRecSetting.SetItemIndex(0);
  place(Label1, 24, 48, 113, 25, "");
  ui::Font status_font;
  status_font.height = 16;
  Label1.SetFont(status_font);
  Label1.SetTransparent(true);
  place(Label2, 24, 80, 4, 12, "");
  place(ProgressBar1, 10, 136, 425, 7, "");
  ProgressBar1.SetRange(0, 100);
  place_button(ButtonPlay, 24, 146, 81, 25, "再開", ui::Glyph::kPlay);
  ButtonPlay.SetEnabled(false);
  place_button(ButtonStop, 112, 144, 81, 27, "終了", ui::Glyph::kStop);
  ButtonStop.SetCancel(true);
  place_button(ButtonPause, 200, 146, 81, 25, "一時停止", ui::Glyph::kPause);
  ButtonPause.SetEnabled(false);
  // Wider than the others, to the left where the row has room: its glyph and caption need
  // 85 pixels, more than 81 leaves inside the border.
  place_button(ButtonCH, 320, 146, 98, 25, "CH情報取得", ui::Glyph::kChannels);
  // Answers Esc only when ButtonStop cannot: CancelButton() takes the first enabled one.
  ButtonCH.SetCancel(true);
  SetTabOrder({&RDH1_IP, &RDH1_Port, &RDH1_ID, &RDH1_PW, &Button1, &ProgressBar1, &ButtonCH,
               &ButtonPause, &ButtonStop, &ButtonPlay, &ButtonHome, &ButtonAbout, &WRecSetting});

  Timer1.SetInterval(kWatchdogMs);
  Add(Timer1);

  Button1.OnClick = [this] { Button1Click(); };
  ButtonHome.OnClick = [this] { ButtonHomeClick(); };
  ButtonAbout.OnClick = [this] {
    if (show_about) show_about();
  };
  ButtonPlay.OnClick = [this] { ButtonPlayClick(); };
  ButtonStop.OnClick = [this] { ButtonStopClick(); };
  ButtonPause.OnClick = [this] { ButtonPauseClick(); };
  ButtonCH.OnClick = [this] {
    if (channel_retrieval) channel_retrieval();
  };
  Timer1.OnTimer = [this] { Timer1Timer(); };

  reservation_fetch = [this] {
    return FetchReservationPage(env_, IdHTTP1, RDH1_IP.text(), RDH1_Port.text(), &fetch_failure_);
  };
  parse_step = [this] { DefaultParseStep(); };
  channel_retrieval = [this] { DefaultChannelRetrieval(); };
  show_about = [this] { AboutForm.ButtonAboutClick(*this); };
}

void TFormRD::FormCreate() {
  // Date and time texts use the fixed formats of platform/date_time.h ("-" and ":").
  backend_.SetExceptionHook([this](const std::string& message) {
    // WriteLine never throws; a line that cannot be stored is lost, the program goes on.
    LogFile1.WriteLine(message, true);
  });
  stop_requested_ = false;
  root_folder_ = IncludeTrailingDelimiter(ReadRootFolder(env_));
  TableTV.SetFileName(root_folder_ + kTableTVFile);
  TableTVChNo.SetFileName(root_folder_ + kTableTVChNoFile);
  TableTVChData.SetFileName(root_folder_ + kTableTVChDataFile);
  for (ChannelTable* table : {&TableTV, &TableTVChNo, &TableTVChData}) {
    table->SetNotice([this](const std::string& message) { LogFile1.WriteLine(message, true); });
  }
  LogFile1.SetLogFileName(root_folder_ + "qdr.log");
  LogFile1.SetActive(true);
  // What was said before the log was open (a parameter, a registry value, the temp folder)
  // is written now, and anything said later as it comes.
  SetNoticeSink([this](const std::string& message) { LogFile1.WriteLine(message, true); });
  FormStorage1.SetIniFileName(root_folder_ + kHostIniFile);
  FormStorage1.Restore(*this);
}

void TFormRD::OnShow() {
  // The registry's placement wins over the host INI's.
  FormStorage1.Restore(*this);
  FormPlacement1.Restore(*this);
}

void TFormRD::ShowMessage(const std::string& text) {
  backend_.ShowMessage(text, kApplicationTitle);
}

void TFormRD::Yield() {
  // Giving up the processor and pumping a desktop queue are system calls; after every
  // element of a long page they cost more than the parsing. Input the backend knows of is
  // handled at once, anything else within a millisecond.
  const uint64_t now = env_.NowMicros();
  if (pumped_ && now - last_pump_micros_ < kPumpIntervalMicros && !backend_.InputWaiting()) {
    return;
  }
  pumped_ = true;
  last_pump_micros_ = now;
  env_.SleepMs(0);
  backend_.ProcessMessages();
}

bool TFormRD::DebugTracing() { return HostSwitch(env_, root_folder_, "Debug_Checked"); }

OutputContext TFormRD::MakeOutputContext() { return OutputContext{env_, output_folder_, *this}; }

void TFormRD::SetStatus(const std::string& status) { Label1.SetText(status); }

void TFormRD::SetEditsEnabled(bool enabled) {
  for (ui::Edit* edit : {&RDH1_IP, &RDH1_Port, &RDH1_ID, &RDH1_PW}) edit->SetEnabled(enabled);
}

void TFormRD::LoadSettings() {
  deck_name_ = DeckNameOf(parameters_[0]);
  RecorderSettings settings{RDH1_IP.text(), RDH1_Port.text(), RDH1_ID.text(), RDH1_PW.text(),
                            WRecSetting.item_index()};
  LoadRecorderSettings(env_, root_folder_, deck_name_, &settings);
  RDH1_IP.SetText(settings.address);
  RDH1_Port.SetText(settings.port);
  RDH1_ID.SetText(settings.user_id);
  RDH1_PW.SetText(settings.password);
  WRecSetting.SetItemIndex(settings.dual_recording);
}

void TFormRD::SaveSettings() {
  RecorderSettings settings{RDH1_IP.text(), RDH1_Port.text(), RDH1_ID.text(), RDH1_PW.text(),
                            WRecSetting.item_index()};
  if (!SaveRecorderSettings(env_, root_folder_, deck_name_, settings)) {
    LogFile1.WriteLine(std::string(kOwnIniFile) + "に設定を保存できません", true);
  }
}

void TFormRD::FormActivate() {
  if (activated_) return;
  activated_ = true;
  mode_ = DecideMode(parameters_);
  if (mode_ == RunMode::kNoParameter) {
    backend_.ShowMessage("Qadrelのから「設定」ボタンで動かしてくださ.", kApplicationTitle);
    Close();
    return;
  }
  LogFile1.WriteLine("Tavelin");
  // Where the system's temp folder has no Shift-JIS name another one is used; the log says
  // which, once a run.
  const std::string temp_note = TempFolderChoiceLine(env_);
  if (!temp_note.empty()) LogFile1.WriteLine(temp_note);
  LoadSettings();
  const ProxyChoice proxy = SelectProxy(env_, root_folder_);
  proxy_host_ = proxy.host;
  proxy_port_ = proxy.port;
  if (mode_ == RunMode::kSettings) {
    // A file that another program holds keeps the window answering while it is waited for.
    // Not while the window closes: the saves of a closing window run without nested input.
    env_.SetFileWaitHook([this] { Yield(); });
    return;
  }

  SetEditsEnabled(false);
  output_folder_ = OutputFolderOf(parameters_[0]);
  Finally close([this] { Close(); });
  env_.ForceFolders(output_folder_);
  if (env_.FolderExists(output_folder_)) {
    FetchRun();
  } else {
    LogFile1.WriteLine(output_folder_ + "がないので予約状況をを保存できません.", true);
  }
}

bool TFormRD::FormCloseQuery() {
  env_.SetFileWaitHook(nullptr);
  SaveSettings();
  FormPlacement1.Save(*this);
  FormStorage1.Save(*this);
  return true;
}

void TFormRD::FormClose() { stop_requested_ = true; }

void TFormRD::FetchRun() {
  Timer1.SetEnabled(true);
  ButtonPause.SetEnabled(true);
  ButtonCH.SetEnabled(false);
  Finally restore([this] {
    ButtonPlay.SetEnabled(false);
    ButtonStop.SetEnabled(false);
    ButtonPause.SetEnabled(false);
    ButtonCH.SetEnabled(true);
  });
  SetStatus("予約一覧をダウンロード中");
  if (DebugTracing()) LogFile1.WriteLine("予約一覧をダウンロード中...");
  fetch_failure_ = Status::OK();
  if (reservation_fetch()) {
    Timer1.SetEnabled(false);
    // A channel table that cannot be read ends the run here, before the host's program
    // files are deleted: an empty list would be worse than the last one.
    OpenLookupTables(TableTVChNo, TableTVChData);
    DeleteOldProgramFiles(MakeOutputContext());
    ProgressBar1.SetPosition(50);
    SetStatus("解析中");
    if (DebugTracing()) LogFile1.WriteLine("解析中...");
    if (!stop_requested_) parse_step();
    CloseLookupTables(TableTVChNo, TableTVChData);  // still open when no parse step ran
  } else {
    LogFile1.WriteLine("予約一覧のダウンロード失敗", true);
    if (!fetch_failure_.message().empty()) LogFile1.WriteLine(fetch_failure_.message(), true);
  }
  ProgressBar1.SetPosition(100);
  SetStatus("終了処理中");
  if (DebugTracing()) LogFile1.WriteLine("終了処理中...");
}

void TFormRD::DefaultParseStep() {
  RunParseStep(ParseStepContext{
      .env = env_,
      .tv_ch_no = TableTVChNo,
      .tv_ch_data = TableTVChData,
      .deck_name = deck_name_,
      .output_folder = output_folder_,
      .page_file = {},
      .run = *this,
      .log_line = [this](const std::string& message) { LogFile1.WriteLine(message); }});
}

void TFormRD::DefaultChannelRetrieval() {
  ChannelRetrievalContext context;
  context.env = &env_;
  context.table_tv = &TableTV;
  context.table_tv_ch_no = &TableTVChNo;
  context.matcher = &AWKStr1;
  context.deck_name = deck_name_;
  context.address = RDH1_IP.text();
  context.port = RDH1_Port.text();
  context.download = [this](const std::string& url, const std::string& file_name, Status* why) {
    return IdHTTP1.Download(url, file_name, why);
  };
  context.message_box = [this](const std::string& text) { ShowMessage(text); };
  context.run = this;
  ChannelButtonClick(context, [this](bool enabled) { ButtonCH.SetEnabled(enabled); });
}

void TFormRD::ButtonPauseClick() {
  pause_requested_ = true;
  ButtonPlay.SetEnabled(true);
  ButtonPause.SetEnabled(false);
  while (pause_requested_ && !stop_requested_) {
    env_.SleepMs(10);
    Yield();
  }
  ButtonPlay.SetEnabled(false);
  // After a stop the run-control buttons stay disabled.
  ButtonPause.SetEnabled(!stop_requested_);
}

void TFormRD::ButtonPlayClick() { pause_requested_ = false; }

void TFormRD::ButtonStopClick() {
  stop_requested_ = true;
  ButtonPlay.SetEnabled(false);
  ButtonStop.SetEnabled(false);
  ButtonPause.SetEnabled(false);
  LogFile1.WriteLine("停止ボタン押下");
  Close();
}

void TFormRD::ButtonHomeClick() {
  std::string target = RDH1_IP.text() + ":" + std::string(TrimControls(RDH1_Port.text()));
  // The shell needs a scheme to take the address for a web page.
  if (target.find("://") == std::string::npos) target = "http://" + target;
  ShellOpen(env_, target);
}

void TFormRD::Button1Click() {
  RunConnectionTest(env_, IdHTTP1, *this, RDH1_IP.text(), RDH1_Port.text());
}

void TFormRD::Timer1Timer() {
  LogFile1.WriteLine("アボート", true);
  if (DebugTracing()) LogFile1.WriteLine("アボート", true);
  Close();
}

}  // namespace tavelin
