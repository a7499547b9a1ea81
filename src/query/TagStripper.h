#pragma once
// The inner loop of tag removal: copies the text between "<...>" tags to an
// output buffer (lower-cased on request) and reports every tag as it is met.
// Pages are megabytes with a tag every few bytes, so where the processor
// allows it the loop works on chunks of 64 bytes and their bit masks.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/Text.h"

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvik::tags {

// Extra room the output buffer needs past the input's length.
inline constexpr std::size_t kOutputPadding = 64;

struct StripResult {
  char* out;         // one past the last byte written
  const char* stop;  // the "<" of the tag where onTag said stop, or null
};

namespace detail {

// Where a block-wise pass stopped: the caller goes on from `in` and `out`;
// `stop` is set when onTag said stop.
struct ChunkResult {
  const char* in;
  char* out;
  const char* stop;
};

#if defined(__x86_64__)

inline bool CpuHasBmi2() {
  static const bool has = __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
  return has;
}

inline std::uint64_t PrefixXor(std::uint64_t x) {
  x ^= x << 1;
  x ^= x << 2;
  x ^= x << 4;
  x ^= x << 8;
  x ^= x << 16;
  x ^= x << 32;
  return x;
}

// Whole 64-byte chunks, without a branch per tag where the chunk's "<" and
// ">" simply alternate (as in nearly all markup): a running parity of the
// delimiters then tells which bytes lie inside a tag, and the kept bytes are
// packed 8 at a time with PEXT. Other chunks are walked tag by tag. Returns
// where the caller goes on; `stop` is set when onTag said stop.
template <bool Lower, class OnTag>
__attribute__((target("popcnt,bmi,bmi2"))) ChunkResult StripChunksBmi2(const char* in, const char* end, char* out,
                                                                      bool& inTagFlag, OnTag& onTag) {
  std::uint64_t inTag = inTagFlag ? ~std::uint64_t{0} : 0;
  alignas(16) char low[64 + 8];
  while (end - in >= 64) {
    std::uint64_t lt = 0;
    std::uint64_t gt = 0;
    for (int b = 0; b < 4; ++b) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * b));
      lt |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('<'))))) << (16 * b);
      gt |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('>'))))) << (16 * b);
      if constexpr (Lower) {
        const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('Z' + 1)));
        v = _mm_or_si128(v, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
      }
      _mm_store_si128(reinterpret_cast<__m128i*>(low + 16 * b), v);
    }
    // After each byte: inside a tag, if the delimiters so far alternate.
    const std::uint64_t inside = PrefixXor(lt | gt) ^ inTag;
    std::uint64_t keep;
    if (((lt & ~inside) | (gt & inside)) == 0) {
      keep = ~(inside | gt);
      for (std::uint64_t starts = lt; starts != 0; starts &= starts - 1) {
        const unsigned k = static_cast<unsigned>(__builtin_ctzll(starts));
        char* at = out + _mm_popcnt_u64(keep & ((std::uint64_t{1} << k) - 1));
        if (!onTag(in + k, at)) {
          for (unsigned j = 0; j < k; ++j) if ((keep >> j) & 1) *out++ = low[j];
          return {in, out, in + k};
        }
      }
      inTag = std::uint64_t{0} - (inside >> 63);
    } else {
      // A "<" inside a tag or a ">" outside one: walk tag by tag.
      keep = ~std::uint64_t{0};
      unsigned pos = 0;
      bool open = inTag != 0;
      while (pos < 64) {
        const std::uint64_t from = ~std::uint64_t{0} << pos;
        if (open) {
          const std::uint64_t rest = gt & from;
          if (rest == 0) {
            keep &= ~from;
            break;
          }
          const unsigned g = static_cast<unsigned>(__builtin_ctzll(rest));
          keep &= ~(from & (~std::uint64_t{0} >> (63 - g)));
          pos = g + 1;
          open = false;
        } else {
          const std::uint64_t rest = lt & from;
          if (rest == 0) break;
          const unsigned k = static_cast<unsigned>(__builtin_ctzll(rest));
          if (!onTag(in + k, out + _mm_popcnt_u64(keep & ((std::uint64_t{1} << k) - 1)))) {
            for (unsigned j = 0; j < k; ++j) if ((keep >> j) & 1) *out++ = low[j];
            return {in, out, in + k};
          }
          keep &= ~(std::uint64_t{1} << k);
          pos = k + 1;
          open = true;
        }
      }
      inTag = open ? ~std::uint64_t{0} : 0;
    }
    for (int w = 0; w < 8; ++w) {
      const std::uint64_t bits = (keep >> (8 * w)) & 0xFF;
      std::uint64_t word;
      std::memcpy(&word, low + 8 * w, 8);
      const std::uint64_t packed = _pext_u64(word, _pdep_u64(bits, 0x0101010101010101) * 0xFF);
      std::memcpy(out, &packed, 8);
      out += _mm_popcnt_u64(bits);
    }
    in += 64;
  }
  inTagFlag = inTag != 0;
  return {in, out, nullptr};
}

