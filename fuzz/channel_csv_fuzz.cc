// The host's channel table files: whatever a file holds, the records read from it are
// written and read back unchanged, and a value survives its escaping.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "channels/channel_csv.h"
#include "channels/channel_table.h"
#include "fuzz_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using tavelin::fuzzing::Require;
  static tavelin::fuzzing::FuzzEnv env;
  tavelin::fuzzing::Parts parts(data, size);
  const uint8_t table = parts.Byte() % 3;
  std::string_view bytes = parts.Rest();

  Require(tavelin::UnescapeChannelValue(tavelin::EscapeChannelValue(bytes)) == bytes,
          "unescaping undoes escaping");

  const auto fields = table == 0   ? tavelin::ChannelTable::TableTV(env, "/mem/").Fields()
                      : table == 1 ? tavelin::ChannelTable::TableTVChNo(env, "/mem/").Fields()
                                   : tavelin::ChannelTable::TableTVChData(env, "/mem/").Fields();
  const auto records = tavelin::ReadChannelCsv(bytes, fields);
  const std::string written = tavelin::WriteChannelCsv(records, fields);
  Require(tavelin::ReadChannelCsv(written, fields) == records,
          "written records read back unchanged");
  return 0;
}
