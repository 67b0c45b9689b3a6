#include "driver/terminal.h"

#include "text/characters.h"
#include "text/console.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
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

}  // namespace lyricrtf
