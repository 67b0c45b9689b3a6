// Files by name: opening one, with a folder told apart from a file, and
// telling whether two names name one file.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lyricrtf {

struct Closer {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, Closer>;

// Opens a file as fopen does with `mode`. A folder never opens, whatever
// the platform's fopen makes of it: errno is then EISDIR.
File open_file(const std::string& name, const char* mode);

// The names of the files in a folder (not its folders); none when it does
// not open.
std::vector<std::string> files_in_folder(const std::string& folder);

// What a report's first bytes show it to be.
enum class Start {
  mark,               // the byte-order mark: a report as it should be
  utf16,              // saved as UTF-16, either byte order
  utf8_without_mark,  // UTF-8 text, but no mark
  empty,
  document,  // a PDF, RTF, or an office document
  other,
};

// What the bytes a file begins with (report_head_size of them, or all)
// show it to be; `mark` only for the UTF-8 byte-order mark.
Start start_of(std::string_view head);

// A Start's name, as the web page knows it.
const char* start_name(Start start);

// The bytes of a report saved as UTF-16 (either byte order, with its mark
// or without) or as UTF-8 without its mark, as they should have been
// saved: UTF-8 with the byte-order mark. False for any other bytes.
bool saved_with_mark(std::string_view bytes, std::string& marked);

// What tells one file from another on its volume: the device and inode on
// POSIX, the volume serial number and file index on Windows. Two names, a
// link or another spelling of a path, name one file when their ids are
// equal. `known` is false when the file does not exist.
struct FileId {
  bool known = false;
  unsigned long long volume = 0;
  unsigned long long index = 0;
};
FileId file_id(FILE* f);
FileId file_id(const std::string& name);

inline bool same_file(const FileId& a, const FileId& b) {
  return a.known && b.known && a.volume == b.volume && a.index == b.index;
}

}  // namespace lyricrtf
