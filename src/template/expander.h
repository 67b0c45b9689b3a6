// The template expander: writes the Schedule template to the output,
// replacing each directive by what it stands for, and runs the song loop
// ("%C") and the stanza loop ("%s") that read the report. It alone puts
// what the loops read into the slots.
#pragma once

#include <cstdio>

#include "report/reader.h"
#include "template/conversion.h"

namespace lyricrtf {

// Expands the Schedule template of `c` to `out`, reading the report `in`
// as far as its song loops ask, once for a conversion: both loops idle.
void put_schedule(Conversion& c, FILE* out, Report& in);

}  // namespace lyricrtf
