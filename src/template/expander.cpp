#include "template/expander.h"

#include <array>
#include <cstring>
#include <vector>

#include "report/songs.h"
#include "report/stanzas.h"
#include "template/scan.h"
#include "template/store.h"

namespace lyricrtf {

int inschd = 0;
int insong = 0;

namespace {

// A slot expansion in progress, with the text it walks and the loop flags
// at its start. Meeting the same slot, text and flags again further down
// means the expansion would repeat itself without end.
struct Frame {
  int slot;
  const std::string* text;
  int inschd;
  int insong;
};

std::vector<Frame> frames;
std::array<int, slot_count> open_frames{};  // frames of each slot on the stack
std::array<bool, slot_count> warned{};      // "refers back" already said

// The output collects in a buffer of our own and goes to the stream in
// large writes: templates write many short runs.
constexpr size_t output_buffer_size = 64 * 1024;
char pending[output_buffer_size];
size_t pending_size = 0;

void flush(FILE* out) {
  if (pending_size) std::fwrite(pending, 1, pending_size, out);
  pending_size = 0;
}

void emit_past_buffer(FILE* out, const char* bytes, size_t count) {
  flush(out);
  if (count >= output_buffer_size)
    std::fwrite(bytes, 1, count, out);
  else {
    std::memcpy(pending, bytes, count);
    pending_size = count;
  }
}

inline void emit(FILE* out, const char* bytes, size_t count) {
  if (pending_size + count > output_buffer_size) {
    emit_past_buffer(out, bytes, count);
    return;
  }
  char* to = pending + pending_size;
  pending_size += count;
  // Most runs of a template and most titles take 16 to 32 bytes: two
  // copies of 16 that overlap cost less than a library call.
  if (count >= 16 && count <= 32) {
    copy_16(to, bytes);
    copy_16(to + count - 16, bytes + count - 16);
  } else {
    std::memcpy(to, bytes, count);
  }
}

// A slot's text cut at its directives, for a template that is expanded
// again and again: a literal run, then the byte after its '%' (0 where the
// text ends instead).
struct Piece {
  size_t begin;
  size_t size;
  char directive;
};

// The pieces of each slot's text, for the text object `text`. They hold
// while the slot's `percent` stays Percent::some: every store makes it
// unknown, and expand_slot then forgets the pieces.
struct Compiled {
  const std::string* text = nullptr;
  std::vector<Piece> pieces;
};
std::array<Compiled, slot_count> compiled;

// Calls visit(begin, size, d) for each piece of `text` in order: the
// literal run text[begin, begin + size), then the byte d after its '%'
// (0 where the text ends instead).
template <typename Visit>
void cut_at_directives(std::string_view text, Visit visit) {
  size_t i = 0;
  while (i < text.size()) {
    size_t percent = i + find_byte(text.data() + i, text.size() - i, '%');
    if (percent + 1 >= text.size()) {
      // A lone '%' at the end of the text writes nothing.
      visit(i, percent - i, '\0');
      return;
    }
    visit(i, percent - i, text[percent + 1]);
    i = percent + 2;
  }
}

void compile(const std::string& text, Compiled& c) {
  c.text = &text;
  c.pieces.clear();
  cut_at_directives(text, [&](size_t begin, size_t size, char d) {
    c.pieces.push_back({begin, size, d});
  });
}

void directive(FILE* out, char d, Report& in);

bool refers_back(int slot) {
  if (frames.size() >= static_cast<size_t>(max_nesting)) return true;
  if (!open_frames[slot]) return false;  // the common case: the slot is not open
  const std::string* text = escape[slot].get();
  for (const Frame& f : frames)
    if (f.slot == slot && f.text == text && f.inschd == inschd && f.insong == insong) return true;
  return false;
}

// Whether a loop that may start while the slot's text is walked could
// replace that text: the song loop writes the record's slots, the stanza
// loop the stanza's. Templates are never replaced during the expansion.
bool may_be_replaced(int slot) {
  switch (slot) {
    case schedule_name_slot: case title_slot: case author_slot: case copyright_slot:
    case label_slot: case number_slot:
      return !inschd;
    case tag_slot: case suffix_slot: case stanza_text_slot:
      return !insong;
    default:
      return false;
  }
}

void expand_open_slot(FILE* out, int slot, Report& in);

// Expands a slot: writes its text, each directive in it replaced by what it
// stands for.
inline void expand_slot(FILE* out, int slot, Report& in) {
  // Most slots hold texts without a '%', which go out as they stand: a
  // slot that is not being expanded already, below the deepest nesting,
  // needs no further check.
  if (percent[slot] == Percent::none && !open_frames[slot] &&
      frames.size() < static_cast<size_t>(max_nesting)) {
    const std::string_view text = slot_view(slot);
    emit(out, text.data(), text.size());
    return;
  }
  expand_open_slot(out, slot, in);
}

void expand_open_slot(FILE* out, int slot, Report& in) {
  // The walk below needs the slot's text as a string of its own.
  if (is_viewed[slot]) settle_view(slot);
  if (refers_back(slot)) {
    if (!warned[slot]) {
      warned[slot] = true;
      std::fprintf(stderr, "Warning: %%%c refers back to itself and is left out.\n", '0' + slot);
    }
    return;
  }
  if (percent[slot] == Percent::unknown) {
    const std::string& text = *escape[slot];
    percent[slot] = find_byte(text.data(), text.size(), '%') == text.size() ? Percent::none
                                                                             : Percent::some;
    compiled[slot].text = nullptr;
  }
  if (percent[slot] == Percent::none) {
    // Nothing in the text to expand: it goes out as it stands.
    const std::string& text = *escape[slot];
    emit(out, text.data(), text.size());
    return;
  }
  const std::string* text = escape[slot].get();
  frames.push_back({slot, text, inschd, insong});
  ++open_frames[slot];
  if (may_be_replaced(slot)) {
    // Walk our own reference to the text: a loop inside it may replace
    // the slot while we are still walking it.
    Text hold = escape[slot];
    put_text(out, *text, in);
  } else {
    // The text stays as it is until the expansion ends: it is cut at its
    // directives once and the pieces serve every later expansion.
    Compiled& c = compiled[static_cast<size_t>(slot)];
    if (c.text != text) compile(*text, c);
    for (const Piece& piece : c.pieces) {
      if (piece.size) emit(out, text->data() + piece.begin, piece.size);
      if (piece.directive) directive(out, piece.directive, in);
    }
  }
  --open_frames[slot];
  frames.pop_back();
}

// "%C": expands the Song template once for every song record with lyrics.
void song_loop(FILE* out, Report& in) {
  inschd = 1;
  while (get_song(in))
    if (!songbuf.empty()) expand_slot(out, song_slot, in);
  inschd = 0;
}

// "%s": expands a stanza template for every stanza of the current lyrics,
// the template of its tag, or the Stanza template when that is empty.
void stanza_loop(FILE* out, Report& in) {
  insong = 1;
  while (get_stanza()) {
    // The first line of lyrics without a tag line, alone: nothing to show.
    if (!stanza_tag && slot_view(stanza_text_slot).empty()) continue;
    // The stanza's tag selects its template (none selects the Stanza one).
    int slot = stanza_tag;
    if (slot_view(slot).empty()) slot = stanza_slot;
    expand_slot(out, slot, in);
  }
  insong = 0;
}

// What the directive '%' d writes.
inline void directive(FILE* out, char d, Report& in) {
  if (d == '%')
    emit(out, "%", 1);
  else if (d == 'C' && !inschd)
    song_loop(out, in);
  else if (d == 's' && !insong)
    stanza_loop(out, in);
  else if (d >= '1' && d <= 'z')
    expand_slot(out, d - '0', in);
  // Any other byte names nothing and is dropped with its '%'.
}

}  // namespace

void put_text(FILE* out, std::string_view text, Report& in) {
  cut_at_directives(text, [&](size_t begin, size_t size, char d) {
    if (size) emit(out, text.data() + begin, size);
    if (d) directive(out, d, in);
  });
}

void put_schedule(FILE* out, Report& in) {
  inschd = 0;
  insong = 0;
  frames.clear();
  open_frames.fill(0);
  for (Compiled& c : compiled) c.text = nullptr;
  warned.fill(false);
  clear_song();
  pending_size = 0;
  expand_slot(out, schedule_slot, in);
  flush(out);
  clear_song();  // stops reading the report ahead
}

}  // namespace lyricrtf
