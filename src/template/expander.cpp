#include "template/expander.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "report/songs.h"
#include "report/stanzas.h"
#include "text/bytes.h"

namespace lyricrtf {

namespace {

// Deepest nesting of slot expansions; a deeper one is left out. Its stack
// budget: a level of the deepest chain (a record's text that runs a song
// loop, whose next record's text runs the next) takes 204 bytes with g++
// -O3 on x86-64, 220 with clang, and under AddressSanitizer 943 at -O0 and
// 3.3 KiB at -O2 (TheDeepestNestingStaysWithinItsStackBudget in
// rules_test.cpp measures it): 1000 levels need about 215 KB natively,
// well within the 8 MiB of a Linux main thread and the 2 MiB that a
// MinGW-w64 program reserves on Windows, and up to 3.4 MB with the
// sanitizers. In WebAssembly a level takes about 70 bytes of the
// program's own stack: the 1000-deep chain fails with 64 KiB (the default
// of newer Emscripten releases) and runs with 80 KiB; the web edition sets
// 1 MiB (CMakeLists.txt), and web_test.js runs the chain.
constexpr size_t max_nesting = 1000;

// Where the song loop puts a record's texts. The label (slot L) goes
// beside them.
constexpr std::array<std::pair<int, RecordText Record::*>, 5> record_slots = {{
    {schedule_name_slot, &Record::name},
    {title_slot, &Record::title},
    {author_slot, &Record::author},
    {copyright_slot, &Record::copyright},
    {number_slot, &Record::number},
}};
// Where the stanza loop puts a stanza's tag word, suffix and text.
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
  c.messages.tick();
}

// Lets the output buffer hold `wanted` bytes, as far as its size allows:
// it grows with the output, so that a short document costs what it holds.
void grow(Conversion& c, size_t wanted) {
  if (c.pending_capacity >= output_buffer_size) return;
  const size_t capacity =
      std::min(output_buffer_size, std::max({2 * c.pending_capacity, wanted, size_t{1024}}));
  std::unique_ptr<char[]> grown(new char[capacity + room_past_text]);
  if (c.pending_size) std::memcpy(grown.get(), c.pending.get(), c.pending_size);
  c.pending = std::move(grown);
  c.pending_capacity = capacity;
}

// emit's rare case: the run does not fit the buffer's rest.
void emit_past_buffer(Conversion& c, FILE* out, PaddedView run) {
  grow(c, c.pending_size + run.size());
  if (run.size() > c.pending_capacity - c.pending_size) {
    flush(c, out);
    if (run.size() > c.pending_capacity) {
      std::fwrite(run.data(), 1, run.size(), out);
      return;
    }
  }
  copy_with_room(c.pending.get() + c.pending_size, run);
  c.pending_size += run.size();
}

inline void emit(Conversion& c, FILE* out, PaddedView run) {
  if (run.size() > c.pending_capacity - c.pending_size) {
    emit_past_buffer(c, out, run);
    return;
  }
  // Texts of every length are written from the same places, and a test of
  // the length for each mispredicted: one Block move takes most of them.
  copy_with_room(c.pending.get() + c.pending_size, run);
  c.pending_size += run.size();
}

// "%%": one percent sign.
void emit_percent(Conversion& c, FILE* out) {
  if (c.pending_size == c.pending_capacity) {
    grow(c, c.pending_size + 1);
    if (c.pending_size == c.pending_capacity) flush(c, out);
  }
  c.pending[c.pending_size++] = '%';
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

// The slot that the directive '%' d expands, or -1 when it does something
// else: "%%", a loop that starts, or a byte that names nothing. "%C" and
// "%s" name their slots only while their loops run: neither loop is ever
// nested in one of its own kind.
inline int slot_named(const Conversion& c, char d) {
  if (!names_slot(d) || (d == 'C' && !c.inschd) || (d == 's' && !c.insong)) return -1;
  return slot_of(d);
}

void run_directive(Conversion& c, FILE* out, char d, Report& in);

// What most directives do, where directives are walked rather than in a
// call: name a text with nothing to expand in it, which is written as it
// stands. False for any other directive.
inline bool put_plain(Conversion& c, FILE* out, char d) {
  const int slot = slot_named(c, d);
  if (slot < 0 || !c.escape[slot].plain) return false;
  emit(c, out, slot_text(c, slot));
  return true;
}

// Writes the expansion of `text`, which must stay where it is until the
// walk ends.
void put_text(Conversion& c, FILE* out, PaddedView text, Report& in) {
  for (size_t at = 0; at < text.size();) {
    const Directive d = next_directive(text.text(), at);
    emit(c, out, text.substr(at, d.run_end - at));
    if (!put_plain(c, out, d.name)) run_directive(c, out, d.name, in);  // 0 names nothing
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
  const bool record =
      slot == label_slot || std::any_of(record_slots.begin(), record_slots.end(),
                                        [slot](const auto& r) { return r.first == slot; });
  const bool stanza =
      std::find(stanza_slots.begin(), stanza_slots.end(), slot) != stanza_slots.end();
  return (!c.inschd && record) || (!c.insong && stanza);
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
      c.messages.warning(std::string("Warning: %") + slot_name(slot) +
                         " refers back to itself and is left out.\n");
    }
    return;
  }
  // A long expansion lets the titles that wait be seen.
  if (--c.until_tick == 0) {
    c.until_tick = expansions_per_tick;
    c.messages.tick();
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
      if (!put_plain(c, out, piece.directive)) run_directive(c, out, piece.directive, in);
    }
  }
  c.frames.pop_back();
}

