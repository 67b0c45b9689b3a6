// Characters: UTF-8 in and out, and the codes of Windows-1252, the code page
// that an 8-bit document is read in.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace lyricrtf {

constexpr char32_t replacement_character = 0xFFFD;

// The characters of Windows-1252's codes 0x80 to 0x9F; 0 for the five codes
// the page leaves free.
constexpr std::array<char16_t, 32> windows_1252_high = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The character that an 8-bit code stands for: code c as U+00c, but 0x80 to
// 0x9F as Windows-1252 has them where it has a character there.
constexpr char32_t code_character(unsigned char code) {
  return code >= 0x80 && code <= 0x9F && windows_1252_high[code - 0x80]
             ? windows_1252_high[code - 0x80]
             : code;
}

// Whether `c` is a Unicode scalar value: no surrogate, at most U+10FFFF.
constexpr bool is_scalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Writes the scalar value `c` at `out` in UTF-8; returns the bytes written.
inline size_t put_utf8(char* out, char32_t c) {
  const size_t n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  // The lead byte: n - 1 more bytes follow, then c's highest bits.
  out[0] = static_cast<char>((n == 1 ? 0 : 0xFF00 >> n) | c >> (6 * (n - 1)));
  for (size_t k = 1; k < n; ++k)
    out[k] = static_cast<char>(0x80 | ((c >> (6 * (n - 1 - k))) & 0x3F));
  return n;
}

inline void append_utf8(std::string& to, char32_t c) {
  char bytes[4];
  to.append(bytes, put_utf8(bytes, c));
}

// Decodes the character at text[i] and moves i past it; a byte that does
// not begin a well-formed character (the shortest form of a scalar value)
// is U+FFFD, and i moves past that byte alone.
inline char32_t next_utf8(std::string_view text, size_t& i) {
  const auto b = static_cast<unsigned char>(text[i++]);
  if (b < 0x80) return b;
  const size_t more = b < 0xC2 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : b < 0xF5 ? 3 : 0;
  char32_t c = b & (0x3F >> more);
  for (size_t k = 0; k < more; ++k) {
    if (i + k == text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
      return replacement_character;
    c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  }
  static constexpr char32_t least[] = {0, 0x80, 0x800, 0x10000};
  if (more == 0 || c < least[more] || !is_scalar(c)) return replacement_character;
  i += more;
  return c;
}

}  // namespace lyricrtf
