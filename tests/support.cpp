#include "support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/driver.h"
#include "report/reader.h"
#include "template/expander.h"
#include "template/store.h"

namespace test {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void write_file(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

FILE* input_stream(std::string_view bytes) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "lyricrtf-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  root_ = pattern;
}

TempDir::~TempDir() { std::filesystem::remove_all(root_); }

std::string TempDir::path(std::string_view name) const { return root_ + "/" + std::string(name); }

std::string expand(std::string_view template_file, std::string_view report, std::string* err,
                   bool in_memory) {
  lyricrtf::init();
  FILE* templates = input_stream(template_file);
  lyricrtf::get_template(templates);
  std::fclose(templates);

  // fmemopen cannot open an empty buffer: an empty report is always a file.
  FILE* report_file = in_memory && !report.empty()
                          ? fmemopen(const_cast<char*>(report.data()), report.size(), "rb")
                          : input_stream(report);
  char* buffer = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&buffer, &size);
  lyricrtf::Report in(report_file);
  if (err) testing::internal::CaptureStderr();
  lyricrtf::put_schedule(out, in);
  if (err) *err = testing::internal::GetCapturedStderr();
  std::fclose(out);
  std::fclose(report_file);
  std::string result(buffer, size);
  std::free(buffer);
  return result;
}

Run run_program(const std::vector<std::string>& args, const std::string& cwd,
                std::string_view input) {
  TempDir io;
  write_file(io.path("in"), input);
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(io.path("in").c_str(), O_RDONLY);
    int out = open(io.path("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(io.path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (chdir(cwd.c_str()) != 0) _exit(127);
    std::vector<char*> argv;
    std::string program = binary();
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return {code, read_file(io.path("out")), read_file(io.path("err"))};
}

Run run_main(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> copies;
  copies.push_back(program);
  copies.insert(copies.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  testing::internal::CaptureStderr();
  int code = lyricrtf::_main(static_cast<int>(copies.size()), argv.data());
  return {code, "", testing::internal::GetCapturedStderr()};
}

std::string binary() { return LYRICRTF_BINARY; }

std::string sample() { return LYRICRTF_SAMPLE; }

std::string data(std::string_view name) { return std::string(LYRICRTF_TEST_DATA) + "/" + std::string(name); }

}  // namespace test
