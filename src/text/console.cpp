#include "text/console.h"

#include "text/characters.h"

#ifdef _WIN32
#include <io.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace lyricrtf {

void append_console_text(std::string& shown, std::string_view codes, bool utf8) {
  if (!utf8) {
    shown.append(codes);
    return;
  }
  // Written in place: a push for each byte took twice as long.
  const size_t at = shown.size();
  shown.resize(at + 3 * codes.size());  // a code takes three bytes at most
  char* to = shown.data() + at;
  for (char ch : codes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80)
      *to++ = ch;
    else
      to += put_utf8(to, code_character(c));
  }
  shown.resize(static_cast<size_t>(to - shown.data()));
}

std::string console_text(std::string_view codes, bool utf8) {
  std::string shown;
  append_console_text(shown, codes, utf8);
  return shown;
}

std::wstring wide_text(std::string_view codes) {
  std::wstring wide;
  wide.reserve(codes.size());
  for (char ch : codes)
    wide.push_back(static_cast<wchar_t>(code_character(static_cast<unsigned char>(ch))));
  return wide;
}

#ifndef _WIN32
std::string path_text(std::string_view path) { return valid_utf8(path); }
#endif

#ifdef _WIN32

namespace {

// The console behind a stream, or nullptr when it is a file or a pipe.
HANDLE console_of(FILE* stream) {
  auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// Text in a code page as wide characters.
std::wstring code_page_wide(std::string_view text, unsigned code_page) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), units);
  return wide;
}

}  // namespace

std::wstring utf8_wide(std::string_view text) { return code_page_wide(text, CP_UTF8); }

std::string path_text(std::string_view path) {
  return code_page_text(code_page_wide(path, CP_ACP), CP_UTF8);
}

bool write_console(std::string_view text, bool utf8) {
  HANDLE console = console_of(stderr);
  if (!console) return false;
  std::fflush(stderr);
  const std::wstring wide = utf8 ? utf8_wide(text) : wide_text(text);
  DWORD written;
  WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  return true;
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
