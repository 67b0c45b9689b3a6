// Titles and typed lines on a console, and file names as characters. A
// POSIX console reads UTF-8. A Windows console writes and reads UTF-16
// characters, while the report's titles are 8-bit codes or UTF-8 and file
// names are in the ANSI code page.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace lyricrtf {

// A POSIX console reads UTF-8; a Windows console takes wide characters
// (write_console), and a file or a pipe the 8-bit codes as they are.
#ifdef _WIN32
constexpr bool utf8_console = false;
#else
constexpr bool utf8_console = true;
#endif

// The characters that a title's 8-bit codes stand for (code_character:
// Windows-1252's at 0x80 to 0x9F). Appended to `shown` as UTF-8, or as the
// codes themselves when `utf8` is false.
void append_console_text(std::string& shown, std::string_view codes, bool utf8);
std::string console_text(std::string_view codes, bool utf8);

// The same characters as wide ones.
std::wstring wide_text(std::string_view codes);

// A file name as UTF-8 characters: on POSIX its bytes, a byte that does
// not decode as U+FFFD; on Windows its characters in the ANSI code page.
std::string path_text(std::string_view path);

#ifdef _WIN32
// Writes a text to the error stream as characters when that stream is a
// console, after what the stream holds: 8-bit codes, or UTF-8 when `utf8`.
// Returns false, writing nothing, when it is a file or a pipe: they take
// the bytes unchanged.
bool write_console(std::string_view text, bool utf8);

// UTF-8 as wide characters.
std::wstring utf8_wide(std::string_view text);

// Characters in a code page (CP_ACP: the process's own); a character the
// page lacks becomes its nearest or '?'.
std::string code_page_text(std::wstring_view text, unsigned code_page);

// Reads a line typed at a console as characters, in the ANSI code page,
// without its line end. Returns false when `in` is no console.
// `ended` tells when the input ended before anything was read.
bool read_console_line(FILE* in, std::string& line, bool& ended);

// Whether the process is alone on its console, with standard input on it:
// as when a file is dropped onto the program, which Windows starts in a
// console of its own that closes when the program ends.
bool console_of_its_own();
#else
inline bool write_console(std::string_view, bool) { return false; }
inline bool read_console_line(FILE*, std::string&, bool&) { return false; }
inline bool console_of_its_own() { return false; }
#endif

}  // namespace lyricrtf
