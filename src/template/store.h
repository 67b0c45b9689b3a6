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
// slot a copy, which the report reader does before it moves its window.
// Every text, owned or borrowed, has room_past_text bytes after it to read.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include "text/bytes.h"
#include "text/formats.h"

namespace lyricrtf {

constexpr int slot_count = 75;

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

// The stanza tag names; the name at position p selects slot p + 1.
constexpr std::array<std::string_view, 7> tags = {"Verse", "Chorus", "Bridge", "Intro",
                                                  "End",   "Slide",  "Tag"};

struct Slot {
  std::string own;        // the slot's copy of its text, when it owns one
  std::string_view text;  // the text: `own` or its start, or a borrowed one
  bool borrowed = false;
  bool plain = false;    // known to hold no '%', so no directive to look for
  unsigned version = 0;  // changes with every store, so that an expansion
                         // can tell the text it began with from a new one
};
extern std::array<Slot, slot_count> escape;

inline std::string_view slot_text(int slot) { return escape[slot].text; }

// Gives every slot the empty text and the Line separator its default.
void init();

// Replaces a slot's text with a copy of `text`, cut at its first zero byte
// (slot texts are zero-terminated in the template language).
void store_escape(int slot, std::string_view text);

// Lets a slot borrow `text`, which holds no zero byte, without a copy;
// `plain` tells that it holds no '%' either.
inline void store_view(int slot, std::string_view text, bool plain = false) {
  Slot& s = escape[slot];
  s.text = text.empty() ? std::string_view(no_text, 0) : text;  // never a null pointer
  s.borrowed = true;
  s.plain = plain;
  ++s.version;
}

// Gives every slot that borrows its text a copy of it.
void settle_views();

// The document format the template file declares by its last format line
// ("%#rtf", "%#html", "%#text"); Format::none without one.
extern Format format;

// store_report_text's case of a text that may hold something to escape:
// the slot gets it as `format` writes it. The text lies in the report
// reader's window, which has room to read past its end.
void store_escaped(int slot, std::string_view text);

// Lets a slot hold a text read from the report. In a declared format the
// slot holds it as that format writes it, where a '%' is no directive;
// `clean` tells that the reader marked nothing in it, so that it is
// borrowed as it stands (and without a format, that it holds no '%').
inline void store_report_text(int slot, std::string_view text, bool clean) {
  if (clean || format == Format::none)
    store_view(slot, text, clean);
  else
    store_escaped(slot, text);
}

// The slot a definition name selects, or -1 when the name selects none.
int resolve_name(std::string_view name);

// Reads the whole template file into the slots and its format lines into
// `format`: a name line whose name begins with '#'. A byte-order mark at
// its start is skipped. In a declared format the template's own texts are
// then written as that format has them (template_text). What cannot do what
// it seems to say is reported on the error stream: a format line that
// names no format, a name that selects no slot or selects slot S, and a
// file without a Schedule.
void get_template(FILE* f);

}  // namespace lyricrtf
