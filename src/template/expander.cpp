#include "template/expander.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "report/songs.h"
#include "report/stanzas.h"
#include "template/store.h"
#include "text/bytes.h"

namespace lyricrtf {

int inschd = 0;
int insong = 0;

namespace {

// A slot expansion in progress: the slot, its text's version and the loop
// flags at its start. Meeting all four again further down means the
// expansion would repeat itself without end.
struct Frame {
  int slot;
  unsigned version;
  int inschd;
  int insong;
};
std::vector<Frame> frames;
std::array<bool, slot_count> warned{};  // "refers back" already said

// The output collects in a buffer of our own and goes to the stream in
// large writes: templates write many short runs.
constexpr size_t output_buffer_size = 64 * 1024;
char pending[output_buffer_size + room_past_text];
size_t pending_size = 0;

void flush(FILE* out) {
  if (pending_size) std::fwrite(pending, 1, pending_size, out);
  pending_size = 0;
}

// emit's rare case: the run does not fit the buffer's rest.
void emit_past_buffer(FILE* out, std::string_view run) {
  flush(out);
  if (run.size() >= output_buffer_size) {
    std::fwrite(run.data(), 1, run.size(), out);
    return;
  }
  copy_bytes(pending, run);
  pending_size = run.size();
}

inline void emit(FILE* out, std::string_view run) {
  if (run.size() > output_buffer_size - pending_size) {
    emit_past_buffer(out, run);
    return;
  }
  // Texts of every length are written from the same places, and a test of
  // the length for each mispredicted: one 64-byte move takes most of them.
  copy_with_room(pending + pending_size, run.data(), run.size());
  pending_size += run.size();
}

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
  bool valid = false;
  unsigned version = 0;
  bool plain = false;  // no '%' in the text: it is written as it stands
  std::vector<Piece> pieces;
};
std::array<Cut, slot_count> cuts;

const Cut& cut_again(int slot);

inline const Cut& cut_of(int slot) {
  const Cut& cut = cuts[static_cast<size_t>(slot)];
  return cut.valid && cut.version == escape[slot].version ? cut : cut_again(slot);
}

// cut_of for a text cut last at another version, or never.
const Cut& cut_again(int slot) {
  Cut& cut = cuts[static_cast<size_t>(slot)];
  cut.valid = true;
  cut.version = escape[slot].version;
  const std::string_view text = slot_text(slot);
  cut.plain = escape[slot].plain || text.find('%') == std::string_view::npos;
  if (cut.plain) return cut;
  cut.pieces.clear();
  for (size_t i = 0;;) {
    const size_t percent = text.find('%', i);
    if (percent == std::string_view::npos || percent + 1 == text.size()) {
      // A lone '%' at the end writes nothing.
      cut.pieces.push_back({i, std::min(percent, text.size()) - i, '\0'});
      return cut;
    }
    cut.pieces.push_back({i, percent - i, text[percent + 1]});
    i = percent + 2;
  }
}

void directive(FILE* out, char d, Report& in);

bool refers_back(int slot) {
  if (frames.size() >= static_cast<size_t>(max_nesting)) return true;
  for (const Frame& f : frames)
    if (f.slot == slot && f.version == escape[slot].version && f.inschd == inschd &&
        f.insong == insong)
      return true;
  return false;
}

// Whether a loop that may start while the slot's text is walked could
// replace that text: the song loop writes the record's slots, the stanza
// loop the stanza's. Templates are never replaced during the expansion.
bool may_be_replaced(int slot) {
  const char name = static_cast<char>('0' + slot);
  return (!inschd && std::string_view("STAcLN").find(name) != std::string_view::npos) ||
         (!insong && std::string_view("tnz").find(name) != std::string_view::npos);
}

void expand_slot(FILE* out, int slot, Report& in);

// Writes a slot's text, each directive in it replaced by what it stands for.
inline void put_slot(FILE* out, int slot, Report& in) {
  // Most texts have nothing in them to expand, and a record's texts are
  // known to be plain when they are stored, before any cut.
  if (escape[slot].plain || cut_of(slot).plain)
    emit(out, slot_text(slot));
  else
    expand_slot(out, slot, in);
}

// put_slot for a text with directives.
void expand_slot(FILE* out, int slot, Report& in) {
  if (refers_back(slot)) {
    if (!warned[slot]) {
      warned[slot] = true;
      write_titles();
      std::fprintf(stderr, "Warning: %%%c refers back to itself and is left out.\n", '0' + slot);
    }
    return;
  }
  const std::string_view text = slot_text(slot);
  frames.push_back({slot, escape[slot].version, inschd, insong});
  if (may_be_replaced(slot)) {
    // Walk a copy: a loop inside the text may replace the slot's text
    // while we are still walking it.
    std::string copy(text);
    copy.resize(text.size() + room_past_text);
    put_text(out, std::string_view(copy).substr(0, text.size()), in);
  } else {
    // The text and its pieces stay as they are until the walk ends.
    for (const Piece& piece : cut_of(slot).pieces) {
      emit(out, text.substr(piece.begin, piece.size));
      // Most directives name a record's text with nothing to expand in
      // it: written here, without the call.
      const char d = piece.directive;
      if (d >= '1' && d <= 'z' && d != 'C' && d != 's' && escape[d - '0'].plain)
        emit(out, slot_text(d - '0'));
      else if (d)
        directive(out, d, in);
    }
  }
  frames.pop_back();
}

// "%C": expands the Song template once for every song record with lyrics.
void song_loop(FILE* out, Report& in) {
  inschd = 1;
  while (get_song(in))
    if (!songbuf.lines.empty()) put_slot(out, song_slot, in);
  inschd = 0;
}

// "%s": expands a stanza template for every stanza of the current lyrics,
// the template of its tag, or the Stanza template when that is empty.
void stanza_loop(FILE* out, Report& in) {
  insong = 1;
  while (get_stanza()) {
    // The first line of lyrics without a tag line, alone: nothing to show.
    if (!stanza_tag && slot_text(stanza_text_slot).empty()) continue;
    const int slot = slot_text(stanza_tag).empty() ? stanza_slot : stanza_tag;
    put_slot(out, slot, in);
  }
  insong = 0;
}

// What the directive '%' d writes.
void directive(FILE* out, char d, Report& in) {
  static constexpr char percent[room_past_text] = "%";  // with the room a text has
  if (d == '%')
    emit(out, {percent, 1});
  else if (d == 'C' && !inschd)
    song_loop(out, in);
  else if (d == 's' && !insong)
    stanza_loop(out, in);
  else if (d >= '1' && d <= 'z')
    put_slot(out, d - '0', in);
  // Any other byte names nothing and is dropped with its '%'.
}

}  // namespace

void put_text(FILE* out, std::string_view text, Report& in) {
  for (;;) {
    const size_t percent = text.find('%');
    if (percent == std::string_view::npos) {
      emit(out, text);
      return;
    }
    emit(out, text.substr(0, percent));
    if (percent + 1 == text.size()) return;  // a lone '%' at the end writes nothing
    const char d = text[percent + 1];
    text.remove_prefix(percent + 2);
    directive(out, d, in);
  }
}

void put_schedule(FILE* out, Report& in) {
  inschd = 0;
  insong = 0;
  frames.clear();
  warned.fill(false);
  for (Cut& cut : cuts) cut.valid = false;
  clear_song();
  pending_size = 0;
  put_slot(out, schedule_slot, in);
  flush(out);
  write_titles();
}

}  // namespace lyricrtf
