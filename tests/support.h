// Helpers shared by the tests: files, in-memory runs of the readers and the
// expander, and runs of the built program.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace test {

constexpr std::string_view bom = "\xEF\xBB\xBF";

std::string read_file(const std::string& path);
void write_file(const std::string& path, std::string_view bytes);
bool file_exists(const std::string& path);

// A stream that reads `bytes`; closed by the caller.
FILE* input_stream(std::string_view bytes);

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path(std::string_view name) const;
  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

// Reads `template_file` into the slots, then expands the Schedule template
// over `report` (which starts after the byte-order mark). Returns the
// output; the error stream goes to `err` when it is given. The report is a
// file, which is read ahead in a second thread, or with `in_memory` (and
// not empty) a stream in memory, which is read as asked.
std::string expand(std::string_view template_file, std::string_view report = "",
                   std::string* err = nullptr, bool in_memory = false);

struct Run {
  int code;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs the built program with `args` in directory `cwd`, feeding `input` to
// its standard input. With no `args`, argument 0 is all it gets.
Run run_program(const std::vector<std::string>& args, const std::string& cwd,
                std::string_view input = "");

// Runs `_main` in this process with argument 0 `program` and `args`.
Run run_main(const std::string& program, const std::vector<std::string>& args);

std::string binary();
std::string sample();  // the sample schedule in examples/
std::string data(std::string_view name);

}  // namespace test
