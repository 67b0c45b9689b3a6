// The document formats a template file may declare, and how each writes a
// text that comes from the report.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/bytes.h"
#include "text/simd.h"

namespace lyricrtf {

// `none`: no format line; the report's characters are 8-bit codes and its
// texts are written as they stand, directives and all.
enum class Format { none, rtf, html, text, csv };

// The format a format line's name names ("#rtf", "#html", "#text" or
// "#csv", case ignored); false when it names none.
bool format_named(std::string_view name, Format& format);

// The extension of a document in `format`, which names it by default.
constexpr const char* document_extension(Format format) {
  switch (format) {
    case Format::html: return "html";
    case Format::text: return "txt";
    case Format::csv: return "csv";
    default: return "rtf";
  }
}

// The type of a document in `format`, as a browser names it (a download).
constexpr const char* document_type(Format format) {
  switch (format) {
    case Format::html: return "text/html";
    case Format::text: return "text/plain";
    case Format::csv: return "text/csv";
    default: return "application/rtf";
  }
}

// The characters of a report text that may make `format` write the text
// otherwise than as it stands: the one rule that the test of a character,
// the test of 16 bytes at once and the report reader's marks all follow. A
// '%' is always among them, even without a format, since it would begin a
// directive; a line feed never, since it is in no text.
struct Specials {
  std::string_view ascii;  // characters below U+0080, '%' first
  bool controls;           // the characters below U+0020 ...
  char control_kept;       // ... but this one ('\n' when none more)
  bool beyond_ascii;       // the characters from U+0080 on
};

constexpr Specials specials(Format format) {
  switch (format) {
    case Format::rtf: return {"%\\{}", true, '\n', true};
    case Format::html: return {"%&<>\"'", true, '\t', false};
    // A field is quoted for a quote, a comma or a line end in it, or for
    // a space or a formula's sign at its start (put_formatted).
    case Format::csv: return {"%\",\r =+-@", false, '\n', false};
    default: return {"%", false, '\n', false};
  }
}

constexpr bool is_special(char32_t c, Format format) {
  const Specials s = specials(format);
  if (c >= 0x80) return s.beyond_ascii;
  if (s.ascii.find(static_cast<char>(c)) != std::string_view::npos) return true;
  return c < 0x20 && s.controls && c != '\n' && c != static_cast<char32_t>(s.control_kept);
}

#if LYRICRTF_SSE2
// is_special() for the 16 bytes of x at once: 0xFF where a byte is one
// that `format` may write otherwise (every byte of a character beyond
// ASCII, when those are), else 0.
template <Format format>
inline __m128i special_bytes(__m128i x) {
  constexpr Specials s = specials(format);
  auto is = [x](char c) { return _mm_cmpeq_epi8(x, _mm_set1_epi8(c)); };
  __m128i found = _mm_setzero_si128();
  for (char c : s.ascii) found = _mm_or_si128(found, is(c));
  // As signed bytes, those from 0x80 on are below zero, and so below 0x20.
  const __m128i kept = _mm_or_si128(is('\n'), is(s.control_kept));
  if (s.controls && s.beyond_ascii)
    return _mm_or_si128(found, _mm_andnot_si128(kept, _mm_cmplt_epi8(x, _mm_set1_epi8(0x20))));
  // A byte below 0x20, unsigned: the minimum with 0x1F is the byte itself.
  if (s.controls)
    found = _mm_or_si128(
        found, _mm_andnot_si128(kept, _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(0x1F)), x)));
  if (s.beyond_ascii) found = _mm_or_si128(found, _mm_cmplt_epi8(x, _mm_setzero_si128()));
  return found;
}
#endif

// The room that put_formatted may take for a text of n bytes: a byte may
// become six ("&quot;"), and a block more may be written past the end.
constexpr size_t formatted_room(size_t n) { return 6 * n + room_past_text; }

// Writes `text` (well-formed UTF-8) at `to`, which has formatted_room() for
// it, as `format` writes it, each '%' doubled so that the expander writes
// it as a percent sign; returns the end of what it wrote:
//   rtf   \ { } as \\ \{ \}, a tab as "\tab ", from U+0080 on "\uN?" (N the
//         UTF-16 code as a signed 16-bit number, a pair above U+FFFF),
//         other characters below U+0020 as U+FFFD; the result is ASCII;
//   html  & < > " ' as entities, characters below U+0020 but the tab as
//         U+FFFD, the rest as UTF-8;
//   text  UTF-8 as it stands;
//   csv   UTF-8, one field: quoted, with each '"' doubled, when it holds a
//         '"', a ',' or a carriage return, or begins with a space or with
//         a sign that a spreadsheet reads as a formula (= + - @), which
//         then follows a "'" that keeps it text.
// It looks at the text a Block at a time.
char* put_formatted(char* to, PaddedView text, Format format);

// A template's own text as the declared `format` writes it. ASCII stays as
// it is, and with it every directive and RTF control word; a byte that is
// not UTF-8 becomes U+FFFD; a '%' before a character beyond ASCII is a
// directive that names nothing, and goes with the whole character; in RTF
// every other character beyond ASCII becomes "\uN?".
std::string template_text(std::string_view text, Format format);

}  // namespace lyricrtf
