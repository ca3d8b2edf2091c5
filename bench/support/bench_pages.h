// Generated reservation list pages of any size, in both layouts, for the benchmarks.
#ifndef TAVELIN_BENCH_SUPPORT_BENCH_PAGES_H_
#define TAVELIN_BENCH_SUPPORT_BENCH_PAGES_H_

#include <string>

#include "platform/date_time.h"

namespace tavelin::bench {

// A table-layout page of `count` reservations from `today` on: day i % 10, a distinct start
// time, alternately a known channel, every seventh row with a tuner image.
std::string TablePage(int count, TDateTime today);
// The same reservations as script lines.
std::string ScriptPage(int count, TDateTime today);

}  // namespace tavelin::bench

#endif  // TAVELIN_BENCH_SUPPORT_BENCH_PAGES_H_
