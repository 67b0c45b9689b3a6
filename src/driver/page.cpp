// What the web page asks the program: the functions its worker calls in
// the WebAssembly module, so that the page copies none of the program's
// rules. Linked into the web edition only.
#include <cstdio>
#include <string>
#include <string_view>

#include "driver/driver.h"
#include "driver/files.h"
#include "report/reader.h"
#include "text/formats.h"

namespace {

// `text` as a JSON string.
std::string json(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// The files of a conversion as the page gives them: no command line, so
// that a schedule's name is never an option, nor too long for one.
lyricrtf::Names page_names(const char* templates, const char* report, const char* output) {
  lyricrtf::Names names;
  names.command = {templates, output};
  names.input = report;
  names.program = "lyricrtf";
  names.named = true;
  return names;
}

// What the page shows: the titles as they come, written where the worker
// reads them. The conversion lets them wait a tenth of a second at most.
void to_page(std::string_view text, lyricrtf::Said) {
  std::fwrite(text.data(), 1, text.size(), stderr);
}

std::string answer;  // the last answer that is a text; valid until the next

}  // namespace

extern "C" {

// The program's facts that the page needs, as JSON: the exit codes and
// what a schedule's first bytes may show, by name, and which of those the
// program can read anyway (lyricrtf_mark).
const char* lyricrtf_facts() {
  using lyricrtf::Start;
  answer = "{\"exit\":{\"ok\":" + std::to_string(lyricrtf::exit_ok) +
           ",\"noArguments\":" + std::to_string(lyricrtf::exit_no_arguments) +
           ",\"usage\":" + std::to_string(lyricrtf::exit_usage) +
           ",\"fatal\":" + std::to_string(lyricrtf::exit_fatal) + "},\"starts\":[";
  for (Start start : {Start::mark, Start::utf16, Start::utf8_without_mark, Start::empty,
                      Start::document, Start::other})
    answer += json(lyricrtf::start_name(start)) + (start == Start::other ? "]" : ",");
  answer += ",\"anyway\":[" + json(lyricrtf::start_name(Start::utf16)) + "," +
            json(lyricrtf::start_name(Start::utf8_without_mark)) + "]}";
  return answer.c_str();
}

// The document that converting the schedule `report` with the template
// file `templates` writes, as JSON: its name, its type, and whether the
// name was changed because it is the schedule's own (a %#text template's
// "sunday.txt" becomes "sunday-lyrics.txt"). The name is empty when the
// template file cannot be read.
const char* lyricrtf_document(const char* templates, const char* report) {
  const lyricrtf::Document document = lyricrtf::document_of(page_names(templates, report, ""));
  std::string name = document.name;
  const bool renamed = name == report;
  if (renamed) name.insert(std::min(name.find('.'), name.size()), "-lyrics");
  answer = "{\"name\":" + json(name) + ",\"type\":" + json(document.type) +
           ",\"renamed\":" + (renamed ? "true" : "false") + "}";
  return answer.c_str();
}

// Converts the schedule `report` with the template file `templates` into
// `output`; returns the exit code. The messages go to the error stream.
int lyricrtf_convert(const char* templates, const char* report, const char* output) {
  lyricrtf::Names names = page_names(templates, report, output);
  return lyricrtf::convert(names, lyricrtf::posix, to_page, false);
}

// What the file at `path` is, by its first bytes: a name from
// lyricrtf_facts' "starts".
const char* lyricrtf_report_start(const char* path) {
  std::string head(lyricrtf::report_head_size, '\0');
  lyricrtf::File f = lyricrtf::open_file(path, "rb");
  head.resize(f ? std::fread(head.data(), 1, head.size(), f.get()) : 0);
  answer = lyricrtf::start_name(lyricrtf::start_of(head));
  return answer.c_str();
}

// Saves the file at `path` again as UTF-8 with its byte-order mark, from
// UTF-16 in either byte order or from UTF-8 without the mark: the file as
// it should have been saved. Returns 0 when it is neither.
int lyricrtf_mark(const char* path) {
  std::string bytes;
  {
    lyricrtf::File f = lyricrtf::open_file(path, "rb");
    if (!f) return 0;
    char block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, f.get())) > 0;) bytes.append(block, n);
  }
  std::string marked;
  if (!lyricrtf::saved_with_mark(bytes, marked)) return 0;
  lyricrtf::File f = lyricrtf::open_file(path, "wb");
  return f && std::fwrite(marked.data(), 1, marked.size(), f.get()) == marked.size();
}

}  // extern "C"