#endif  // __x86_64__

#if defined(__SSE2__)
// Chunks of 64 bytes with a bit mask of their "<" and ">" each, walked tag by
// tag; a text run is copied 16 bytes at a time.
template <bool Lower, class OnTag>
ChunkResult StripChunksSse2(const char* in, const char* end, char* out, bool& inTag, OnTag& onTag) {
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
  const auto mask64 = [](const char* p, __m128i c) {
    std::uint64_t m = 0;
    for (int b = 0; b < 4; ++b) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * b));
      m |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, c)))) << (16 * b);
    }
    return m;
  };
  // A text run may read up to 15 bytes past the chunk, so the last 79 bytes
  // are left to the byte loop.
  while (end - in >= 80) {
    const std::uint64_t ltMask = mask64(in, lt);
    if (!inTag && ltMask == 0) {
      for (int b = 0; b < 64; b += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + b), lowered(v));
      }
      in += 64;
      out += 64;
      continue;
    }
    const std::uint64_t gtMask = mask64(in, gt);
    unsigned i = 0;
    while (i < 64) {
      const std::uint64_t from = ~std::uint64_t{0} << i;
      if (!inTag) {
        const std::uint64_t rest = ltMask & from;
        const unsigned k = rest != 0 ? static_cast<unsigned>(__builtin_ctzll(rest)) : 64u;
        // Text runs over [i, k): write it 16 bytes at a time; bytes written
        // past k - i are overwritten by what follows.
        char* o = out;
        for (unsigned a = i; a < k; a += 16, o += 16)
          _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                           lowered(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + a))));
        out += k - i;
        if (k == 64) break;
        if (!onTag(in + k, out)) return {in, out, in + k};
        inTag = true;
        i = k + 1;
      } else {
        const std::uint64_t rest = gtMask & from;
        if (rest == 0) break;
        inTag = false;
        i = static_cast<unsigned>(__builtin_ctzll(rest)) + 1;
      }
    }
    in += 64;
  }
  return {in, out, nullptr};
}
#endif

// Byte by byte: the end of every page, and the whole page elsewhere.
template <bool Lower, class OnTag>
StripResult StripBytes(const char* in, const char* end, char* out, bool inTag, OnTag& onTag) {
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

}  // namespace detail

// How StripTags goes about it; every way gives the same result.
enum class Method { Best, Bytes, Sse2, Bmi2 };

// Whether this processor can use `method`.
inline bool Available(Method method) {
  switch (method) {
    case Method::Best:
    case Method::Bytes: return true;
#if defined(__SSE2__)
    case Method::Sse2: return true;
#endif
#if defined(__x86_64__)
    case Method::Bmi2: return detail::CpuHasBmi2();
#endif
    default: return false;
  }
}

// Copies [in, end) to `out` without its tags. A tag runs from "<" to the
// next ">" (or to the end when there is none). Before each tag is skipped,
// onTag(lt, out) is called with the tag's "<" and the output position where
// it would have stood; when it returns false the copy ends there, leaving the
// tag and everything after it uncopied. `out` must not overlap the input and
// must have kOutputPadding bytes to spare.
template <bool Lower, class OnTag>
StripResult StripTags(const char* in, const char* end, char* out, OnTag&& onTag, Method method = Method::Best) {
  bool inTag = false;
  if (method == Method::Best) method = Available(Method::Bmi2) ? Method::Bmi2 : Method::Sse2;
  detail::ChunkResult r{in, out, nullptr};
#if defined(__x86_64__)
  if (method == Method::Bmi2 && Available(Method::Bmi2)) r = detail::StripChunksBmi2<Lower>(in, end, out, inTag, onTag);
#endif
#if defined(__SSE2__)
  if (method == Method::Sse2) r = detail::StripChunksSse2<Lower>(in, end, out, inTag, onTag);
#endif
  if (r.stop != nullptr) return {r.out, r.stop};
  return detail::StripBytes<Lower>(r.in, end, r.out, inTag, onTag);
}

}  // namespace zorvik::tags
