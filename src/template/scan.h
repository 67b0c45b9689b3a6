// Finding a byte in a text. Templates and lyrics lines are short runs, for
// which a library call costs more than the search itself; this looks at 16
// bytes at a time in place.
#pragma once

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lyricrtf {

// Position of the first `c` in p[0..n), or n.
inline size_t find_byte(const char* p, size_t n, char c) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(c);
  for (; i + 16 <= n; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(x, wanted));
    if (mask) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
  if (i < n && n >= 16) {
    // The last 16 bytes, overlapping those already seen.
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, wanted)));
    mask >>= 16 - (n - i);
    return mask ? i + static_cast<size_t>(__builtin_ctz(mask)) : n;
  }
#endif
  while (i < n && p[i] != c) ++i;
  return i;
}

}  // namespace lyricrtf
