#include "report/songs.h"

#include <atomic>
#include <condition_variable>
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

#include "template/store.h"

namespace lyricrtf {

namespace {

constexpr std::string_view heading = "Schedule Detail";
constexpr std::string_view name_prefix = "for ";
constexpr std::string_view end_of_lyrics = " ";  // six spaces in the file

bool ends_with(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
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
  unsigned char high = 0;
  for (char ch : text) high |= static_cast<unsigned char>(ch);
  if (!utf8 || high < 0x80) {
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
void write_title(const std::string& title) {
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
// texts lie in its batch's text, its stanzas in the batch's cuts.
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
  Span lyrics;  // empty when the record is passed over
  size_t first_cut = 0, cut_count = 0;
  size_t first_feed = 0, feed_count = 0;
};

// Records in the order read, their texts written one after another into
// one buffer, which a reader in another thread goes through front to back.
// Records read ahead travel in batches, so that the two threads meet once
// per batch rather than once per record.
struct alignas(64) Batch {
  static constexpr size_t most_records = 64;
  static constexpr size_t most_bytes = 256 * 1024;

  std::string text;
  std::vector<Record> records;
  std::vector<Cut> cuts;
  std::vector<size_t> feeds;

  void clear() {
    // A batch that held a huge record gives its memory back.
    if (text.capacity() > 4 * most_bytes) std::string().swap(text);
    if (cuts.capacity() * sizeof(Cut) > 4 * most_bytes) std::vector<Cut>().swap(cuts);
    if (feeds.capacity() * sizeof(size_t) > 4 * most_bytes) std::vector<size_t>().swap(feeds);
    text.clear();
    records.clear();
    cuts.clear();
    feeds.clear();
  }
  std::string_view view(Span span) const {
    return std::string_view(text).substr(span.at, span.size);
  }
};

// Reads the next song record of `in` into `batch`; false at the end of the
// report. Touches nothing but its arguments, so that another thread can
// run it.
bool read_record(Report& in, Batch& batch) {
  std::string& text = batch.text;
  Record& record = batch.records.emplace_back();
  auto read = [&](Span& span) {
    span.at = text.size();
    bool more = append_line(in, text);
    span.size = text.size() - span.at;
    return more;
  };

  Span line;
  if (!read(line)) return false;
  if (line.size == 0) {
    record.kind = Record::empty_line;
    return true;
  }
  record.kind = Record::song;
  record.strange_heading = batch.view(line) != heading;

  read(line);
  std::string_view for_line = batch.view(line);
  record.damaged = for_line.compare(0, name_prefix.size(), name_prefix) != 0;
  std::string_view name = schedule_name(for_line);
  record.name = {line.at + static_cast<size_t>(name.data() - for_line.data()), name.size()};

  read(record.title);
  // Slide shows in the schedule carry no lyrics of their own.
  bool passed_over = ends_with(batch.view(record.title), ".ppt") ||
                     ends_with(batch.view(record.title), ".pptx");

  // The lyrics run to the end marker; they are read straight into the
  // batch's text, and the position of each line feed between their lines
  // is noted as it goes in, for cutting the stanzas. A line that begins at
  // the end of the file is never a lyrics line, so a cut-off record ends
  // there.
  const size_t lyrics = text.size();
  std::vector<size_t>& feeds = batch.feeds;
  record.first_feed = feeds.size();
  auto end_line = [&] {
    feeds.push_back(text.size());
    text.push_back('\n');
  };
  bool more = read(line);
  if (batch.view(line) == batch.view(record.title)) passed_over = true;
  if (batch.view(line) == end_of_lyrics) {
    text.resize(lyrics);
  } else {
    if (more) end_line();
    while (more) {
      if (append_lines(in, text, end_of_lyrics, &feeds)) break;
      size_t start = text.size();
      more = append_line(in, text);
      if (std::string_view(text).substr(start) == end_of_lyrics) {
        text.resize(start);
        break;
      }
      if (more) end_line();
    }
    record.cut_off = !more;
    if (text.size() > lyrics) {
      text.pop_back();
      feeds.pop_back();
    }
  }
  if (passed_over) feeds.resize(record.first_feed);
  record.lyrics = {lyrics, passed_over ? 0 : text.size() - lyrics};
  for (size_t k = record.first_feed; k < feeds.size(); ++k) feeds[k] -= lyrics;
  record.feed_count = feeds.size() - record.first_feed;

  read(record.author);
  record.author.size = batch.view(record.author).find_last_not_of(' ') + 1;
  read(record.copyright);
  record.copyright_blank = record.copyright.size > 0 && text[record.copyright.at] == ' ';
  read(record.number);

  record.first_cut = batch.cuts.size();
  cut_stanzas(batch.view(record.lyrics), feeds.data() + record.first_feed, record.feed_count,
              batch.cuts);
  record.cut_count = batch.cuts.size() - record.first_cut;
  return true;
}

// The thread that reads a report ahead, and the batches it fills in turn:
// batch k goes to batches[k % batch_count]. The reading thread fills batch
// `produced` once get_song has given back enough of the earlier ones;
// get_song takes records from batch `consumed` and gives it back when done.
struct SongReader {
  static constexpr size_t batch_count = 3;

  Report* in = nullptr;
  std::mutex lock;  // guards nothing but the waits on `changed`
  std::condition_variable changed;
  Batch batches[batch_count];
  std::exception_ptr failure;  // set before `done`
  std::thread thread;
  std::atomic<bool> stop{false};  // the reading thread is to stop
  // The reading thread's counts and get_song's keep cache lines of their
  // own: each is written once per batch, read by the other thread often.
  alignas(64) std::atomic<size_t> produced{0};
  std::atomic<bool> done{false};  // the reading thread has read its last record
  alignas(64) std::atomic<size_t> consumed{0};
  bool holding = false;  // get_song has taken records from batch `consumed`
  size_t next = 0;       // the next record of that batch

  SongReader() = default;
  SongReader(const SongReader&) = delete;
  SongReader& operator=(const SongReader&) = delete;
  ~SongReader();
};

std::unique_ptr<SongReader> reader;
Batch own_batch;          // the record read as asked, where nothing reads ahead
const Record no_record;  // what is left after the end of the report

// Whether a second thread may read the report ahead: only a regular file,
// which never waits for a writer, so that the thread can always be
// stopped.
bool may_read_ahead(FILE* file) {
#if defined(_WIN32)
  (void)file;
  return false;
#else
  struct stat info;
  int fd = fileno(file);
  return fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
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

void read_ahead(SongReader& r) {
  try {
    for (size_t k = 0;; ++k) {
      wait_for(r, [&] {
        return r.stop.load(std::memory_order_acquire) ||
               k - r.consumed.load(std::memory_order_acquire) < SongReader::batch_count;
      });
      if (r.stop.load(std::memory_order_acquire)) return;
      Batch& batch = r.batches[k % SongReader::batch_count];
      batch.clear();
      bool more = true;
      while (more && batch.records.size() < Batch::most_records &&
             batch.text.size() < Batch::most_bytes)
        more = read_record(*r.in, batch);
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
  reader->in->stop_reading = nullptr;
  reader.reset();
}

// Starts reading `in` ahead, unless no thread is to be had.
void start_reading_ahead(Report& in) {
  auto r = std::make_unique<SongReader>();
  r->in = &in;
  try {
    r->thread = std::thread(read_ahead, std::ref(*r));
  } catch (const std::system_error&) {
    return;  // the report is read as asked instead
  }
  reader = std::move(r);
  in.stop_reading = stop_reading_ahead;
}

// The next record from the reading thread, and in `batch` the batch that
// holds it.
const Record& take_record(SongReader& r, const Batch*& batch) {
  size_t k = r.consumed.load(std::memory_order_relaxed);
  if (r.holding) {
    batch = &r.batches[k % SongReader::batch_count];
    if (r.next < batch->records.size()) return batch->records[r.next++];
    // Done with this batch: the reading thread may fill it again.
    r.holding = false;
    r.consumed.store(++k, std::memory_order_release);
    wake(r);
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
  if (!reader && may_read_ahead(in.file)) start_reading_ahead(in);
  if (reader) return take_record(*reader, batch);
  own_batch.clear();
  read_record(in, own_batch);
  batch = &own_batch;
  return own_batch.records[0];
}

}  // namespace

void clear_song() {
  stop_reading_ahead();
  set_lyrics("");
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
  store_escape(schedule_name_slot, batch->view(record.name));
  store_escape(title_slot, batch->view(record.title));
  const std::string& title = *escape[title_slot];
  write_title(title);
  if (record.cut_off) warn("Warning: the report ends inside a song record.\n");

  store_escape(author_slot, batch->view(record.author));
  store_escape(copyright_slot, batch->view(record.copyright));
  if (record.copyright_blank)
    store_escape(label_slot, "");
  else
    store_escape(label_slot, *escape[label_text_slot]);
  store_escape(number_slot, batch->view(record.number));

  songbuf.assign(batch->view(record.lyrics));
  auto cuts = batch->cuts.begin() + static_cast<std::ptrdiff_t>(record.first_cut);
  stanzas.cuts.assign(cuts, cuts + static_cast<std::ptrdiff_t>(record.cut_count));
  auto feeds = batch->feeds.begin() + static_cast<std::ptrdiff_t>(record.first_feed);
  stanzas.feeds.assign(feeds, feeds + static_cast<std::ptrdiff_t>(record.feed_count));
  stanzas.next = 0;
  sbp = 0;
  return !title.empty();
}

}  // namespace lyricrtf
