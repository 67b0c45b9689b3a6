#include "template/store.h"

#include <cstdio>

#include "report/stanzas.h"
#include "template/conversion.h"

namespace lyricrtf {

namespace {

// Makes `text` the slot's own text, with its room after it.
void own(Slot& s, std::string_view text) {
  s.own.assign(text);
  s.text = s.own.view();
}

}  // namespace

void store_formatted(Conversion& c, int slot, PaddedView text) {
  // The slot's own text keeps its room from one record to the next.
  Slot& s = c.escape[slot];
  char* to = s.own.make_room(formatted_room(text.size()));
  s.own.resize(static_cast<size_t>(put_formatted(to, text, c.format) - to));
  s.text = s.own.view();
  s.plain = s.text.text().find('%') == std::string_view::npos;
  ++s.version;
}

void init(Conversion& c) {
  for (Slot& slot : c.escape) slot = Slot();
  store_escape(c, separator_slot, default_separator);
  c.format = Format::none;
}

void store_escape(Conversion& c, int slot, std::string_view text) {
  Slot& s = c.escape[slot];
  own(s, text.substr(0, text.find('\0')));
  s.plain = s.text.text().find('%') == std::string_view::npos;
  ++s.version;
}

void settle_views(Conversion& c) {
  for (Slot& s : c.escape) {
    // A text that is not the slot's own is borrowed; the copy is the same
    // text, so the version stays.
    if (s.text.data() != s.own.view().data()) own(s, s.text.text());
  }
}

namespace {

// The slot a definition name selects, or -1 when the name selects none.
int resolve_name(std::string_view name) {
  // A name line is a zero-terminated text: a zero byte ends the name.
  name = name.substr(0, name.find('\0'));
  if (same_name(name, "Schedule")) return schedule_slot;
  if (same_name(name, "Song")) return song_slot;
  if (same_name(name, "Line")) return separator_slot;
  if (same_name(name, "Stanza")) return stanza_slot;
  for (size_t t = 0; t < tags.size(); ++t)
    if (same_name(name, tags[t])) return static_cast<int>(t) + 1;
  // Any other name selects the slot of its first byte; the rest is a comment.
  if (!name.empty() && selects_slot(name[0])) return slot_of(name[0]);
  return -1;
}

// The template file's bytes from `at` on, read as the template language
// reads them.
struct TemplateBytes {
  std::string_view file;
  size_t at = 0;
};

// The next byte, or EOF at the end; a carriage return is dropped, one at
// a time.
int tgetc(TemplateBytes& in) {
  if (in.at == in.file.size()) return EOF;
  int c = static_cast<unsigned char>(in.file[in.at++]);
  if (c == '\r') c = in.at == in.file.size() ? EOF : static_cast<unsigned char>(in.file[in.at++]);
  return c;
}

// Reads the rest of a name line (its line feed consumed, not stored).
void get_tname(TemplateBytes& in, std::string& name) {
  name.clear();
  for (int c = tgetc(in); c != EOF && c != '\n'; c = tgetc(in)) name.push_back(static_cast<char>(c));
}

// Reads a definition body up to the terminator line "%\" or the end of file.
void get_escape(TemplateBytes& in, std::string& body) {
  body.clear();
  int column = 0;
  for (;;) {
    int c = tgetc(in);
    if (c == EOF) break;
    if (c == '\n') {
      body.push_back('\n');
      column = 0;
    } else if (c == '%' && column == 0) {
      int d = tgetc(in);
      if (d == '\\') break;
      body.push_back('%');
      if (d == EOF) return;  // a lone '%' on the last line stays whole
      body.push_back(static_cast<char>(d));
      column = (d == '\n') ? 0 : 2;
    } else {
      body.push_back(static_cast<char>(c));
      ++column;
    }
  }
  // Drop the line feed before the terminator line, or at the end of the
  // file the file's last byte.
  if (!body.empty()) body.pop_back();
}

// The whole file; false when a read failed.
bool read_all(FILE* f, std::string& bytes) {
  char block[4096];
  for (size_t n; (n = std::fread(block, 1, sizeof block, f)) > 0;) bytes.append(block, n);
  return !std::ferror(f);
}

}  // namespace

bool defines_schedule(const Conversion& c) { return !slot_text(c, schedule_slot).empty(); }

bool get_template(Conversion& c, FILE* f) {
  std::string file;
  if (!read_all(f, file)) return false;
  // An editor may save the file with a byte-order mark; it is not part of
  // the first line.
  constexpr std::string_view mark = "\xEF\xBB\xBF";
  TemplateBytes in{file, file.compare(0, mark.size(), mark) == 0 ? mark.size() : 0};
  std::string buffer;
  for (int b = tgetc(in); b != EOF; b = tgetc(in)) {
    if (b == '\n') continue;
    if (b != '%') {
      // Any other line outside a definition is ignored.
      while (b != EOF && b != '\n') b = tgetc(in);
      if (b == EOF) break;
      continue;
    }
    get_tname(in, buffer);
    const std::string_view name(buffer.c_str());  // up to a zero byte, as every name
    if (!name.empty() && name[0] == '#') {
      // A format line: no body follows.
      if (!format_named(name, c.format))
        c.messages.warning("Warning: unknown format " + std::string(name) +
                           " in the template file.\n");
      continue;
    }
    int slot = resolve_name(buffer);
    if (slot < 0) {
      c.messages.warning("Warning: unknown name " + std::string(name) + " in the template file.\n");
      continue;
    }
    // The schedule's name is stored in slot S before anything is written.
    if (slot == schedule_name_slot)
      c.messages.warning("Warning: " + std::string(name) +
                         " defines slot S, which the schedule's name replaces.\n");
    get_escape(in, buffer);
    store_escape(c, slot, buffer);
    // Reading goes on right after the terminator's backslash, as if a
    // new line began there.
  }
  // The format line may come anywhere: the template's own texts are
  // written as the format has them once the whole file is read.
  if (c.format != Format::none)
    for (int slot = 0; slot < slot_count; ++slot)
      if (!slot_text(c, slot).empty())
        store_escape(c, slot, template_text(slot_text(c, slot).text(), c.format));
  return true;
}

}  // namespace lyricrtf
