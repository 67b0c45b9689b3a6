// The driver's side of the console and the file system: titles and lines
// typed at a console, the console that a drop onto the program opens, and
// file names as characters. The engine never needs them.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "text/formats.h"

namespace lyricrtf {

// Any bytes as well-formed UTF-8: what decodes as a character stays, and
// each byte that does not becomes U+FFFD.
std::string valid_utf8(std::string_view bytes);

// A POSIX console reads UTF-8; a Windows console takes wide characters
// (write_console), and a file or a pipe the 8-bit codes as they are.
#ifdef _WIN32
constexpr bool utf8_console = false;
#else
constexpr bool utf8_console = true;
#endif

// The characters that a title's 8-bit codes stand for (code_character:
// Windows-1252's at 0x80 to 0x9F), written at `to` as UTF-8, or as the codes
// themselves when `utf8` is false; returns the end. `to` has room for three
// bytes a code.
char* put_console_text(char* to, std::string_view codes, bool utf8);
std::string console_text(std::string_view codes, bool utf8);

#ifdef _WIN32
// Writes a text to the error stream as characters when that stream is a
// console, after what the stream holds: 8-bit codes, or UTF-8 when `utf8`.
// Returns false, writing nothing, when it is a file or a pipe: they take
// the bytes unchanged.
bool write_console(std::string_view text, bool utf8);

// The console behind a stream (a HANDLE), or nullptr when it is a file or
// a pipe.
void* console_of(FILE* stream);

// Text in a code page (CP_UTF8, CP_ACP) as wide characters.
std::wstring code_page_wide(std::string_view text, unsigned code_page);
#else
inline bool write_console(std::string_view, bool) { return false; }
#endif

// put_formatted at the end of a string, for a text without room after it
// (a file name, say).
void append_formatted(std::string& to, std::string_view text, Format format);

// Writes titles to the error stream as a console shows them: 8-bit codes as
// the characters they stand for, or UTF-8.
void show_titles(std::string_view titles, bool utf8);

// Writes UTF-8 words to the error stream, as characters on a console.
void show_words(std::string_view words);

// Whether the stream is a terminal (on Windows, a console or another
// character device).
bool is_terminal(FILE* stream);

// The path of a program started by a bare name. On POSIX it is found in the
// directories of `search_path` (a PATH value) the way a shell finds it: the
// first executable file of that name; `program` itself when it names a
// directory or no such file is found. On Windows the system tells where
// the running program lies, in the ANSI code page.
std::string locate_program(const std::string& program, const char* search_path);

// A file name as UTF-8 characters: on POSIX its bytes, a byte that does
// not decode as U+FFFD; on Windows its characters in the ANSI code page.
std::string path_text(std::string_view path);

#ifdef _WIN32
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
inline bool read_console_line(FILE*, std::string&, bool&) { return false; }
inline bool console_of_its_own() { return false; }
#endif

}  // namespace lyricrtf
