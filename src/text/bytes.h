// Byte helpers that every layer uses: names compared the way the template
// language compares them, ignoring the case of ASCII letters only, and texts
// with room after them, which are copied a block at a time.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
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

// Every text that the expander writes has this many bytes after its end
// that may be read (and are then written over), so that a short text is
// copied as one block of this size, and the SIMD steps may look at a whole
// block past any position of a text. Every fixed block size of the engine
// is tied to it by a static_assert where the block is used.
constexpr size_t room_past_text = 64;

// A block of room_past_text bytes: one move copies a short text whole.
struct Block {
  char bytes[room_past_text];
};

class PaddedString;
class PaddedBuffer;

// A text with room_past_text bytes after its end to read. Only the storage
// that keeps that room makes one (PaddedString, PaddedBuffer), so that a
// string literal cannot be copied a block at a time by mistake. A view
// stays valid as long as the storage holds its text.
class PaddedView {
 public:
  constexpr PaddedView() = default;  // the empty text

  constexpr const char* data() const { return data_; }
  constexpr size_t size() const { return size_; }
  constexpr bool empty() const { return size_ == 0; }
  constexpr std::string_view text() const { return {data_, size_}; }
  // A part keeps the room: the rest of the text, then the text's room.
  PaddedView substr(size_t at, size_t n) const {
    assert(at <= size_ && n <= size_ - at);
    return {data_ + at, n};
  }

 private:
  friend class PaddedString;
  friend class PaddedBuffer;
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
  // Room to write a text of up to n bytes at the returned place; the text
  // is then ended with resize().
  char* make_room(size_t n) {
    if (bytes_.size() < n + room_past_text) bytes_.resize(n + room_past_text);
    return bytes_.data();
  }
  void resize(size_t n) {
    assert(n + room_past_text <= bytes_.size());
    size_ = n;
  }
  PaddedView view() const { return {bytes_.data(), size_}; }

 private:
  std::string bytes_;
  size_t size_ = 0;
};

// Storage of a fixed capacity with room_past_text bytes past it, for
// texts written into it at any place: the report reader's window.
class PaddedBuffer {
 public:
  PaddedBuffer() = default;
  // The new bytes are zeros, so that the room is never read undefined.
  explicit PaddedBuffer(size_t capacity)
      : bytes_(new char[capacity + room_past_text]()), capacity_(capacity) {}

  char* data() { return bytes_.get(); }
  const char* data() const { return bytes_.get(); }
  size_t capacity() const { return capacity_; }

  // The text of n bytes at `at`; it must lie within the capacity.
  PaddedView view(size_t at, size_t n) const {
    assert(at <= capacity_ && n <= capacity_ - at);
    return {bytes_.get() + at, n};
  }

  // Views of the texts from `at` on: a value, read once, where a loop
  // that writes elsewhere makes many views (a compiler would otherwise
  // load the buffer's address again after each store).
  class From {
   public:
    PaddedView view(size_t at, size_t n) const {
      assert(at <= limit_ && n <= limit_ - at);
      return {base_ + at, n};
    }

   private:
    friend class PaddedBuffer;
    From(const char* base, size_t limit) : base_(base), limit_(limit) {}
    const char* base_;
    [[maybe_unused]] size_t limit_;  // for the checks of the debug and fuzz builds
  };
  From from(size_t at) const {
    assert(at <= capacity_);
    return {bytes_.get() + at, capacity_ - at};
  }

 private:
  std::unique_ptr<char[]> bytes_;
  size_t capacity_ = 0;
};

// Copies `from` to `to`, which has room for a Block past its start: a
// Block goes whatever the size is, and only a longer text takes a second
// copy. Lyrics lines are of every length below a Block, and a copy that
// tested the length would take a branch that no processor predicts for
// them (bench/README.md has the figures).
inline void copy_with_room(char* to, PaddedView from) {
  std::memcpy(to, from.data(), sizeof(Block));
  if (from.size() > sizeof(Block))
    std::memcpy(to + sizeof(Block), from.data() + sizeof(Block), from.size() - sizeof(Block));
}

}  // namespace lyricrtf
