#include "query/WordSearch.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zorvik::words {

namespace {

constexpr std::size_t npos = std::string_view::npos;

std::size_t Offset(const char* base, const void* hit) {
  return hit == nullptr ? npos : static_cast<std::size_t>(static_cast<const char*>(hit) - base);
}

#if defined(__x86_64__)
// Tests 16 (or 32) starting places at once on the word's first, second and
// last bytes; only places where all three agree are compared in full. Returns
// where the plain search has to go on.
const char* FilterSse2(const char* p, const char* last, std::string_view word, const char** found) {
  const std::size_t n = word.size();
  const __m128i first = _mm_set1_epi8(word[0]);
  const __m128i second = _mm_set1_epi8(word[1]);
  const __m128i final = _mm_set1_epi8(word[n - 1]);
  for (; last - p >= 16; p += 16) {
    const auto at = [&](std::size_t k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)); };
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
        _mm_and_si128(_mm_cmpeq_epi8(at(0), first), _mm_cmpeq_epi8(at(1), second)), _mm_cmpeq_epi8(at(n - 1), final))));
    for (; mask != 0; mask &= mask - 1) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      if (std::memcmp(p + bit + 2, word.data() + 2, n - 2) == 0) {
        *found = p + bit;
        return p;
      }
    }
  }
  return p;
}

__attribute__((target("avx2"))) const char* FilterAvx2(const char* p, const char* last, std::string_view word,
                                                        const char** found) {
  const std::size_t n = word.size();
  const __m256i first = _mm256_set1_epi8(word[0]);
  const __m256i second = _mm256_set1_epi8(word[1]);
  const __m256i final = _mm256_set1_epi8(word[n - 1]);
  for (; last - p >= 32; p += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + n - 1));
    unsigned mask = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(c, final))));
    if (mask == 0) continue;
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
    mask &= static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, second)));
    for (; mask != 0; mask &= mask - 1) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      if (std::memcmp(p + bit + 2, word.data() + 2, n - 2) == 0) {
        *found = p + bit;
        return p;
      }
    }
  }
  return p;
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace

std::size_t FindFrom(std::string_view text, std::size_t from, std::string_view word) {
  const std::size_t n = word.size();
  if (n == 0 || from > text.size() || text.size() - from < n) return npos;
  const char* const base = text.data();
  const char* p = base + from;
  const char* const last = base + text.size() - n;  // the last place the word can start
  if (n == 1) return Offset(base, std::memchr(p, word[0], static_cast<std::size_t>(last - p) + 1));
#if defined(__x86_64__)
  const char* found = nullptr;
  p = kHasAvx2 ? FilterAvx2(p, last, word, &found) : FilterSse2(p, last, word, &found);
  if (found != nullptr) return static_cast<std::size_t>(found - base);
#endif
  return Offset(base, memmem(p, static_cast<std::size_t>(last - p) + n, word.data(), n));
}

}  // namespace zorvik::words
