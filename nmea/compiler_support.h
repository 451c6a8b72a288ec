// The few compiler-specific spellings the code uses, each with its GCC and
// Clang form beside its MSVC form.  No other file names a builtin, an
// attribute or a pragma.
#ifndef ORVOGPS_COMPILER_SUPPORT_H
#define ORVOGPS_COMPILER_SUPPORT_H

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define ORVO_HAVE_SSE2 1
#endif

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>

// Put in line at every call, whatever the optimiser thinks of it.
#define ORVO_ALWAYS_INLINE __forceinline
// Never put in line, so that a profiler can count the function alone.
#define ORVO_NOINLINE __declspec(noinline)
// Unroll the loop that follows n times; MSVC has no such hint.
#define ORVO_UNROLL(n)

// The number of zero bits below the lowest set bit; value must not be 0.
inline int CountTrailingZeros64(uint64_t value) {
  unsigned long index;
#if defined(_M_X64) || defined(_M_ARM64)
  _BitScanForward64(&index, value);
#else
  const unsigned long low = static_cast<unsigned long>(value);
  if (_BitScanForward(&index, low)) return static_cast<int>(index);
  _BitScanForward(&index, static_cast<unsigned long>(value >> 32));
  index += 32;
#endif
  return static_cast<int>(index);
}

#else

#define ORVO_ALWAYS_INLINE __attribute__((always_inline)) inline
#define ORVO_NOINLINE __attribute__((noinline))
#define ORVO_PRAGMA(text) _Pragma(#text)
#if defined(__clang__)
#define ORVO_UNROLL(n) ORVO_PRAGMA(unroll n)
#else
#define ORVO_UNROLL(n) ORVO_PRAGMA(GCC unroll n)
#endif

inline int CountTrailingZeros64(uint64_t value) { return __builtin_ctzll(value); }

#endif

// The bits of the 16 characters at text (bit i for text[i]) that are first or
// second.  SSE2 compares the 16 at once; elsewhere each character is tested.
inline uint32_t FindEither16(const char* text, char first, char second) {
#ifdef ORVO_HAVE_SSE2
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(first)),
                                    _mm_cmpeq_epi8(chunk, _mm_set1_epi8(second)));
  return static_cast<uint32_t>(_mm_movemask_epi8(hits));
#else
  uint32_t hits = 0;
  for (int i = 0; i < 16; ++i) hits |= static_cast<uint32_t>(text[i] == first || text[i] == second) << i;
  return hits;
#endif
}

// The bits of the 16 characters at text (bit i for text[i]) that are a ','
// or a '*', into *separators, and those that are a '*', into *stars.  SSE2
// compares the 16 at once; elsewhere each character is tested.
inline void FindSeparators16(const char* text, uint32_t* separators, uint32_t* stars) {
#ifdef ORVO_HAVE_SSE2
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  const __m128i star = _mm_cmpeq_epi8(chunk, _mm_set1_epi8('*'));
  const __m128i comma = _mm_cmpeq_epi8(chunk, _mm_set1_epi8(','));
  *stars = static_cast<uint32_t>(_mm_movemask_epi8(star));
  *separators = static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(star, comma)));
#else
  *separators = 0;
  *stars = 0;
  for (int i = 0; i < 16; ++i) {
    *stars |= static_cast<uint32_t>(text[i] == '*') << i;
    *separators |= static_cast<uint32_t>(text[i] == '*' || text[i] == ',') << i;
  }
#endif
}

#endif
