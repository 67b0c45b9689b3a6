// Titles on a console. A POSIX console reads UTF-8. A Windows console
// writes UTF-16 characters, while the report's titles are 8-bit codes or
// UTF-8.
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

}  // namespace lyricrtf
