// The document formats a template file may declare, and how each writes a
// text that comes from the report.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lyricrtf {

// `none`: no format line; the report's characters are 8-bit codes and its
// texts are written as they stand, directives and all.
enum class Format { none, rtf, html, text };

// The format a format line's name names ("#rtf", "#html" or "#text", case
// ignored); false when it names none.
bool format_named(std::string_view name, Format& format);

// The extension of a document in `format`, which names it by default.
constexpr const char* document_extension(Format format) {
  return format == Format::html ? "html" : format == Format::text ? "txt" : "rtf";
}

// Whether `format` writes the character c of a report text otherwise than
// as it stands; a '%' is always written otherwise, even without a format,
// since it would begin a directive. A line feed is in no text: never.
constexpr bool escaped(char32_t c, Format format) {
  const bool control = c < 0x20 && c != '\n';
  switch (format) {
    case Format::rtf: return c == '%' || control || c >= 0x80 || c == '\\' || c == '{' || c == '}';
    case Format::html:
      return c == '%' || (control && c != '\t') || c == '&' || c == '<' || c == '>' || c == '"' ||
             c == '\'';
    default: return c == '%';
  }
}

// The characters below 0x80 besides the control characters that `format`
// escapes: the report reader stops at them to note where they are.
constexpr std::string_view escaped_ascii(Format format) {
  return format == Format::rtf ? "%\\{}" : format == Format::html ? "%&<>\"'" : "%";
}

// The functions below look at a text 64 bytes at a time and may read up to
// 63 bytes past its end: those must be there to read, as they are in the
// report reader's window (room_past_end).

// The room that put_escaped may take for a text of n bytes: a byte may
// become six ("&quot;"), and 64 more may be written past the end.
constexpr size_t escaped_room(size_t n) { return 6 * n + 64; }

// Writes `text` (well-formed UTF-8) at `to`, which has escaped_room() for
// it, as `format` writes it, each '%' doubled so that the expander writes
// it as a percent sign; returns the end of what it wrote:
//   rtf   \ { } as \\ \{ \}, a tab as "\tab ", from U+0080 on "\uN?" (N the
//         UTF-16 code as a signed 16-bit number, a pair above U+FFFF),
//         other characters below U+0020 as U+FFFD; the result is ASCII;
//   html  & < > " ' as entities, characters below U+0020 but the tab as
//         U+FFFD, the rest as UTF-8;
//   text  UTF-8 as it stands.
char* put_escaped(char* to, std::string_view text, Format format);

// A template's own text as the declared `format` writes it. ASCII stays as
// it is, and with it every directive and RTF control word; a byte that is
// not UTF-8 becomes U+FFFD; a '%' before a character beyond ASCII is a
// directive that names nothing, and goes with the whole character; in RTF
// every other character beyond ASCII becomes "\uN?".
std::string template_text(std::string_view text, Format format);

// put_escaped at the end of a string, for a text that may lie anywhere: it
// reads nothing past the text's end.
void append_escaped(std::string& to, std::string_view text, Format format);

}  // namespace lyricrtf
