#include "report/songs.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "template/scan.h"
#include "template/store.h"

namespace lyricrtf {

namespace {

constexpr std::string_view heading = "Schedule Detail";
constexpr std::string_view name_prefix = "for ";
constexpr std::string_view end_of_lyrics = " ";  // six spaces in the file

bool ends_with(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && same_bytes(text.substr(text.size() - tail.size()), tail);
}

// The schedule name of a "for " line: from its fifth character up to the
// first '.' after it, or to the line's end.
std::string_view schedule_name(std::string_view for_line) {
  if (for_line.size() <= name_prefix.size()) return for_line.substr(0, 0);
  std::string_view name = for_line.substr(name_prefix.size());
  return name.substr(0, name.find('.'));
}

void warn(const char* message) { std::fputs(message, stderr); }

// Appends console_text(text, utf8) to `shown`.
void append_console_text(std::string& shown, std::string_view text, bool utf8) {
  if (!utf8 || !has_high_bytes(text)) {
    shown.append(text);
    return;
  }
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      shown.push_back(ch);
    } else if (c == 146) {
      shown.append("\xE2\x80\x99");  // U+2019, the report's own quote
    } else {
      shown.push_back(static_cast<char>(0xC0 | (c >> 6)));
      shown.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

// The title on the error stream, with its line end, in one write.
void write_title(std::string_view title) {
  static std::string shown;
  shown.clear();
  append_console_text(shown, title, utf8_console);
  shown.push_back('\n');
  std::fwrite(shown.data(), 1, shown.size(), stderr);
}

// A stretch of a batch's text.
struct Span {
  size_t at = 0;
  size_t size = 0;
};

// One song record as read from the report, before anything shows: its
// texts lie in its batch's text, its stanzas, if cut, in the batch's
// stanzas.
struct Record {
  enum Kind {
    end_of_report,  // nothing left: the line where a record begins is missing
    empty_line,     // the line where a record begins is empty
    song,
  } kind = end_of_report;
  bool strange_heading = false;  // the first line is not "Schedule Detail"
  bool damaged = false;          // the second line does not begin with "for "
  bool cut_off = false;          // the report ends inside the record
  bool copyright_blank = false;  // the copyright line begins with a space
  Span name;                     // the schedule name from the "for " line
  Span title, author, copyright, number;
  Span lyrics;  // the lyrics' lines; empty when passed over or cut
  bool cut = false;  // the lyrics are cut into stanzas already:
  size_t first_stanza = 0, stanza_count = 0;  // in the batch's stanzas
};

// Records in the order read, their texts written one after another into
// one buffer, which a reader in another thread goes through front to back.
// Records read ahead travel in batches, so that the two threads meet once
// per batch rather than once per record.
struct alignas(64) Batch {
  static constexpr size_t most_records = 64;
  static constexpr size_t most_bytes = 256 * 1024;
  static constexpr size_t least_bytes = 16 * 1024;

  std::string text;
  std::vector<Record> records;
  std::vector<CutStanza> stanzas;

  void clear() {
    // A batch that held a huge record gives its memory back.
    if (text.capacity() > 4 * most_bytes) std::string().swap(text);
    if (stanzas.capacity() * sizeof(CutStanza) > 4 * most_bytes)
      std::vector<CutStanza>().swap(stanzas);
    text.clear();
    records.clear();
    stanzas.clear();
  }
  std::string_view view(Span span) const {
    return std::string_view(text).substr(span.at, span.size);
  }
};

// Reads the next song record of `in` into `record`, its texts into
// `batch`; false at the end of the report. With `separator`, the lyrics are
// cut into stanzas that it joins their lines with. Touches nothing but its
// arguments, so that another thread can run it.
//
// The record's lines are looked at where next_line and append_line show
// them, in the report's decoded block, while they are at hand there.
bool read_fields(Report& in, Batch& batch, const std::string* separator, Record& record) {
  std::string& text = batch.text;
  std::string_view line;  // the text of the line read last
  static thread_local std::string spill;  // a line that the decoded block cuts off
  // Puts `part` into the batch's text, as `span`.
  auto keep = [&](Span& span, std::string_view part) {
    span.at = text.size();
    span.size = part.size();
    text.append(part);
  };
  auto read = [&](Span& span) {
    bool more = next_line(in, spill, line);
    keep(span, line);
    return more;
  };

  if (!next_line(in, spill, line)) return false;
  if (line.empty()) {
    record.kind = Record::empty_line;
    return true;
  }
  record.kind = Record::song;
  record.strange_heading = !same_bytes(line, heading);

  next_line(in, spill, line);
  record.damaged = !same_bytes(line.substr(0, name_prefix.size()), name_prefix);
  keep(record.name, schedule_name(line));

  read(record.title);
  // The block that shows the title may be read again before the first
  // lyrics line is compared with it.
  static thread_local std::string title;
  title.assign(line);
  // Slide shows in the schedule carry no lyrics of their own.
  bool passed_over = ends_with(title, ".ppt") || ends_with(title, ".pptx");

  // The lyrics run to the end marker; they are read straight into the
  // batch's text, or, to be cut, into a text of this thread's own. A line
  // that begins at the end of the file is never a lyrics line, so a cut-off
  // record ends there.
  static thread_local std::string to_cut;
  to_cut.clear();
  std::string& lines = separator ? to_cut : text;
  const size_t lyrics = lines.size();
  Span span;
  auto read_lyrics = [&] {
    span.at = lines.size();
    return append_line(in, lines, line);
  };
  bool more = read_lyrics();
  if (same_bytes(line, title)) passed_over = true;
  if (same_bytes(line, end_of_lyrics)) {
    lines.resize(lyrics);
  } else {
    if (more) lines.push_back('\n');
    while (more) {
      if (append_lines(in, lines, end_of_lyrics)) break;
      more = read_lyrics();
      if (same_bytes(line, end_of_lyrics)) {
        lines.resize(span.at);
        break;
      }
      if (more) lines.push_back('\n');
    }
    record.cut_off = !more;
    if (lines.size() > lyrics) lines.pop_back();
  }
  if (passed_over) {
    lines.resize(lyrics);
  } else if (separator) {
    record.cut = true;
    record.first_stanza = batch.stanzas.size();
    cut_stanzas(to_cut, *separator, text, batch.stanzas);
    record.stanza_count = batch.stanzas.size() - record.first_stanza;
  }
  record.lyrics = {lyrics, separator ? 0 : lines.size() - lyrics};

  next_line(in, spill, line);
  keep(record.author, line.substr(0, line.find_last_not_of(' ') + 1));  // no trailing spaces
  read(record.copyright);
  record.copyright_blank = !line.empty() && line[0] == ' ';
  read(record.number);
  // Texts of this thread's own give back what a huge record made them take.
  for (std::string* own : {&spill, &title, &to_cut})
    if (own->capacity() > 4 * Batch::most_bytes) std::string().swap(*own);
  return true;
}

// Reads the next song record of `in` into `batch` as read_fields does. The
// record is put together here and copied into the batch whole.
bool read_record(Report& in, Batch& batch, const std::string* separator = nullptr) {
  Record record;
  bool more = read_fields(in, batch, separator, record);
  batch.records.push_back(record);
  return more;
}

// The thread that reads a report ahead, and the batches it fills in turn:
// batch k goes to batches[k % batch_count]. The reading thread fills batch
// `produced` once get_song has given back enough of the earlier ones;
// get_song takes records from batch `reading`, and gives a batch back when
// it has taken all its records and the current lyrics lie elsewhere.
struct SongReader {
  static constexpr size_t none = SIZE_MAX;
  static constexpr size_t batch_count = 4;

  Report* in = nullptr;
  size_t size = 0;        // the report's size when reading began
  std::string separator;  // the Line separator, for cutting stanzas
  std::mutex lock;  // guards nothing but the waits on `changed`
  std::condition_variable changed;
  Batch batches[batch_count];
  Batch staging;  // the batch the reading thread fills before it is copied
  std::exception_ptr failure;  // set before `done`
  std::thread thread;
  std::atomic<bool> stop{false};  // the reading thread is to stop
  // The reading thread's counts and get_song's keep cache lines of their
  // own: each is written once per batch, read by the other thread often.
  alignas(64) std::atomic<size_t> produced{0};
  std::atomic<bool> done{false};  // the reading thread has read its last record
  alignas(64) std::atomic<size_t> consumed{0};  // the first batch not given back
  size_t reading = 0;     // the batch get_song takes records from
  bool holding = false;   // get_song has taken records from it
  size_t next = 0;        // the next record of that batch
  size_t lyrics = none;   // the batch the current lyrics lie in

  SongReader() = default;
  SongReader(const SongReader&) = delete;
  SongReader& operator=(const SongReader&) = delete;
  ~SongReader();
};

std::unique_ptr<SongReader> reader;
// Records read as asked, where nothing reads ahead: each is read into the
// batch that does not hold the current lyrics.
Batch own_batches[2];
int own_lyrics = -1;  // the one that holds them
const Report* read_as_asked = nullptr;  // the report found not to be read ahead
const Record no_record;                 // what is left after the end of the report

// Whether a second thread may read the report ahead: only a regular file,
// which never waits for a writer, so that the thread can always be
// stopped. Its size goes to `size`.
bool may_read_ahead(FILE* file, size_t& size) {
#if defined(_WIN32)
  (void)file;
  (void)size;
  return false;
#else
  struct stat info;
  int fd = fileno(file);
  if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  size = static_cast<size_t>(info.st_size);
  return true;
#endif
}

// Wakes a thread that waits on `changed` after a count or flag changed.
// Taking the lock first means a thread that has just found nothing to do
// is already waiting, so the wake-up is not lost.
void wake(SongReader& r) {
  { std::lock_guard<std::mutex> hold(r.lock); }
  r.changed.notify_all();
}

// Waits until `ready` holds. Waking a sleeping thread takes longer than a
// short wait, so the waiter first watches the counts for a few thousand
// pauses (some tens of microseconds); no longer, since the other thread
// may be waiting for the same processor.
template <typename Ready>
void wait_for(SongReader& r, Ready ready) {
  for (int turn = 0; turn < 2000; ++turn) {
    if (ready()) return;
#if defined(__SSE2__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
  }
  std::unique_lock<std::mutex> hold(r.lock);
  r.changed.wait(hold, ready);
}

// The reading thread. It fills each batch in a batch of its own first and
// then copies it whole into the batch the song loop will read: writing
// piece by piece into memory that the other thread read last waits for the
// other processor at every cache line, a single copy much less.
void read_ahead(SongReader& r) {
  try {
    for (size_t k = 0;; ++k) {
      Batch& staging = r.staging;
      staging.clear();
      // Cutting the stanzas is work that either thread can do. While the
      // song loop is behind, so that every batch but one waits for it, this
      // thread cuts them; else the song loop does.
      const size_t waiting = k - r.consumed.load(std::memory_order_acquire);
      const bool cut = stanza_sharing == StanzaSharing::reader_cuts ||
                       (stanza_sharing == StanzaSharing::adaptive &&
                        waiting + 1 >= SongReader::batch_count);
      // Batches are small where the report begins and where it ends, so
      // that the song loop starts soon and has little left to do alone
      // once the reading is done.
      const size_t left = r.size > r.in->bytes_read ? r.size - r.in->bytes_read : 0;
      const size_t bytes = std::clamp(std::min(left / 8, Batch::least_bytes << std::min<size_t>(k, 8)),
                                      Batch::least_bytes, Batch::most_bytes);
      bool more = true;
      while (more && staging.records.size() < Batch::most_records && staging.text.size() < bytes)
        more = read_record(*r.in, staging, cut ? &r.separator : nullptr);
      wait_for(r, [&] {
        return r.stop.load(std::memory_order_acquire) ||
               k - r.consumed.load(std::memory_order_acquire) < SongReader::batch_count;
      });
      if (r.stop.load(std::memory_order_acquire)) return;
      Batch& batch = r.batches[k % SongReader::batch_count];
      batch.clear();
      batch.text.assign(staging.text);
      batch.records.assign(staging.records.begin(), staging.records.end());
      batch.stanzas.assign(staging.stanzas.begin(), staging.stanzas.end());
      r.produced.store(k + 1, std::memory_order_release);
      if (!more) r.done.store(true, std::memory_order_release);
      wake(r);
      if (!more) return;
    }
  } catch (...) {
    r.failure = std::current_exception();
    r.done.store(true, std::memory_order_release);
    wake(r);
  }
}

SongReader::~SongReader() {
  if (!thread.joinable()) return;
  stop.store(true, std::memory_order_release);
  wake(*this);
  thread.join();
}

void stop_reading_ahead() {
  if (!reader) return;
  settle_views();  // slots may show texts of the batches
  reader->in->stop_reading = nullptr;
  if (reader->lyrics != SongReader::none) set_lyrics("");  // they go with the batches
  reader.reset();
}

// Starts reading `in` ahead, unless no thread is to be had.
void start_reading_ahead(Report& in, size_t size) {
  auto r = std::make_unique<SongReader>();
  r->in = &in;
  r->size = size;
  r->separator = slot_text(separator_slot);
  try {
    r->thread = std::thread(read_ahead, std::ref(*r));
  } catch (const std::system_error&) {
    return;  // the report is read as asked instead
  }
  reader = std::move(r);
  in.stop_reading = stop_reading_ahead;
}

// Gives back to the reading thread the batches that neither get_song nor
// the current lyrics use any more.
void give_back(SongReader& r) {
  size_t in_use = std::min(r.reading, r.lyrics);
  if (in_use <= r.consumed.load(std::memory_order_relaxed)) return;
  settle_views();  // slots may show texts of the batches given back
  r.consumed.store(in_use, std::memory_order_release);
  wake(r);
}

// The next record from the reading thread, and in `batch` the batch that
// holds it.
const Record& take_record(SongReader& r, const Batch*& batch) {
  size_t k = r.reading;
  if (r.holding) {
    batch = &r.batches[k % SongReader::batch_count];
    if (r.next < batch->records.size()) return batch->records[r.next++];
    r.holding = false;
    r.reading = ++k;
    give_back(r);
  }
  wait_for(r, [&] {
    return r.produced.load(std::memory_order_acquire) > k || r.done.load(std::memory_order_acquire);
  });
  if (r.produced.load(std::memory_order_acquire) == k) {
    if (r.failure) std::rethrow_exception(r.failure);
    return no_record;
  }
  r.holding = true;
  r.next = 1;
  batch = &r.batches[k % SongReader::batch_count];
  return batch->records[0];
}

// The next song record of `in`, read ahead where it may be.
const Record& next_record(Report& in, const Batch*& batch) {
  if (reader && reader->in != &in) stop_reading_ahead();
  if (!reader && &in != read_as_asked) {
    size_t size = 0;
    if (may_read_ahead(in.file, size)) start_reading_ahead(in, size);
    if (!reader) read_as_asked = &in;  // asked once, not for every record
  }
  if (reader) return take_record(*reader, batch);
  Batch& own = own_batches[own_lyrics == 0 ? 1 : 0];
  settle_views();  // slots may show texts of the batch read into
  own.clear();
  read_record(in, own);
  batch = &own;
  return own.records[0];
}

// Makes the lyrics of `record`, in `batch`, the current ones, and keeps
// the batch until other lyrics replace them.
void take_lyrics(const Record& record, const Batch& batch) {
  if (record.cut)
    songbuf = {batch.text, true, batch.stanzas.data() + record.first_stanza, record.stanza_count};
  else
    songbuf = {batch.view(record.lyrics), false, nullptr, 0};
  sbp = 0;
  const bool some = !songbuf.empty();
  if (reader) {
    reader->lyrics = some ? reader->reading : SongReader::none;
    give_back(*reader);
  } else {
    own_lyrics = some ? static_cast<int>(&batch - own_batches) : -1;
  }
}

}  // namespace

StanzaSharing stanza_sharing = StanzaSharing::adaptive;

void clear_song() {
  stop_reading_ahead();
  read_as_asked = nullptr;
  set_lyrics("");
  own_lyrics = -1;
}

std::string console_text(std::string_view text, bool utf8) {
  std::string shown;
  append_console_text(shown, text, utf8);
  return shown;
}

bool get_song(Report& in) {
  const Batch* batch = nullptr;
  const Record& record = next_record(in, batch);
  if (record.kind != Record::song) return false;
  if (record.strange_heading) warn("Warning: this doesn't look like Schedule output.\n");
  if (record.damaged) warn("Warning: this output looks damaged.\n");
  // The slots show the record's texts where its batch holds them, which
  // stays until the batch is given back. Report lines hold no zero byte:
  // the reader cuts them there.
  auto show = [&](int slot, Span span) {
    std::string_view text = batch->view(span);
    store_view(slot, text, find_byte(text.data(), text.size(), '%') == text.size());
  };
  show(schedule_name_slot, record.name);
  show(title_slot, record.title);
  const std::string_view title = slot_view(title_slot);
  const bool named = !title.empty();
  write_title(title);
  if (record.cut_off) warn("Warning: the report ends inside a song record.\n");

  show(author_slot, record.author);
  show(copyright_slot, record.copyright);
  if (record.copyright_blank)
    store_text(label_slot, "", true);
  else
    store_text(label_slot, slot_text(label_text_slot), false);
  show(number_slot, record.number);

  take_lyrics(record, *batch);
  return named;
}

}  // namespace lyricrtf
