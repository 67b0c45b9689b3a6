#include "template/expander.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "report/songs.h"
#include "report/stanzas.h"
#include "text/bytes.h"

namespace lyricrtf {

namespace {

// Deepest nesting of slot expansions; a deeper one is left out.
constexpr size_t max_nesting = 1000;

// Where the loops put what they read: the song loop a record's texts
// (Record::texts, in this order) and the label beside them, the stanza
// loop a stanza's tag word, suffix and text. A text that a loop may
// replace is copied before it is walked.
constexpr std::array<int, 5> record_slots = {schedule_name_slot, title_slot, author_slot,
                                             copyright_slot, number_slot};
constexpr std::array<int, 3> stanza_slots = {tag_slot, suffix_slot, stanza_text_slot};

// The next directive of `text` from `at` on: where the literal run before
// it ends, the byte after its '%' (0 where the text ends first, or ends in
// a lone '%', which writes nothing), and where the text goes on.
struct Directive {
  size_t run_end;
  char name;
  size_t next;
};

Directive next_directive(std::string_view text, size_t at) {
  const size_t percent = text.find('%', at);
  if (percent == std::string_view::npos) return {text.size(), '\0', text.size()};
  if (percent + 1 == text.size()) return {percent, '\0', text.size()};
  return {percent, text[percent + 1], percent + 2};
}

void flush(Conversion& c, FILE* out) {
  if (c.pending_size) std::fwrite(c.pending.get(), 1, c.pending_size, out);
  c.pending_size = 0;
}

// emit's rare case: the run does not fit the buffer's rest.
void emit_past_buffer(Conversion& c, FILE* out, PaddedView run) {
  flush(c, out);
  if (run.size() >= output_buffer_size) {
    std::fwrite(run.data(), 1, run.size(), out);
    return;
  }
  copy_with_room(c.pending.get(), run);
  c.pending_size = run.size();
}

inline void emit(Conversion& c, FILE* out, PaddedView run) {
  if (run.size() > output_buffer_size - c.pending_size) {
    emit_past_buffer(c, out, run);
    return;
  }
  // Texts of every length are written from the same places, and a test of
  // the length for each mispredicted: one 64-byte move takes most of them.
  copy_with_room(c.pending.get() + c.pending_size, run);
  c.pending_size += run.size();
}

const Cut& cut_again(Conversion& c, int slot);

inline const Cut& cut_of(Conversion& c, int slot) {
  const Cut& cut = c.cuts[static_cast<size_t>(slot)];
  return cut.version == c.escape[slot].version ? cut : cut_again(c, slot);
}

// cut_of for a text cut last at another version, or never.
const Cut& cut_again(Conversion& c, int slot) {
  Cut& cut = c.cuts[static_cast<size_t>(slot)];
  cut.version = c.escape[slot].version;
  const std::string_view text = slot_text(c, slot).text();
  cut.plain = c.escape[slot].plain || text.find('%') == std::string_view::npos;
  cut.pieces.clear();
  for (size_t at = 0; !cut.plain && at < text.size();) {
    const Directive d = next_directive(text, at);
    cut.pieces.push_back({at, d.run_end - at, d.name});
    at = d.next;
  }
  return cut;
}

void directive(Conversion& c, FILE* out, char d, Report& in);

// What most directives do, where directives are walked rather than in a
// call: name a record's text with nothing to expand in it, which is
// written as it stands. False for any other directive.
inline bool put_plain(Conversion& c, FILE* out, char d) {
  if (d < '1' || d > 'z' || d == 'C' || d == 's' || !c.escape[d - '0'].plain) return false;
  emit(c, out, slot_text(c, d - '0'));
  return true;
}

// Writes the expansion of `text`, which must stay where it is until the
// walk ends.
void put_text(Conversion& c, FILE* out, PaddedView text, Report& in) {
  for (size_t at = 0; at < text.size();) {
    const Directive d = next_directive(text.text(), at);
    emit(c, out, text.substr(at, d.run_end - at));
    if (d.name && !put_plain(c, out, d.name)) directive(c, out, d.name, in);
    at = d.next;
  }
}

bool refers_back(const Conversion& c, int slot) {
  if (c.frames.size() >= max_nesting) return true;
  for (const Frame& f : c.frames)
    if (f.slot == slot && f.version == c.escape[slot].version && f.inschd == c.inschd &&
        f.insong == c.insong)
      return true;
  return false;
}

// Whether a loop that may start while the slot's text is walked could
// replace that text. Templates are never replaced during the expansion.
bool may_be_replaced(const Conversion& c, int slot) {
  auto among = [slot](auto slots) { return std::find(slots.begin(), slots.end(), slot) != slots.end(); };
  return (!c.inschd && (among(record_slots) || slot == label_slot)) ||
         (!c.insong && among(stanza_slots));
}

void expand_slot(Conversion& c, FILE* out, int slot, Report& in);

// Writes a slot's text, each directive in it replaced by what it stands for.
inline void put_slot(Conversion& c, FILE* out, int slot, Report& in) {
  // Most texts have nothing in them to expand, and a record's texts are
  // known to be plain when they are stored, before any cut.
  if (c.escape[slot].plain || cut_of(c, slot).plain)
    emit(c, out, slot_text(c, slot));
  else
    expand_slot(c, out, slot, in);
}

// put_slot for a text with directives.
void expand_slot(Conversion& c, FILE* out, int slot, Report& in) {
  if (refers_back(c, slot)) {
    if (!c.warned[slot]) {
      c.warned[slot] = true;
      write_titles(c.song.titles);
      std::fprintf(stderr, "Warning: %%%c refers back to itself and is left out.\n", '0' + slot);
    }
    return;
  }
  const PaddedView text = slot_text(c, slot);
  c.frames.push_back({slot, c.escape[slot].version, c.inschd, c.insong});
  if (may_be_replaced(c, slot)) {
    // Walk a copy: a loop inside the text may replace the slot's text
    // while we are still walking it.
    PaddedString copy;
    copy.assign(text.text());
    put_text(c, out, copy.view(), in);
  } else {
    // The text and its pieces stay as they are until the walk ends.
    for (const Piece& piece : cut_of(c, slot).pieces) {
      emit(c, out, text.substr(piece.begin, piece.size));
      if (piece.directive && !put_plain(c, out, piece.directive)) directive(c, out, piece.directive, in);
    }
  }
  c.frames.pop_back();
}

// "%C": expands the Song template once for every song record with lyrics.
// A record with an empty title ends the loop once its texts are stored.
void song_loop(Conversion& c, FILE* out, Report& in) {
  c.inschd = 1;
  while (const std::optional<Record> record = get_song(in, c.song)) {
    for (size_t k = 0; k < record_slots.size(); ++k)
      store_report_text(c, record_slots[k], record->texts[k]);
    if (record->copyright_blank)
      store_view(c, label_slot, {}, true);
    else
      store_view(c, label_slot, slot_text(c, label_text_slot), c.escape[label_text_slot].plain);
    if (record->title().text.empty()) break;
    if (!c.song.songbuf.lines.empty()) put_slot(c, out, song_slot, in);
  }
  c.inschd = 0;
}

// "%s": expands a stanza template for every stanza of the current lyrics,
// the template of its tag, or the Stanza template when that is empty.
void stanza_loop(Conversion& c, FILE* out, Report& in) {
  c.insong = 1;
  Stanza stanza;
  const Joining joining = {slot_text(c, separator_slot), c.escape[separator_slot].plain, c.format};
  while (get_stanza(c.song, joining, stanza)) {
    store_view(c, tag_slot, stanza.tag_word, true);  // a tag word is letters only
    store_report_text(c, suffix_slot, stanza.suffix);
    store_view(c, stanza_text_slot, stanza.text, stanza.plain);
    // The first line of lyrics without a tag line, alone: nothing to show.
    if (!stanza.tag && stanza.text.empty()) continue;
    put_slot(c, out, slot_text(c, stanza.tag).empty() ? stanza_slot : stanza.tag, in);
  }
  c.insong = 0;
}

// What the directive '%' d writes.
void directive(Conversion& c, FILE* out, char d, Report& in) {
  static constexpr char percent[1 + room_past_text] = "%";
  if (d == '%')
    emit(c, out, PaddedView::with_room(percent, 1));
  else if (d == 'C' && !c.inschd)
    song_loop(c, out, in);
  else if (d == 's' && !c.insong)
    stanza_loop(c, out, in);
  else if (d >= '1' && d <= 'z')
    put_slot(c, out, d - '0', in);
  // Any other byte names nothing and is dropped with its '%'.
}

}  // namespace

void put_schedule(Conversion& c, FILE* out, Report& in) {
  c.inschd = 0;
  c.insong = 0;
  // The slots borrow texts from the report's window: they take copies
  // before it moves.
  in.before_moving = [&c] { settle_views(c); };
  put_slot(c, out, schedule_slot, in);
  in.before_moving = nullptr;
  flush(c, out);
  write_titles(c.song.titles);
}

}  // namespace lyricrtf
