// The driver's side of the console and the file system: lines typed at a
// console, the console that a drop onto the program opens, and file names
// as characters. The engine never needs them.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace lyricrtf {

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
