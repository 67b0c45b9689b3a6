// The text slot table and the template file reader.
//
// Every text that reaches the output passes through one table of 75 slots.
// A slot is named by one character: its index is the character's code minus
// '0', so slot 'A' is 17 and slot 'z' is 74. A slot holds a shared text; an
// expansion that walks a slot's text holds its own reference to it, so
// replacing the slot never disturbs the walk.
#pragma once

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "template/scan.h"

namespace lyricrtf {

// Slot texts are changed only through the store functions below.
using Text = std::shared_ptr<std::string>;

constexpr int slot_count = 75;

// Slot indices with a fixed meaning.
constexpr int stanza_slot = 0;      // '0' Stanza template (fallback per stanza)
constexpr int schedule_slot = 10;   // ':' Schedule template, the whole output
constexpr int song_slot = 11;       // ';' Song template, once per song record
constexpr int separator_slot = 12;  // '<' Line separator between stanza lines
constexpr int author_slot = 17;     // 'A' the line after the lyrics
constexpr int label_slot = 28;      // 'L' copy of 'l' unless 'c' starts blank
constexpr int number_slot = 30;     // 'N' the line after the 'c' line
constexpr int schedule_name_slot = 35;  // 'S' schedule name
constexpr int title_slot = 36;          // 'T' title of the song record
constexpr int copyright_slot = 51;      // 'c' the line after the 'A' line
constexpr int label_text_slot = 60;     // 'l' label text, from the template file
constexpr int suffix_slot = 62;         // 'n' rest of the tag line
constexpr int tag_slot = 68;            // 't' tag word of the stanza
constexpr int stanza_text_slot = 74;    // 'z' the stanza's lines

constexpr std::string_view default_separator = "\\line\n";

// The stanza tag names; the name at position p selects slot p + 1.
constexpr std::array<std::string_view, 7> tags = {
    "Verse", "Chorus", "Bridge", "Intro", "End", "Slide", "Tag"};

// The slots' texts. A slot may show a view instead (see store_view):
// read slot texts through slot_text or slot_view, never here directly.
extern std::array<Text, slot_count> escape;

// The text each slot shows when it shows a view (store_view), and whether
// it does.
extern std::array<std::string_view, slot_count> viewed;
extern std::array<bool, slot_count> is_viewed;

// Whether a slot's text holds a '%', found out when the text is first
// expanded: a text without one expands to itself. Every store into a slot
// makes it unknown again, or none when the text is known to hold no '%'
// (never some: finding out is when the expander forgets what it knew of
// the slot's old text).
enum class Percent : unsigned char { unknown, none, some };
extern std::array<Percent, slot_count> percent;

// Compares two names, ignoring the case of ASCII letters only.
inline bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The tag names begin with seven different letters, so a text's first
// letter tells the one tag it can name: that tag's position (from 1), or 0.
constexpr int tag_by_initial(char c) {
  switch (c | 0x20) {
    case 'v': return 1;
    case 'c': return 2;
    case 'b': return 3;
    case 'i': return 4;
    case 'e': return 5;
    case 's': return 6;
    case 't': return 7;
    default: return 0;
  }
}

// Position (from 1) of the tag whose name equals `word` as a whole, or 0.
inline int tag_number(std::string_view word) {
  int tag = word.empty() ? 0 : tag_by_initial(word[0]);
  if (!tag || word.size() != tags[tag - 1].size()) return 0;
  // The names are letters: a byte matches one in either case when it
  // equals it with the lower-case bit set.
  std::string_view name = tags[tag - 1];
  for (size_t i = 1; i < name.size(); ++i)
    if ((word[i] | 0x20) != (name[i] | 0x20)) return 0;
  return tag;
}

// Gives every slot the empty text and the Line separator its default.
void init();

// Replaces a slot's text with a copy of `text`, cut at its first zero byte
// (slot texts are zero-terminated in the template language). The slot's
// buffer is reused when nothing else holds its text.
void store_escape(int slot, std::string_view text);

// store_text's work when the slot's text changes, or is shared.
void store_changed_text(int slot, std::string_view text, bool without_percent);

// As store_escape, for a text known to hold no zero byte. When it is known
// to hold no '%' either, `without_percent` spares looking for one.
inline void store_text(int slot, std::string_view text, bool without_percent) {
  is_viewed[slot] = false;
  // Records and stanzas often repeat a short text (the schedule name, the
  // label, a tag word): a slot that holds it already, and alone, keeps it,
  // and what is known of it.
  const Text& held = escape[slot];
  if (text.size() <= 64 && held.use_count() == 1 && same_bytes(*held, text)) {
    if (without_percent) percent[slot] = Percent::none;
    return;
  }
  store_changed_text(slot, text, without_percent);
}

// As store_text, but the slot shows `text` where it lies, without a copy:
// the record and stanza slots change for every record and stanza, and
// most of their texts are written out once, straight from where they lie.
// The text must stay in place until settle_views(), which its owner calls
// before it changes.
void store_view(int slot, std::string_view text, bool without_percent);

// Gives every slot that shows a view a copy of its text.
void settle_views();

// Gives a slot that shows a view a copy of its text.
void settle_view(int slot);

// A slot's text, as a string of its own.
inline const std::string& slot_text(int slot) {
  if (is_viewed[slot]) settle_view(slot);
  return *escape[slot];
}

// A slot's text, where it lies: valid until the slot changes or its view
// is settled.
inline std::string_view slot_view(int slot) {
  return is_viewed[slot] ? viewed[slot] : std::string_view(*escape[slot]);
}

// The slot a definition name selects, or -1 when the name selects none.
int resolve_name(std::string_view name);

// The next byte of the template file; a carriage return is dropped.
int tgetc(FILE* f);

// Reads the rest of a name line (its line feed consumed, not stored).
void get_tname(FILE* f, std::string& name);

// Reads a definition body up to the terminator line "%\" or the end of file.
void get_escape(FILE* f, std::string& body);

// Reads the whole template file into the slots.
void get_template(FILE* f);

}  // namespace lyricrtf