// "%C": expands the Song template once for every song record with lyrics.
// A record with an empty title ends the loop once its texts are stored.
void song_loop(Conversion& c, FILE* out, Report& in) {
  c.inschd = 1;
  while (const std::optional<Record> record = get_song(in, c.song, c.messages)) {
    for (const auto& [slot, text] : record_slots) store_report_text(c, slot, (*record).*text);
    if (record->copyright_blank)
      store_view(c, label_slot, {}, true);
    else
      store_view(c, label_slot, slot_text(c, label_text_slot), c.escape[label_text_slot].plain);
    if (record->title.text.empty()) break;
    if (!c.song.songbuf.lines.empty()) put_slot(c, out, song_slot, in);
  }
  c.inschd = 0;
}

// "%s": expands a stanza template for every stanza of the current lyrics
// that is sung, the template of its tag, or the Stanza template when that
// is empty.
void stanza_loop(Conversion& c, FILE* out, Report& in) {
  c.insong = 1;
  Stanza stanza;
  const Joining joining = {slot_text(c, separator_slot), c.escape[separator_slot].plain, c.format};
  while (get_stanza(c.song, joining, stanza)) {
    store_view(c, tag_slot, stanza.tag_word, true);  // a tag word is letters only
    store_report_text(c, suffix_slot, stanza.suffix);
    store_view(c, stanza_text_slot, stanza.text, stanza.plain);
    if (!stanza.sung) continue;
    put_slot(c, out, slot_text(c, stanza.tag).empty() ? stanza_slot : stanza.tag, in);
  }
  c.insong = 0;
}

// Writes what the directive '%' d stands for.
void run_directive(Conversion& c, FILE* out, char d, Report& in) {
  if (const int slot = slot_named(c, d); slot >= 0)
    put_slot(c, out, slot, in);
  else if (d == '%')
    emit_percent(c, out);
  else if (d == 'C')  // named no slot: no song loop runs
    song_loop(c, out, in);
  else if (d == 's')
    stanza_loop(c, out, in);
  // Any other byte names nothing and is dropped with its '%'.
}

}  // namespace

void put_schedule(Conversion& c, FILE* out, Report& in) {
  c.inschd = 0;
  c.insong = 0;
  grow(c, 0);  // every emit copies a Block into the buffer
  // The slots borrow texts from the report's window: they take copies
  // before it moves.
  in.before_moving([&c] { settle_views(c); });
  put_slot(c, out, schedule_slot, in);
  in.before_moving(nullptr);
  flush(c, out);
  c.messages.flush();
}

}  // namespace lyricrtf
