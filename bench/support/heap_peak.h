// The heap of a benchmark program, counted: every operator new and delete of the program
// passes through heap_peak.cc, which keeps the bytes live now and the most live since the
// last reset. Memory taken with malloc directly (C libraries) is not counted.
#ifndef TAVELIN_BENCH_SUPPORT_HEAP_PEAK_H_
#define TAVELIN_BENCH_SUPPORT_HEAP_PEAK_H_

#include <cstdint>

namespace tavelin::bench {

// Bytes live on the heap now.
int64_t HeapLiveBytes();
// The most bytes live since the last ResetHeapPeak().
int64_t HeapPeakBytes();
// Starts a new peak from what is live now.
void ResetHeapPeak();
// The process's peak resident set so far, in bytes (getrusage).
int64_t PeakRssBytes();

}  // namespace tavelin::bench

#endif  // TAVELIN_BENCH_SUPPORT_HEAP_PEAK_H_
