// The interactive word splitter: the first line of the input is the typed
// line, the further lines answer the continuation prompts.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "driver/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  auto next_line = [&input](std::string& line) {
    if (input.empty()) return false;
    size_t end = input.find('\n');
    line.assign(input.substr(0, end));
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return true;
  };
  std::string first;
  next_line(first);
  size_t typed = first.size() + input.size();
  std::vector<std::string> words = lyricrtf::split_command_line(first, next_line);
  size_t total = 0;
  for (const std::string& word : words) total += word.size();
  if (total > typed) std::abort();  // words are cut from the typed text
  return 0;
}
