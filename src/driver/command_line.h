// The interactive start: when the program is started without arguments
// (for example from a file manager), it asks for a command line, splits it
// into words and runs the conversion on them.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "driver/driver.h"

namespace lyricrtf {

// Splits a typed command line into words. Blanks (spaces and tabs) separate
// words; a word that begins with ' or " runs to the same quote or the end
// of the text, and the closing quote also ends it when more text follows at
// once. A backslash that would begin a word and ends the text asks
// `continuation` for a further line, which takes its place; when that
// returns false the backslash is dropped and the words so far are used.
// There are no escapes: other backslashes and quotes are ordinary.
std::vector<std::string> split_command_line(
    std::string text, const std::function<bool(std::string&)>& continuation);

// Whether a typed word names the program itself, as a usage line shows
// it: its file name, without a final ".exe" and ignoring ASCII case, is
// "lyricrtf" or the file name of `program` (argument 0).
bool names_program(const std::string& word, const std::string& program,
                   const Platform& platform = native);

// Writes the closing lines of a run to `out` and waits for Return on `in`.
void wait_for_return(FILE* in, FILE* out);

// Asks for a command line on `out`, reads it from `in`, runs the
// conversion between two banners and waits for Return. `program` becomes
// argument 0; a first word that names the program is dropped. Returns the
// conversion's exit code.
int interactive(const char* program, FILE* in, FILE* out, const Platform& platform = native);

}  // namespace lyricrtf
