#include "driver/terminal.h"

#include "text/characters.h"
#include "text/console.h"

#ifdef _WIN32
#include <io.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lyricrtf {

#ifndef _WIN32
std::string path_text(std::string_view path) { return valid_utf8(path); }
#else
std::string path_text(std::string_view path) {
  return code_page_text(code_page_wide(path, CP_ACP), CP_UTF8);
}

std::string code_page_text(std::wstring_view text, unsigned code_page) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int bytes =
      WideCharToMultiByte(code_page, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(code_page, 0, text.data(), size, converted.data(), bytes, nullptr, nullptr);
  return converted;
}

bool read_console_line(FILE* in, std::string& line, bool& ended) {
  HANDLE console = console_of(in);
  if (!console) return false;
  std::wstring typed;
  wchar_t chunk[256];
  DWORD count = 0;
  while (typed.find(L'\n') == std::wstring::npos &&
         ReadConsoleW(console, chunk, 256, &count, nullptr) && count > 0)
    typed.append(chunk, count);
  ended = typed.empty();
  typed = typed.substr(0, typed.find(L'\n'));
  if (!typed.empty() && typed.back() == L'\r') typed.pop_back();
  line = code_page_text(typed, CP_ACP);
  return true;
}

bool console_of_its_own() {
  DWORD processes[2];
  return console_of(stdin) && GetConsoleProcessList(processes, 2) == 1;
}
#endif

bool is_terminal(FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream));
#else
  return isatty(fileno(stream));
#endif
}

std::string locate_program(const std::string& program, const char* search_path) {
#ifdef _WIN32
  (void)search_path;
  if (program.find_first_of("\\/:") != std::string::npos) return program;
  std::wstring path(MAX_PATH, L'\0');
  DWORD size;
  while ((size = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
         path.size())
    path.resize(path.size() * 2);
  if (size == 0) return program;
  path.resize(size);
  return code_page_text(path, CP_ACP);
#else
  if (program.empty() || program.find('/') != std::string::npos || !search_path) return program;
  std::string_view rest = search_path;
  for (;;) {
    size_t colon = rest.find(':');
    std::string dir(rest.substr(0, colon));
    // An empty entry stands for the current directory.
    std::string candidate = dir.empty() ? program : dir + "/" + program;
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0)
      return candidate;
    if (colon == std::string_view::npos) return program;
    rest.remove_prefix(colon + 1);
  }
#endif
}

}  // namespace lyricrtf
