// The Windows console. Its programs write and read UTF-16 characters, while
// the report's titles are 8-bit codes and file names are in the ANSI code
// page. On POSIX nothing here is used but wide_text, which tests call.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace lyricrtf {

// The characters that a title's 8-bit codes stand for: code c as U+00c,
// 146 (the report's own quote) as U+2019.
std::wstring wide_text(std::string_view codes);

#ifdef _WIN32
// Writes 8-bit codes to the error stream as characters when that stream is
// a console, after what the stream holds. Returns false, writing nothing,
// when it is a file or a pipe: they take the bytes unchanged.
bool write_console(std::string_view codes);

// Characters in a code page (CP_ACP: the process's own); a character the
// page lacks becomes its nearest or '?'.
std::string code_page_text(std::wstring_view text, unsigned code_page);

// Reads a line typed at a console as characters, in the ANSI code page,
// without its line end. Returns false when `in` is no console.
// `ended` tells when the input ended before anything was read.
bool read_console_line(FILE* in, std::string& line, bool& ended);
#else
inline bool write_console(std::string_view) { return false; }
inline bool read_console_line(FILE*, std::string&, bool&) { return false; }
#endif

}  // namespace lyricrtf
