#pragma once
// Counts the bytes held through operator new in this program, and their
// peak since the last reset, and can make allocations fail past a limit.
// Include in exactly one source file of a benchmark or test program (it
// replaces the global allocation functions).

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace zorvik::bench {

struct AllocationCounter {
  static inline std::atomic<std::size_t> current{0};
  static inline std::atomic<std::size_t> peak{0};
  // An allocation that would hold more than this fails with std::bad_alloc.
  static inline std::atomic<std::size_t> failAbove{static_cast<std::size_t>(-1)};
  static void ResetPeak() { peak = current.load(); }
  static double PeakMegabytes() { return static_cast<double>(peak.load()) / (1024.0 * 1024.0); }
};

}  // namespace zorvik::bench

namespace zorvik::bench::detail {
// Each block carries its size in front of it.
constexpr std::size_t kHeader = alignof(std::max_align_t);

inline void* Allocate(std::size_t size) {
  const std::size_t held = AllocationCounter::current.load();
  const std::size_t most = AllocationCounter::failAbove.load();
  if (held > most || size > most - held) throw std::bad_alloc();
  void* raw = std::malloc(size + kHeader);
  if (raw == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(raw) = size;
  const std::size_t now = AllocationCounter::current += size;
  std::size_t seen = AllocationCounter::peak.load();
  while (now > seen && !AllocationCounter::peak.compare_exchange_weak(seen, now)) {
  }
  return static_cast<char*>(raw) + kHeader;
}

inline void Release(void* p) noexcept {
  if (p == nullptr) return;
  void* raw = static_cast<char*>(p) - kHeader;
  AllocationCounter::current -= *static_cast<std::size_t*>(raw);
  std::free(raw);
}
}  // namespace zorvik::bench::detail

void* operator new(std::size_t size) { return zorvik::bench::detail::Allocate(size); }
void* operator new[](std::size_t size) { return zorvik::bench::detail::Allocate(size); }
void operator delete(void* p) noexcept { zorvik::bench::detail::Release(p); }
void operator delete[](void* p) noexcept { zorvik::bench::detail::Release(p); }
void operator delete(void* p, std::size_t) noexcept { zorvik::bench::detail::Release(p); }
void operator delete[](void* p, std::size_t) noexcept { zorvik::bench::detail::Release(p); }
