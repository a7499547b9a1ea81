#include "query/WordSearch.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvik::words {

std::size_t FindFrom(std::string_view text, std::size_t from, std::string_view word) {
  const std::size_t n = word.size();
  if (n == 0 || from > text.size() || text.size() - from < n) return std::string_view::npos;
  const char* const base = text.data();
  const char* p = base + from;
  const char* const last = base + text.size() - n;  // the last place the word can start
  if (n == 1) {
    const void* hit = std::memchr(p, word[0], static_cast<std::size_t>(last - p) + 1);
    return hit == nullptr ? std::string_view::npos : static_cast<std::size_t>(static_cast<const char*>(hit) - base);
  }
#if defined(__SSE2__)
  // Test 16 starting places at once on the word's first, second and last
  // bytes; only places where all three agree are compared in full.
  const __m128i first = _mm_set1_epi8(word[0]);
  const __m128i second = _mm_set1_epi8(word[1]);
  const __m128i final = _mm_set1_epi8(word[n - 1]);
  while (last - p >= 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
        _mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second)), _mm_cmpeq_epi8(c, final))));
    while (mask != 0) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      if (std::memcmp(p + bit + 1, word.data() + 1, n - 2) == 0) return static_cast<std::size_t>(p + bit - base);
      mask &= mask - 1;
    }
    p += 16;
  }
#endif
  const void* hit = memmem(p, static_cast<std::size_t>(last - p) + n, word.data(), n);
  return hit == nullptr ? std::string_view::npos : static_cast<std::size_t>(static_cast<const char*>(hit) - base);
}

}  // namespace zorvik::words
