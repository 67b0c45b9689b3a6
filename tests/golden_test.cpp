// Runs golden cases from tests/cases: conversions (or interactive starts)
// in a fresh folder, checked byte for byte. Given case files, or a folder
// of them, it registers one test for each file.
//
// A case file NAME.case holds one run or several. A run has header lines,
// then sections:
//
//   # a comment               args -c t.dat r.txt      (words; '' is empty)
//   code 12                   program bin/lyricrtf     (argument 0)
//   platform windows          absent out.rtf           (must not exist)
//   (else the POSIX rules)    unchanged out.rtf        (the same bytes after)
//   only posix                (the whole case is skipped on other platforms)
//   === FILE                  a file written before the run
//   === expect FILE           a file the run must leave, with these bytes
//   === stdin                 typed at the interactive start (else none)
//   === stdout / === stderr   the streams, exactly (absent: empty)
//   === then                  the next run's header lines follow
//
// Every run of a case works in the same folder, so a run finds what the
// runs before it left. A section runs to the next line that begins
// "=== "; the line feed before that line is not part of it. Inside a
// section, the lines between "=== N times" and "=== end times" stand
// there N times. "\xHH" stands for the byte HH, and "\xHH{N}" for N of
// them, in the sections, their names and the arguments. On Windows an
// expected file is compared as text mode writes it, each LF as CR LF.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/driver.h"
#include "driver/terminal.h"

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// "\xHH" as the byte HH, and "\xHH{N}" as N of them.
std::string unescape(const std::string& text) {
  static const std::regex escaped(R"(\\x([0-9A-Fa-f]{2})(\{([0-9]+)\})?)");
  std::string bytes;
  auto at = text.cbegin();
  for (std::sregex_iterator m(text.begin(), text.end(), escaped), end; m != end; ++m) {
    bytes.append(at, (*m)[0].first);
    bytes.append((*m)[3].matched ? std::stoul((*m)[3]) : 1,
                 static_cast<char>(std::stoi((*m)[1], nullptr, 16)));
    at = (*m)[0].second;
  }
  return bytes.append(at, text.cend());
}

// What a file written in text mode holds: on Windows every line feed
// reaches the file as CR LF.
std::string as_written(const std::string& bytes) {
  if (!lyricrtf::native_is_windows) return bytes;
  std::string written;
  for (char c : bytes) written += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return written;
}

struct Step {
  std::vector<std::string> args;
  std::string program = "bin/lyricrtf";
  int code = 0;
  lyricrtf::Platform platform = lyricrtf::posix;
  std::vector<std::string> absent;
  std::vector<std::string> unchanged;
  std::map<std::string, std::string> sections;  // by their "=== " line
};

struct Case {
  std::vector<Step> runs;
  bool skipped = false;
};

Case parse(const std::string& file) {
  Case c;
  std::istringstream in(file);
  std::string line;
  bool more = static_cast<bool>(std::getline(in, line));
  while (more) {
    Step& run = c.runs.emplace_back();
    for (; more && line.rfind("=== ", 0) != 0; more = static_cast<bool>(std::getline(in, line))) {
      std::istringstream words(line);
      std::string key, word;
      words >> key;
      if (key == "args")
        while (words >> word) run.args.push_back(word == "''" ? "" : unescape(word));
      if (key == "program") words >> run.program;
      if (key == "code") words >> run.code;
      if (key == "platform") run.platform = line == "platform windows" ? lyricrtf::windows : lyricrtf::posix;
      if (key == "only")
        c.skipped = line != (lyricrtf::native_is_windows ? "only windows" : "only posix");
      if (key == "absent") words >> run.absent.emplace_back();
      if (key == "unchanged") words >> run.unchanged.emplace_back();
    }
    while (more && line.rfind("=== ", 0) == 0 && line != "=== then") {
      const std::string name = unescape(line.substr(4));
      std::string body, repeated;
      int times = 0;
      static const std::regex repeat("=== ([0-9]+) times");
      std::smatch count;
      while ((more = static_cast<bool>(std::getline(in, line)))) {
        if (line.rfind("=== ", 0) != 0) {
          (times ? repeated : body) += line + "\n";
        } else if (line == "=== end times") {
          for (; times > 0; --times) body += repeated;
        } else if (std::regex_match(line, count, repeat)) {
          times = std::stoi(count[1]);
          repeated.clear();
        } else {
          break;
        }
      }
      if (!body.empty()) body.pop_back();
      run.sections[name] = unescape(body);
    }
    if (more) more = static_cast<bool>(std::getline(in, line));  // past "=== then"
  }
  return c;
}

