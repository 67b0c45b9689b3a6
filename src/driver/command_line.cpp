#include "driver/command_line.h"

#include <string_view>

#include "driver/terminal.h"
#include "text/bytes.h"

namespace lyricrtf {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Reads one line of any length; only a real line end is removed. Returns
// false when the input ended before anything was read.
bool read_line(FILE* in, std::string& line) {
  bool ended;
  if (read_console_line(in, line, ended)) return !ended;
  line.clear();
  int c = std::getc(in);
  if (c == EOF) return false;
  for (; c != EOF && c != '\n'; c = std::getc(in)) line.push_back(static_cast<char>(c));
  return true;
}

// A path's file name, without a final ".exe" (ASCII case ignored).
std::string_view program_name(std::string_view path, const Platform& platform) {
  const size_t folder = path.find_last_of(platform.separator == '\\' ? "\\/:" : "/");
  if (folder != std::string_view::npos) path.remove_prefix(folder + 1);
  constexpr std::string_view exe = ".exe";
  if (path.size() > exe.size() && same_name(path.substr(path.size() - exe.size()), exe))
    path.remove_suffix(exe.size());
  return path;
}

}  // namespace

bool names_program(const std::string& word, const std::string& program, const Platform& platform) {
  const std::string_view name = program_name(word, platform);
  const std::string_view own = program_name(program, platform);
  return same_name(name, "lyricrtf") || (!own.empty() && same_name(name, own));
}

std::vector<std::string> split_command_line(
    std::string text, const std::function<bool(std::string&)>& continuation) {
  std::vector<std::string> words;
  size_t i = 0;
  for (;;) {
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i == text.size()) return words;
    char c = text[i];
    if (c == '\'' || c == '"') {
      size_t close = text.find(c, i + 1);
      if (close == std::string::npos) close = text.size();
      words.push_back(text.substr(i + 1, close - i - 1));
      i = close < text.size() ? close + 1 : close;
    } else if (c == '\\' && i + 1 == text.size()) {
      // The next line takes the backslash's place.
      text.resize(i);
      std::string more;
      if (!continuation(more)) return words;
      text += more;
    } else {
      size_t end = i;
      while (end < text.size() && !is_blank(text[end])) ++end;
      words.push_back(text.substr(i, end - i));
      i = end < text.size() ? end + 1 : end;
    }
  }
}

int interactive(const char* program, FILE* in, FILE* out, const Platform& platform) {
  std::fputs("Enter command : ", out);
  std::fflush(out);
  std::string line;
  read_line(in, line);  // an input that has ended counts as an empty line
  std::vector<std::string> words = split_command_line(line, [&](std::string& more) {
    std::fputs("Continue command line: \n", out);
    std::fflush(out);
    return read_line(in, more);
  });
  // The usage line begins with the program's name: a line typed as it
  // shows runs as if the name were not there.
  const std::string program_path = program ? program : "";
  if (!words.empty() && names_program(words[0], program_path, platform)) words.erase(words.begin());

  std::vector<char*> args;
  args.reserve(words.size() + 2);
  args.push_back(const_cast<char*>(program_path.c_str()));
  for (std::string& word : words) args.push_back(word.data());
  args.push_back(nullptr);

  std::fputs("\nProgram Starting\n\n", out);
  std::fflush(out);
  int code = _main(static_cast<int>(args.size()) - 1, args.data(), platform);
  wait_for_return(in, out);
  return code;
}

void wait_for_return(FILE* in, FILE* out) {
  std::fputs("\nProgram Complete\n(hit return to exit)...", out);
  std::fflush(out);
  std::getc(in);  // an ended input ends the wait at once
}

}  // namespace lyricrtf
