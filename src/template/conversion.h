// One conversion as a value: everything that one run changes, from the
// template file read to the last byte written. The driver makes one for a
// run, the template reader fills its slots, and the expander writes the
// output from it; two conversions share nothing.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "report/songs.h"
#include "template/store.h"
#include "text/messages.h"

namespace lyricrtf {

// A slot expansion in progress: the slot, its text's version and the loop
// flags at its start. Meeting all four again further down means the
// expansion would repeat itself without end.
struct Frame {
  int slot;
  unsigned version;
  int inschd;
  int insong;
};

// A slot's text cut at its directives: a literal run, then the byte after
// its '%' (0 where the text ends instead). The Song and stanza templates
// are expanded again and again; cut once per version of the text, they need
// no search for their '%' each time.
struct Piece {
  size_t begin;
  size_t size;
  char directive;
};
struct Cut {
  unsigned version = ~0u;  // the text's version when it was cut; none has this one
  bool plain = false;  // no '%' in the text: it is written as it stands
  std::vector<Piece> pieces;
};

// The output collects in a buffer of its own and goes to the stream in
// large writes: templates write many short runs. It grows to this size
// as the output does.
constexpr size_t output_buffer_size = 64 * 1024;

// How many slot expansions go by between two looks at the titles that
// wait: a look reads the clock.
constexpr unsigned expansions_per_tick = 256;

struct Conversion {
  std::array<Slot, slot_count> escape;  // the slot table
  Format format = Format::none;          // the template file's last format line
  int inschd = 0;                        // 1 while a song loop runs
  int insong = 0;                        // 1 while a stanza loop runs
  Song song;                             // the lyrics, the cursor, the stanzas sung
  Messages messages;                     // the titles and warnings, to the driver's sink

  // The expander's: the slot expansions in progress, the slots already
  // said to refer back, the cut texts, and the output not yet written.
  std::vector<Frame> frames;
  std::array<bool, slot_count> warned{};
  std::array<Cut, slot_count> cuts;
  std::unique_ptr<char[]> pending;  // with room_past_text bytes past its capacity
  size_t pending_capacity = 0;
  size_t pending_size = 0;
  unsigned until_tick = expansions_per_tick;  // slot expansions until the titles are looked at
};

inline PaddedView slot_text(const Conversion& c, int slot) { return c.escape[slot].text; }

// Lets a slot borrow `text`, which holds no zero byte, without a copy;
// `plain` tells that it holds no '%' either.
inline void store_view(Conversion& c, int slot, PaddedView text, bool plain) {
  Slot& s = c.escape[slot];
  s.text = text;
  s.plain = plain;
  ++s.version;
}

// Lets a slot hold a text read from the report. In a declared format the
// slot holds it as that format writes it, where a '%' is no directive; a
// clean text (the reader marked nothing in it) is borrowed as it stands.
inline void store_report_text(Conversion& c, int slot, RecordText text) {
  if (text.clean || c.format == Format::none)
    store_view(c, slot, text.text, text.clean);
  else
    store_formatted(c, slot, text.text);
}

}  // namespace lyricrtf
