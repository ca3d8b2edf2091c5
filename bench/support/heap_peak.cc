#include "heap_peak.h"

#include <malloc.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace tavelin::bench {
namespace {

std::atomic<int64_t> live_bytes{0};
std::atomic<int64_t> peak_bytes{0};

void* Take(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  const int64_t now = live_bytes += static_cast<int64_t>(malloc_usable_size(block));
  int64_t peak = peak_bytes.load(std::memory_order_relaxed);
  while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) {
  }
  return block;
}

void Give(void* block) {
  if (block == nullptr) return;
  live_bytes -= static_cast<int64_t>(malloc_usable_size(block));
  std::free(block);
}

}  // namespace

int64_t HeapLiveBytes() { return live_bytes.load(); }
int64_t HeapPeakBytes() { return peak_bytes.load(); }
void ResetHeapPeak() { peak_bytes = live_bytes.load(); }

int64_t PeakRssBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<int64_t>(usage.ru_maxrss) * 1024;
}

}  // namespace tavelin::bench

void* operator new(std::size_t size) { return tavelin::bench::Take(size); }
void* operator new[](std::size_t size) { return tavelin::bench::Take(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return tavelin::bench::Take(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return operator new(size, std::nothrow);
}
void operator delete(void* block) noexcept { tavelin::bench::Give(block); }
void operator delete[](void* block) noexcept { tavelin::bench::Give(block); }
void operator delete(void* block, std::size_t) noexcept { tavelin::bench::Give(block); }
void operator delete[](void* block, std::size_t) noexcept { tavelin::bench::Give(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { tavelin::bench::Give(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { tavelin::bench::Give(block); }
