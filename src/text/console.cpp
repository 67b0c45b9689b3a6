#include "text/console.h"

#include "text/bytes.h"
#include "text/characters.h"

#ifdef _WIN32
#include <io.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace lyricrtf {

char* put_console_text(char* to, std::string_view codes, bool utf8) {
  if (!utf8) {
    copy_bytes(to, codes);
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

#ifdef _WIN32

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

#endif

}  // namespace lyricrtf
