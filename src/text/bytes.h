// Byte helpers that every layer uses: names compared the way the template
// language compares them, ignoring the case of ASCII letters only, and texts
// with room after them, which are copied 64 bytes at a time.
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
// copy. Lyrics lines are of every length from 10 to 60 bytes, and a copy
// that tested the length took a mispredicted branch on one line in three.
inline void copy_with_room(char* to, PaddedView from) {
  struct Block {
    char bytes[64];
  };
  std::memcpy(to, from.data(), sizeof(Block));
  if (from.size() > sizeof(Block))
    std::memcpy(to + sizeof(Block), from.data() + sizeof(Block), from.size() - sizeof(Block));
}

}  // namespace lyricrtf
