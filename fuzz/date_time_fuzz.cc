// The date and time readers of the reservation pages, the repetition texts and the
// anchoring of a repetition, through to the file-name stamp.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_env.h"
#include "output/output_step.h"
#include "parse/parse_context.h"
#include "parse/text_ops.h"
#include "platform/date_time.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using tavelin::fuzzing::Require;
  tavelin::fuzzing::Parts parts(data, size);
  const int recurrence = parts.Byte() % 12 - 1;  // -1 (none) to 10
  std::string_view date_text = parts.Next();
  std::string_view time_text = parts.Next();
  const tavelin::TDateTime today = tavelin::EncodeDate(2024, 3, 13);
  const tavelin::TDateTime now = today + tavelin::EncodeTime(12, 0);

  tavelin::TDateTime date = tavelin::ReadDate(date_text, today);
  Require(date == std::floor(date), "a date has no time of day");
  tavelin::DateParts parts_of_date = tavelin::DecodeDate(date);
  Require(parts_of_date.year >= 1 && parts_of_date.year <= 9999, "a date lies in years 1-9999");

  tavelin::TDateTime time = tavelin::ReadTime(time_text);
  Require(time >= 0 && time < 2, "a time lies within two days");

  tavelin::TDateTime cell = tavelin::ReadCellDate(date_text, today);
  Require(cell == std::floor(cell), "a cell date has no time of day");

  int code = tavelin::RecurrenceFromText(date_text);
  Require(code >= tavelin::kNoRecurrence && code <= tavelin::kMondayToSaturday,
          "a repetition text gives a known code");

  tavelin::TDateTime start = tavelin::AnchorStart(
      tavelin::DateOf(date) == tavelin::kNoDate ? time : date + time, recurrence, now);
  tavelin::TDateTime next = tavelin::NextOccurrence(recurrence, start);
  Require(next >= start && next < start + 8, "the next occurrence lies within a week");
  std::string stamp = tavelin::FormatStamp(next);
  Require(stamp.size() == 12 || tavelin::DecodeDate(next).year > 9999, "a stamp is twelve digits");
  return 0;
}
