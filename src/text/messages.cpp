#include "text/messages.h"

namespace lyricrtf {

void Messages::title(PaddedView title, bool utf8) {
  const auto now = std::chrono::steady_clock::now();
  if (size_ == 0) since_ = now;
  const size_t needed = size_ + title.size() + 1;
  if (waiting_.size() < needed + room_past_text) waiting_.resize(needed + room_past_text);
  copy_with_room(waiting_.data() + size_, title);
  size_ += title.size();
  waiting_[size_++] = '\n';
  utf8_ = utf8;
  if (at_once || size_ >= most_waiting || now - since_ >= longest_wait) flush();
}

void Messages::warning(std::string_view line) {
  flush();
  if (sink) sink(line, Said::words);
}

void Messages::flush() {
  if (size_ == 0) return;
  if (sink) sink({waiting_.data(), size_}, utf8_ ? Said::title_utf8 : Said::title_codes);
  size_ = 0;
}

}  // namespace lyricrtf
