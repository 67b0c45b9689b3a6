// The text slot table and the template file reader.
//
// Every text that reaches the output passes through one table of 75 slots.
// A slot is named by one character: its index is the character's code minus
// '0', so slot 'A' is 17 and slot 'z' is 74.
//
// A slot either owns a copy of its text or borrows one that lies elsewhere
// (store_view): a record's texts where the report reader's window holds
// them, a stanza's where get_stanza joined it. A borrowed text stays where it
// is until the slot is stored again or settle_views() gives every borrowing
// slot a copy, which the report reader has done before it moves its window.
#pragma once

#include <cstdio>
#include <string_view>

#include "report/songs.h"
#include "text/bytes.h"
#include "text/formats.h"

namespace lyricrtf {

constexpr int slot_count = 75;

// A slot's character: slot 0 is '0', slot 17 'A', slot 74 'z'.
constexpr int slot_of(char name) { return name - '0'; }
constexpr char slot_name(int slot) { return static_cast<char>('0' + slot); }
static_assert(slot_of('z') == slot_count - 1);
// Whether the byte after a '%' names a slot: '1' to 'z'. Slot 0, the
// Stanza template, is named by no directive.
constexpr bool names_slot(char d) { return d >= '1' && d <= 'z'; }
// Whether a definition name's first byte selects a slot by itself: 'A' to
// 'z'; the names of the templates select theirs as a whole.
constexpr bool selects_slot(char initial) { return initial >= 'A' && initial <= 'z'; }

// Slot indices with a fixed meaning.
constexpr int stanza_slot = 0;          // '0' Stanza template (fallback per stanza)
constexpr int schedule_slot = 10;       // ':' Schedule template, the whole output
constexpr int song_slot = 11;           // ';' Song template, once per song record
constexpr int separator_slot = 12;      // '<' Line separator between stanza lines
constexpr int author_slot = 17;         // 'A' the line after the lyrics
constexpr int label_slot = 28;          // 'L' copy of 'l' unless 'c' starts blank
constexpr int number_slot = 30;         // 'N' the line after the 'c' line
constexpr int schedule_name_slot = 35;  // 'S' schedule name
constexpr int title_slot = 36;          // 'T' title of the song record
constexpr int copyright_slot = 51;      // 'c' the line after the 'A' line
constexpr int label_text_slot = 60;     // 'l' label text, from the template file
constexpr int suffix_slot = 62;         // 'n' rest of the tag line
constexpr int tag_slot = 68;            // 't' tag word of the stanza
constexpr int stanza_text_slot = 74;    // 'z' the stanza's lines

constexpr std::string_view default_separator = "\\line\n";

struct Slot {
  PaddedString own;  // the slot's copy of its text, when it owns one
  PaddedView text;   // the text: `own`'s, or a borrowed one
  bool plain = false;    // known to hold no '%', so no directive to look for
  unsigned version = 0;  // changes with every store, so that an expansion
                         // can tell the text it began with from a new one
};

struct Conversion;  // template/conversion.h

// Gives every slot the empty text and the Line separator its default, and
// forgets the format.
void init(Conversion& c);

// Replaces a slot's text with a copy of `text`, cut at its first zero byte
// (slot texts are zero-terminated in the template language).
void store_escape(Conversion& c, int slot, std::string_view text);

// store_view and store_report_text are in template/conversion.h.

// store_report_text's case of a text that may hold something special to
// the declared format: the slot gets it as the format writes it.
void store_formatted(Conversion& c, int slot, PaddedView text);

// Gives every slot that borrows its text a copy of it.
void settle_views(Conversion& c);

// Reads the whole template file into the slots and its format lines into
// the conversion's format: a name line whose name begins with '#'. A
// byte-order mark at its start is skipped. In a declared format the
// template's own texts are then written as that format has them
// (template_text). What cannot do what it seems to say is told in the
// conversion's messages: a format line that names no format, and a name
// that selects no slot or selects slot S. Returns false when reading the
// file failed; errno tells why.
bool get_template(Conversion& c, FILE* f);

// Whether the template file defined a Schedule that writes something.
bool defines_schedule(const Conversion& c);

}  // namespace lyricrtf