void write_inputs(const Step& r, const fs::path& dir) {
  for (const auto& [name, bytes] : r.sections) {
    if (name.rfind("expect ", 0) == 0 || name.rfind("std", 0) == 0) continue;  // not an input
    fs::create_directories((dir / name).parent_path());
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
}

// Runs `r` in `dir`; returns the exit code and the two streams.
int run(const Step& r, const fs::path& dir, std::string& out, std::string& err) {
  const fs::path previous = fs::current_path();
  fs::current_path(dir);
  std::vector<std::string> words = {r.program};
  words.insert(words.end(), r.args.begin(), r.args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  testing::internal::CaptureStderr();
  int code;
  auto typed = r.sections.find("stdin");
  if (typed == r.sections.end()) {
    code = lyricrtf::_main(static_cast<int>(words.size()), argv.data(), r.platform);
  } else {
    FILE* in = std::tmpfile();
    FILE* shown = std::tmpfile();
    std::fwrite(typed->second.data(), 1, typed->second.size(), in);
    std::rewind(in);
    code = lyricrtf::interactive(r.program.c_str(), in, shown, r.platform);
    std::rewind(shown);
    for (int ch; (ch = std::getc(shown)) != EOF;) out.push_back(static_cast<char>(ch));
    std::fclose(in);
    std::fclose(shown);
  }
  err = testing::internal::GetCapturedStderr();
  // Without a format, titles reach a redirected stream as their 8-bit
  // codes on Windows, which are no UTF-8 where they are not ASCII; the
  // cases show them as on POSIX, in UTF-8.
  if (lyricrtf::native_is_windows && lyricrtf::valid_utf8(err) != err)
    err = lyricrtf::console_text(err, true);
  fs::current_path(previous);
  return code;
}

class Golden : public testing::Test {
 public:
  explicit Golden(fs::path file) : file_(std::move(file)) {}

  void TestBody() override {
    const Case c = parse(read_file(file_));
    if (c.skipped) GTEST_SKIP() << "not on this platform";
    ASSERT_FALSE(c.runs.empty());
    const fs::path dir = fs::temp_directory_path() / ("lyricrtf-" + file_.stem().string());
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (size_t k = 0; k < c.runs.size(); ++k) {
      SCOPED_TRACE("run " + std::to_string(k + 1));
      const Step& r = c.runs[k];
      write_inputs(r, dir);
      std::map<std::string, std::string> before;  // files this case wrote, now or earlier
      for (const std::string& name : r.unchanged) before[name] = read_file(dir / name);
      std::string out, err;
      EXPECT_EQ(run(r, dir, out, err), r.code);
      for (const auto& [name, bytes] : before) EXPECT_EQ(read_file(dir / name), bytes) << name;
      EXPECT_EQ(out, r.sections.count("stdout") ? r.sections.at("stdout") : "");
      EXPECT_EQ(err, r.sections.count("stderr") ? r.sections.at("stderr") : "");
      for (const auto& [name, bytes] : r.sections)
        if (name.rfind("expect ", 0) == 0) {
          EXPECT_TRUE(fs::exists(dir / name.substr(7))) << name;
          EXPECT_EQ(read_file(dir / name.substr(7)), as_written(bytes)) << name;
        }
      for (const std::string& name : r.absent) EXPECT_FALSE(fs::exists(dir / name)) << name;
    }
    fs::remove_all(dir);
  }

 private:
  fs::path file_;
};

}  // namespace

// Arguments: case files, or folders whose .case files are all run.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!fs::is_directory(argv[i])) files.push_back(argv[i]);
    else
      for (const auto& entry : fs::directory_iterator(argv[i]))
        if (entry.path().extension() == ".case") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files)
    testing::RegisterTest("Golden", file.stem().string().c_str(), nullptr, nullptr, __FILE__, __LINE__,
                          [file]() -> testing::Test* { return new Golden(file); });
  return RUN_ALL_TESTS();
}
