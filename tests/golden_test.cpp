// Runs every golden case in tests/cases: a conversion (or an interactive
// start) in a fresh folder, checked byte for byte. A case file NAME.case has
// header lines, then sections:
//
//   # a comment               args -c t.dat r.txt      (words; '' is empty)
//   code 12                   program bin/lyricrtf     (argument 0)
//   platform windows          absent out.rtf           (must not exist)
//   (else the POSIX rules)
//   only posix                (skipped on other platforms)
//   === FILE                  a file written before the run
//   === expect FILE           a file the run must leave, with these bytes
//   === stdin                 typed at the interactive start (else none)
//   === stdout / === stderr   the streams, exactly (absent: empty)
//   === stderr begins         the error stream's beginning
//
// A section runs to the next line that begins "=== "; the line feed before
// that line is not part of it. "\xHH" stands for the byte HH, in the
// sections, their names and the arguments. On Windows an
// expected file is compared as text mode writes it, each LF as CR LF.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/driver.h"
#include "template/store.h"
#include "text/console.h"

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string unescape(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size() && isxdigit(text[i + 2]) && isxdigit(text[i + 3])) {
      bytes.push_back(static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)));
      i += 3;
    } else {
      bytes.push_back(text[i]);
    }
  }
  return bytes;
}

// What a file written in text mode holds: on Windows every line feed
// reaches the file as CR LF.
std::string as_written(const std::string& bytes) {
  if (!lyricrtf::native.slash_options) return bytes;
  std::string written;
  for (char c : bytes) written += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return written;
}

struct Case {
  std::vector<std::string> args;
  std::string program = "bin/lyricrtf";
  int code = 0;
  lyricrtf::Platform platform = lyricrtf::posix;
  bool skipped = false;
  std::vector<std::string> absent;
  std::map<std::string, std::string> sections;  // by their "=== " line
};

Case parse(const std::string& file) {
  Case c;
  std::istringstream in(file);
  std::string line, name;
  while (std::getline(in, line) && line.rfind("=== ", 0) != 0) {
    std::istringstream words(line);
    std::string key, word;
    words >> key;
    if (key == "args")
      while (words >> word) c.args.push_back(word == "''" ? "" : unescape(word));
    if (key == "program") words >> c.program;
    if (key == "code") words >> c.code;
    if (key == "platform") c.platform = line == "platform windows" ? lyricrtf::windows : lyricrtf::posix;
    if (key == "only") c.skipped = line != (lyricrtf::native.slash_options ? "only windows" : "only posix");
    if (key == "absent") words >> c.absent.emplace_back();
  }
  while (in && line.rfind("=== ", 0) == 0) {
    name = unescape(line.substr(4));
    std::string body;
    while (std::getline(in, line) && line.rfind("=== ", 0) != 0) body += line + "\n";
    if (!body.empty()) body.pop_back();
    c.sections[name] = unescape(body);
  }
  return c;
}

// Runs the case in `dir`; returns the exit code and the two streams.
int run(const Case& c, const fs::path& dir, std::string& out, std::string& err) {
  for (const auto& [name, bytes] : c.sections) {
    if (name.rfind("expect ", 0) == 0 || name.rfind("std", 0) == 0) continue;  // not an input
    fs::create_directories((dir / name).parent_path());
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  const fs::path previous = fs::current_path();
  fs::current_path(dir);
  std::vector<std::string> words = {c.program};
  words.insert(words.end(), c.args.begin(), c.args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  testing::internal::CaptureStderr();
  int code;
  auto typed = c.sections.find("stdin");
  if (typed == c.sections.end()) {
    code = lyricrtf::_main(static_cast<int>(words.size()), argv.data(), c.platform);
  } else {
    FILE* in = std::tmpfile();
    FILE* shown = std::tmpfile();
    std::fwrite(typed->second.data(), 1, typed->second.size(), in);
    std::rewind(in);
    code = lyricrtf::interactive(c.program.c_str(), in, shown, c.platform);
    std::rewind(shown);
    for (int ch; (ch = std::getc(shown)) != EOF;) out.push_back(static_cast<char>(ch));
    std::fclose(in);
    std::fclose(shown);
  }
  err = testing::internal::GetCapturedStderr();
  // Without a format, titles reach a redirected stream as their 8-bit
  // codes on Windows; the cases show them as on POSIX, in UTF-8.
  if (lyricrtf::native.slash_options && lyricrtf::format == lyricrtf::Format::none)
    err = lyricrtf::console_text(err, true);
  fs::current_path(previous);
  return code;
}

TEST(Golden, EveryCase) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(LYRICRTF_CASES)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_GT(files.size(), 20u);
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const Case c = parse(read_file(file));
    if (c.skipped) continue;
    const fs::path dir = fs::temp_directory_path() / ("lyricrtf-" + file.stem().string());
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string out, err;
    EXPECT_EQ(run(c, dir, out, err), c.code);
    auto section = [&](const std::string& name) {
      auto found = c.sections.find(name);
      return found == c.sections.end() ? std::string() : found->second;
    };
    EXPECT_EQ(out, section("stdout"));
    if (c.sections.count("stderr begins"))
      EXPECT_EQ(err.substr(0, section("stderr begins").size()), section("stderr begins"));
    else
      EXPECT_EQ(err, section("stderr"));
    for (const auto& [name, bytes] : c.sections)
      if (name.rfind("expect ", 0) == 0) {
        EXPECT_TRUE(fs::exists(dir / name.substr(7))) << name;
        EXPECT_EQ(read_file(dir / name.substr(7)), as_written(bytes)) << name;
      }
    for (const std::string& name : c.absent) EXPECT_FALSE(fs::exists(dir / name)) << name;
    fs::remove_all(dir);
  }
}

}  // namespace
