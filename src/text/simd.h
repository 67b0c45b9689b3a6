// The one switch for the hand-made SIMD steps: SSE2, which x86-64 always
// has and WebAssembly's 128-bit operations provide. A build with
// LYRICRTF_SCALAR defined takes the plain loops beside them everywhere,
// so that a test of that build checks them too.
#pragma once

#if defined(__SSE2__) && !defined(LYRICRTF_SCALAR)
#define LYRICRTF_SSE2 1
#include <emmintrin.h>  // on WebAssembly, its 128-bit operations (-msimd128 -msse2)
#else
#define LYRICRTF_SSE2 0
#endif
