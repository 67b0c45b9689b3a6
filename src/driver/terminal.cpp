#include "driver/terminal.h"

#include <cstring>

#include "text/characters.h"
#include "text/formats.h"

#ifdef _WIN32
#include <io.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lyricrtf {

std::string valid_utf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) append_utf8(text, next_utf8(bytes, i));
  return text;
}

char* put_console_text(char* to, std::string_view codes, bool utf8) {
  if (!utf8) {
    std::memcpy(to, codes.data(), codes.size());
    return to + codes.size();
  }
  for (char ch : codes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80)
      *to++ = ch;
    else
      to += put_utf8(to, code_character(c));
  }
  return to;
}

std::string console_text(std::string_view codes, bool utf8) {
  std::string shown(3 * codes.size(), '\0');
  shown.resize(static_cast<size_t>(put_console_text(shown.data(), codes, utf8) - shown.data()));
  return shown;
}

void append_formatted(std::string& to, std::string_view text, Format format) {
  PaddedString padded;
  padded.assign(text);
  const size_t at = to.size();
  to.resize(at + formatted_room(text.size()));
  const char* end = put_formatted(to.data() + at, padded.view(), format);
  to.resize(static_cast<size_t>(end - to.data()));
}

void show_titles(std::string_view titles, bool utf8) {
  if (write_console(titles, utf8)) return;
  if (utf8) {
    std::fwrite(titles.data(), 1, titles.size(), stderr);
  } else {
    const std::string shown = console_text(titles, utf8_console);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
  }
}

void show_words(std::string_view words) {
  if (!write_console(words, true)) std::fwrite(words.data(), 1, words.size(), stderr);
}

#ifndef _WIN32
std::string path_text(std::string_view path) { return valid_utf8(path); }
#else
namespace {

// A title's 8-bit codes as the wide characters they stand for.
std::wstring wide_text(std::string_view codes) {
  std::wstring wide;
  wide.reserve(codes.size());
  for (char ch : codes)
    wide.push_back(static_cast<wchar_t>(code_character(static_cast<unsigned char>(ch))));
  return wide;
}

}  // namespace

void* console_of(FILE* stream) {
  auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

std::wstring code_page_wide(std::string_view text, unsigned code_page) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), units);
  return wide;
}

bool write_console(std::string_view text, bool utf8) {
  HANDLE console = console_of(stderr);
  if (!console) return false;
  std::fflush(stderr);
  const std::wstring wide = utf8 ? code_page_wide(text, CP_UTF8) : wide_text(text);
  DWORD written;
  WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  return true;
}

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
