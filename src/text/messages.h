// What a conversion says as it goes: each song's title as it is read, and
// warnings. The engine writes them here only; the driver says where they
// go (the console, the web page), and a test may keep them as a value.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "text/bytes.h"

namespace lyricrtf {

// What a piece of the messages holds.
enum class Said {
  words,        // warnings, in the program's own words
  title_codes,  // song titles as 8-bit codes
  title_utf8,   // song titles in UTF-8 (a declared format)
};

class Messages {
 public:
  // Where the messages go: the driver's. Without one they go nowhere.
  using Sink = std::function<void(std::string_view text, Said said)>;
  Sink sink;
  // Whether each title goes at once, as a terminal shows progress. Else
  // titles wait, up to 64 KiB or a tenth of a second, and go together: a
  // write for each is a call to the system (in the web edition, a message
  // to the page) for each song.
  bool at_once = true;

  // A song's title, on a line of its own.
  void title(PaddedView title, bool utf8);
  // A warning line, with its line end; the titles before it go first.
  void warning(std::string_view line);
  // Sends the titles waiting.
  void flush();
  // Sends the titles waiting once the first of them has waited long
  // enough: a conversion calls it now and then as it goes, so that a title
  // is seen while a song's template runs long.
  void tick() {
    if (size_ > 0 && std::chrono::steady_clock::now() - since_ >= longest_wait) flush();
  }

 private:
  // The most titles may wait: far less than a person notices, far more
  // than a conversion takes for a song.
  static constexpr std::chrono::milliseconds longest_wait{100};
  static constexpr size_t most_waiting = 64 * 1024;
  std::string waiting_;  // waiting_[0, size_) waits; it only grows
  size_t size_ = 0;
  bool utf8_ = false;                            // what waits is UTF-8
  std::chrono::steady_clock::time_point since_;  // when the first of them came
};

}  // namespace lyricrtf
