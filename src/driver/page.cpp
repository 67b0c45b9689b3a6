// What the web page asks the program besides running it: the functions
// its script calls in the WebAssembly module, so that it copies none of
// the program's rules. Linked into the web edition only.
#include <cstdio>
#include <string>

#include "driver/driver.h"
#include "driver/files.h"
#include "report/reader.h"

extern "C" {

// The name of the document that converting `report` with the template file
// `templates` writes (lyricrtf -c TEMPLATES REPORT); empty when the
// template file does not open. Valid until the next call.
const char* lyricrtf_document_name(const char* templates, const char* report) {
  static std::string name;
  std::string words[] = {"lyricrtf", "-c", templates, report};
  char* argv[] = {words[0].data(), words[1].data(), words[2].data(), words[3].data(), nullptr};
  name = lyricrtf::document_name(4, argv, lyricrtf::posix);
  return name.c_str();
}

// What the file at `path` is, by its first bytes: a lyricrtf::Start as a
// number (0 a report with its byte-order mark, 1 UTF-16, 2 UTF-8 without
// the mark, 3 empty, 4 a document, 5 anything else).
int lyricrtf_report_start(const char* path) {
  std::string head(lyricrtf::report_head_size, '\0');
  lyricrtf::File f = lyricrtf::open_file(path, "rb");
  head.resize(f ? std::fread(head.data(), 1, head.size(), f.get()) : 0);
  return static_cast<int>(lyricrtf::start_of(head));
}

}  // extern "C"
