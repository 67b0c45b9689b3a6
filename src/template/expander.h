// The template expander: writes the Schedule template to the output,
// replacing each directive by what it stands for, and runs the song loop
// ("%C") and the stanza loop ("%s") that read the report.
#pragma once

#include <cstdio>
#include <string_view>

#include "report/reader.h"

namespace lyricrtf {

// 1 while a song loop runs, 1 while a stanza loop runs; else 0.
extern int inschd;
extern int insong;

// Deepest nesting of slot expansions; a deeper one is left out.
constexpr int max_nesting = 1000;

// Expands the Schedule template to `out`, reading the report `in` as far
// as its song loops ask. Starts afresh: no lyrics, both loops idle.
void put_schedule(FILE* out, Report& in);

// Writes the expansion of `text` to `out`. The text must outlive the call
// and have room_past_text bytes after it to read.
// What it writes may wait in the expander's buffer until put_schedule
// returns.
void put_text(FILE* out, std::string_view text, Report& in);

}  // namespace lyricrtf
