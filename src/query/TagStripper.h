#pragma once
// The inner loop of tag removal: copies the text between "<...>" tags to an
// output buffer (lower-cased on request) and reports every tag as it is met.
// Pages are megabytes with a tag every few bytes, so the loop works on 16
// bytes at a time where the processor allows it.

#include <cstddef>
#include <cstring>

#include "core/Text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvik::tags {

// Extra room the output buffer needs past the input's length.
inline constexpr std::size_t kOutputPadding = 16;

struct StripResult {
  char* out;         // one past the last byte written
  const char* stop;  // the "<" of the tag where onTag said stop, or null
};

// Copies [in, end) to `out` without its tags. A tag runs from "<" to the
// next ">" (or to the end when there is none). Before each tag is skipped,
// onTag(lt, out) is called with the tag's "<" and the output position where
// it would have stood; when it returns false the copy ends there, leaving the
// tag and everything after it uncopied. `out` must not overlap the input and
// must have kOutputPadding bytes to spare.
template <bool Lower, class OnTag>
StripResult StripTags(const char* in, const char* end, char* out, OnTag&& onTag) {
  bool inTag = false;
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i gt = _mm_set1_epi8('>');
  const auto lowered = [](__m128i v) {
    if constexpr (!Lower) return v;
    // Signed compares are right for ASCII letters; bytes >= 0x80 are negative
    // and stay as they are, so UTF-8 passes through.
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)),
                                        _mm_cmplt_epi8(v, _mm_set1_epi8('Z' + 1)));
    return _mm_or_si128(v, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
  };
  // Blocks of 16; a block may reread up to 15 bytes past its end, so the
  // last 31 bytes are left to the byte loop below.
  while (end - in >= 32) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const unsigned ltMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lt)));
    if (!inTag && ltMask == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), lowered(v));
      out += 16;
      in += 16;
      continue;
    }
    const unsigned gtMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, gt)));
    unsigned i = 0;
    while (i < 16) {
      const unsigned from = ~0u << i;
      if (!inTag) {
        const unsigned rest = ltMask & from;
        const unsigned k = rest != 0 ? static_cast<unsigned>(__builtin_ctz(rest)) : 16u;
        // Text runs over [i, k): write 16 bytes from i, keep k - i of them.
        const __m128i run = i == 0 ? v : _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), lowered(run));
        out += k - i;
        if (k == 16) break;
        if (!onTag(in + k, out)) return {out, in + k};
        inTag = true;
        i = k + 1;
      } else {
        const unsigned rest = gtMask & from;
        if (rest == 0) break;
        inTag = false;
        i = static_cast<unsigned>(__builtin_ctz(rest)) + 1;
      }
    }
    in += 16;
  }
#endif
  for (; in < end; ++in) {
    if (inTag) {
      inTag = *in != '>';
    } else if (*in == '<') {
      if (!onTag(in, out)) return {out, in};
      inTag = true;
    } else {
      *out++ = Lower ? text::LowerAscii(*in) : *in;
    }
  }
  return {out, nullptr};
}

}  // namespace zorvik::tags
