#include "driver/files.h"

#include <sys/stat.h>

#include <cerrno>

#include "driver/terminal.h"
#include "report/reader.h"

#ifdef _WIN32
#include <io.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace lyricrtf {

File open_file(const std::string& name, const char* mode) {
  File f(std::fopen(name.c_str(), mode));
  const int error = errno;
  // POSIX opens a folder for reading, and Windows refuses it as if access
  // were denied: either way the user is told it is a folder.
  struct stat info;
  if (stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    f.reset();
    errno = EISDIR;
  } else {
    errno = error;  // the reason fopen gave
  }
  return f;
}

Start start_of(std::string_view head) {
  auto begins = [head](std::string_view with) { return head.substr(0, with.size()) == with; };
  if (head.empty()) return Start::empty;
  if (begins("\xEF\xBB\xBF")) return Start::mark;
  // With or without its own mark, UTF-16 holds a zero byte beside each
  // letter of "Schedule Detail".
  if (begins("\xFF\xFE") || begins("\xFE\xFF") ||
      (head.size() >= 2 && (head[0] == 0) != (head[1] == 0)))
    return Start::utf16;
  for (std::string_view document : {"%PDF", "{\\rtf", "PK\x03\x04", "\xD0\xCF\x11\xE0"})
    if (begins(document)) return Start::document;
  // A head cut off by its size may end inside a character.
  if (head.size() == report_head_size) head = head.substr(0, head.find_last_of("\n") + 1);
  const bool text = head.find('\0') == std::string_view::npos && valid_utf8(head) == head;
  return text ? Start::utf8_without_mark : Start::other;
}

#ifdef _WIN32
namespace {

FileId id_of(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return {};
  return {true, info.dwVolumeSerialNumber,
          (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

FileId file_id(FILE* f) { return id_of(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)))); }

FileId file_id(const std::string& name) {
  // Only the attributes are read; the file may be open elsewhere.
  HANDLE handle = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const FileId id = id_of(handle);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return id;
}
#else
namespace {

FileId id_of(int result, const struct stat& info) {
  if (result != 0) return {};
  return {true, static_cast<unsigned long long>(info.st_dev),
          static_cast<unsigned long long>(info.st_ino)};
}

}  // namespace

FileId file_id(FILE* f) {
  struct stat info;
  return id_of(fstat(fileno(f), &info), info);
}

FileId file_id(const std::string& name) {
  struct stat info;
  return id_of(stat(name.c_str(), &info), info);
}
#endif

}  // namespace lyricrtf
