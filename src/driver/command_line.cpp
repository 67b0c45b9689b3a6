#include "driver/command_line.h"

#include "driver/terminal.h"

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

}  // namespace

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

  std::string program_path = program ? program : "";
  std::vector<char*> args;
  args.reserve(words.size() + 2);
  args.push_back(program_path.data());
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
