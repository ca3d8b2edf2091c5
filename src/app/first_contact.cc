#include "app/first_contact.h"

#include "app/settings.h"
#include "app/version.h"
#include "platform/ascii_text.h"
#include "platform/path.h"

namespace tavelin {
namespace {

std::string VersionLine(Env& env) {
  TVersion version;
  ReadVersion(env, env.ProgramPath(), &version);
  const std::string name = version.product_name.empty() ? "Tavelin" : version.product_name;
  return name + " " + version.file_version;
}

// The README of an installed package: <prefix>/share/doc/tavelin/README.md beside
// <prefix>/bin/tavelin; the Debian package's place when the program runs from elsewhere.
std::string ReadmePath(Env& env) {
  std::string bin = ExtractFilePath(env.ProgramPath());
  if (!bin.empty()) bin.pop_back();
  const std::string installed = ExtractFilePath(bin) + "share/doc/tavelin/README.md";
  return env.FileExists(installed) ? installed : "/usr/share/doc/tavelin/README.md";
}

// The example of the README, with the user's own registry file.
std::string RegistryExample(const std::string& registry_file) {
  return "  " + registry_file +
         " (REGEDIT4, UTF-8), e.g.:\n"
         "    REGEDIT4\n"
         "\n"
         "    [HKEY_CURRENT_USER\\" +
         std::string(kRootPathKey) +
         "]\n"
         "    \"RootPath\"=\"/home/me/qadrel/\"\n";
}

std::string PosixUsage(Env& env) {
  return "Usage: tavelin OUTPUT-FOLDER       fetch the recorder's reservations into\n"
         "                                   OUTPUT-FOLDER as .tvpi files, then end\n"
         "       tavelin OUTPUT-FOLDER /c    settings mode: show the settings window\n"
         "       tavelin --help | --version\n"
         "The scheduling host Qadrel starts Tavelin in one of these two ways. The last name\n"
         "of OUTPUT-FOLDER (RD-X5 in /home/me/qadrel/out/RD-X5) names the recorder.\n"
         "The host's root folder, which holds qdr.ini, nubra.ini, qdr.log and the channel\n"
         "tables (tvconvert.csv, qdrTVCHNo.csv, tvchdata.csv), is the value RootPath in\n" +
         RegistryExample(env.RegistryFile()) + "Everything else: " + ReadmePath(env) + "\n";
}

}  // namespace

FirstContact AnswerFirstContact(Env& env, const std::vector<std::string>& parameters) {
  FirstContact answer;
  const std::string first = parameters.empty() ? std::string() : parameters[0];
  if (first == "-h" || first == "--help") {
    answer.ends_here = true;
    answer.standard_out = PosixUsage(env);
    return answer;
  }
  if (first == "--version") {
    answer.ends_here = true;
    answer.standard_out = VersionLine(env) + "\n";
    return answer;
  }
  const std::string registry_file = env.RegistryFile();
  if (!registry_file.empty() && ReadRootFolder(env).empty()) {
    answer.ends_here = true;
    answer.standard_error = "tavelin: no host root folder; write " + registry_file +
                            " with these lines (see tavelin --help):\n"
                            "  REGEDIT4  [HKEY_CURRENT_USER\\" +
                            std::string(kRootPathKey) + "]  \"RootPath\"=\"/home/me/qadrel/\"\n";
  }
  return answer;
}

bool AsksForWindowsUsage(const std::vector<std::string>& parameters) {
  return !parameters.empty() && TrimControls(parameters[0]) == "/?";
}

std::string WindowsUsage(Env& env) {
  return VersionLine(env) +
         "\n"
         "\n"
         "tavelin.exe \"出力フォルダ\"\n"
         "    予約一覧を取得して .tvpi ファイルを書き、終わります\n"
         "tavelin.exe \"出力フォルダ\" /c\n"
         "    設定画面を開きます\n"
         "\n"
         "ふつうはQadrelがこのどちらかで起動します。出力フォルダの最後の名前 "
         "(C:\\Qadrel\\out\\RD-X5 "
         "の RD-X5) がレコーダーを表します。\n"
         "Qadrelのフォルダはレジストリ HKEY_CURRENT_USER\\" +
         std::string(kRootPathKey) +
         " の値 RootPath から読みます。qdr.ini、nubra.ini、qdr.log とチャンネル表 (tvconvert.csv、"
         "qdrTVCHNo.csv、tvchdata.csv) はそのフォルダにあります。\n"
         "\n"
         "詳しくは tavelin.exe と同じフォルダの tavelin-guide-ja.txt をお読みください。";
}

}  // namespace tavelin
