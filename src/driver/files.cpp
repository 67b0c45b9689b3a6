#include "driver/files.h"

#include <sys/stat.h>

#include <cerrno>

#ifndef _WIN32
#include <dirent.h>
#endif

#include "driver/terminal.h"
#include "report/reader.h"
#include "text/characters.h"

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

namespace {

// A head that its size cut off may end inside a character: that
// character's bytes go, and the rest is judged.
std::string_view whole_characters(std::string_view head) {
  for (size_t back = 1; back <= 3 && back <= head.size(); ++back) {
    const auto b = static_cast<unsigned char>(head[head.size() - back]);
    if ((b & 0xC0) == 0x80) continue;  // a character's later byte: its first is further back
    const size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return length > back ? head.substr(0, head.size() - back) : head;
  }
  return head;
}

}  // namespace

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
  if (head.size() == report_head_size) head = whole_characters(head);
  const bool text = head.find('\0') == std::string_view::npos && valid_utf8(head) == head;
  return text ? Start::utf8_without_mark : Start::other;
}

const char* start_name(Start start) {
  switch (start) {
    case Start::mark: return "mark";
    case Start::utf16: return "utf16";
    case Start::utf8_without_mark: return "utf8WithoutMark";
    case Start::empty: return "empty";
    case Start::document: return "document";
    default: return "other";
  }
}

bool saved_with_mark(std::string_view bytes, std::string& marked) {
  const Start start = start_of(bytes.substr(0, report_head_size));
  if (start != Start::utf16 && start != Start::utf8_without_mark) return false;
  marked = "\xEF\xBB\xBF";
  if (start == Start::utf8_without_mark) {
    marked += bytes;
    return true;
  }
  // The byte order: the mark's, or where the zero byte of an ASCII
  // letter stands.
  const bool big =
      bytes.substr(0, 2) == "\xFE\xFF" || (bytes.substr(0, 2) != "\xFF\xFE" && bytes[0] == 0);
  auto unit = [&](size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]),
               b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char32_t>(big ? a << 8 | b : b << 8 | a);
  };
  size_t i = bytes.substr(0, 2) == "\xFE\xFF" || bytes.substr(0, 2) == "\xFF\xFE" ? 2 : 0;
  for (; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    }
    append_utf8(marked, is_scalar(c) ? c : replacement_character);
  }
  if (i < bytes.size()) append_utf8(marked, replacement_character);  // half a unit at the end
  return true;
}

#ifdef _WIN32
std::vector<std::string> files_in_folder(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

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
std::vector<std::string> files_in_folder(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  for (const dirent* entry; (entry = readdir(dir));) {
    struct stat info;
    if (stat((folder + "/" + entry->d_name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
      names.push_back(entry->d_name);
  }
  closedir(dir);
  return names;
}

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
