#include "text/formats.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "text/bytes.h"
#include "text/characters.h"
#include "text/simd.h"

namespace lyricrtf {

namespace {

// Writes "\uN?" for one UTF-16 code; returns the end.
char* put_rtf_unit(char* to, unsigned unit) {
  const int n = unit < 0x8000 ? static_cast<int>(unit) : static_cast<int>(unit) - 0x10000;
  *to++ = '\\';
  *to++ = 'u';
  to = std::to_chars(to, to + 6, n).ptr;
  *to++ = '?';
  return to;
}

// Writes "\uN?" for a character, or two for a pair of UTF-16 codes.
char* put_rtf_character(char* to, char32_t c) {
  if (c < 0x10000) return put_rtf_unit(to, c);
  to = put_rtf_unit(to, 0xD800 + ((c - 0x10000) >> 10));
  return put_rtf_unit(to, 0xDC00 + ((c - 0x10000) & 0x3FF));
}

char* put(char* to, std::string_view text) {
  std::memcpy(to, text.data(), text.size());
  return to + text.size();
}

// Writes what `format` writes for the character at text[i], one that it
// does not write as it stands, and moves i past the character.
char* put_special(char* to, std::string_view text, size_t& i, Format format) {
  const char b = text[i];
  if (b == '%') {
    ++i;
    return put(to, "%%");
  }
  char32_t c = next_utf8(text, i);
  if (format == Format::rtf) {
    switch (b) {
      case '\\': return put(to, "\\\\");
      case '{': return put(to, "\\{");
      case '}': return put(to, "\\}");
      case '\t': return put(to, "\\tab ");
    }
    return put_rtf_character(to, c < 0x20 ? replacement_character : c);
  }
  switch (b) {
    case '&': return put(to, "&amp;");
    case '<': return put(to, "&lt;");
    case '>': return put(to, "&gt;");
    case '"': return put(to, "&quot;");
    case '\'': return put(to, "&#39;");
  }
  return to + put_utf8(to, replacement_character);  // a control character
}

// One field of a spreadsheet's table: UTF-8, quoted where it must be.
// A text that begins with a formula's sign is kept text by a "'" before
// it, which both Calc and Excel show and read as text: a song's title
// must never run as a formula in the sheet of a licence report.
char* put_csv_field(char* to, std::string_view text) {
  constexpr std::string_view formula_signs = "=+-@";
  const bool formula = !text.empty() && formula_signs.find(text[0]) != std::string_view::npos;
  const bool quoted = formula || (!text.empty() && text[0] == ' ') ||
                      text.find_first_of("\",\r") != std::string_view::npos;
  if (quoted) *to++ = '"';
  if (formula) *to++ = '\'';
  for (char c : text) {
    if (c == '%' || (c == '"' && quoted)) *to++ = c;  // "%%" writes one '%', "\"\"" one '"'
    *to++ = c;
  }
  if (quoted) *to++ = '"';
  return to;
}

// Which of the bytes of text[i..i+mask_bits) `format` writes otherwise, as a bit
// mask. Bytes past the text's end count as special, so that a run of bytes
// as they stand ends there. Lyrics lines are looked at a Block at a time:
// most fit, and take one test that is mostly true, where a test of each
// byte took one for every character (bench/README.md).
constexpr size_t mask_bits = 64;
static_assert(mask_bits == room_past_text, "one mask covers a Block");
#if LYRICRTF_SSE2
template <Format format>
uint64_t special_mask(const char* p) {
  uint64_t mask = 0;
  static_assert(4 * sizeof(__m128i) == mask_bits, "four looks cover the mask");
  for (int k = 0; k < 4; ++k) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    mask |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(special_bytes<format>(x)))} << (16 * k);
  }
  return mask;
}

uint64_t specials_at(PaddedView text, size_t i, Format format) {
  const uint64_t mask = format == Format::rtf    ? special_mask<Format::rtf>(text.data() + i)
                        : format == Format::html ? special_mask<Format::html>(text.data() + i)
                                                 : special_mask<Format::text>(text.data() + i);
  const size_t rest = text.size() - i;
  return rest >= mask_bits ? mask : mask | ~uint64_t{0} << rest;
}
#else
uint64_t specials_at(PaddedView text, size_t i, Format format) {
  uint64_t mask = 0;
  for (size_t k = 0; k < mask_bits; ++k)
    mask |= uint64_t{i + k >= text.size() ||
                     is_special(static_cast<unsigned char>(text.data()[i + k]), format)}
            << k;
  return mask;
}
#endif

}  // namespace

bool format_named(std::string_view name, Format& format) {
  if (same_name(name, "#rtf"))
    format = Format::rtf;
  else if (same_name(name, "#html"))
    format = Format::html;
  else if (same_name(name, "#text"))
    format = Format::text;
  else if (same_name(name, "#csv"))
    format = Format::csv;
  else
    return false;
  return true;
}

char* put_formatted(char* to, PaddedView text, Format format) {
  if (format == Format::csv) return put_csv_field(to, text.text());
  for (size_t i = 0; i < text.size();) {
    // One look at a Block serves every special character in it, not a look
    // after each one.
    const size_t base = i;
    uint64_t mask = specials_at(text, base, format);
    for (;;) {
      const size_t stop =
          std::min(base + (mask ? size_t(__builtin_ctzll(mask)) : mask_bits), text.size());
      std::memcpy(to, text.data() + i, sizeof(Block));  // both have room
      to += stop - i;
      i = stop;
      if (i == text.size() || i == base + mask_bits) break;
      to = put_special(to, text.text(), i, format);
      // The bytes of the character just written are done with.
      if (i >= base + mask_bits) break;
      mask &= ~uint64_t{0} << (i - base);
    }
  }
  return to;
}

std::string template_text(std::string_view text, Format format) {
  std::string written;
  written.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t at = i;
    const char32_t c = next_utf8(text, i);
    if (c == '%' && i < text.size()) {
      // A directive, whatever it names; one that names a character beyond
      // ASCII names nothing, and goes with the whole character.
      if (next_utf8(text, i) < 0x80) written.append(text, at, i - at);
    } else if (c < 0x80 || format != Format::rtf) {
      append_utf8(written, c);
    } else {
      char units[2 * sizeof "\\u-12345?"];  // a pair of UTF-16 codes at most
      written.append(units, put_rtf_character(units, c));
    }
  }
  return written;
}

}  // namespace lyricrtf
