#include "template/store.h"

#include <algorithm>
#include <cstring>

#include "template/scan.h"

namespace lyricrtf {

std::array<Text, slot_count> escape;
std::array<Percent, slot_count> percent;
std::array<std::string_view, slot_count> viewed;
std::array<bool, slot_count> is_viewed;

namespace {

// The slots store_view set since the last settle_views, each once.
std::array<int, slot_count> viewed_slots;
std::array<bool, slot_count> listed;
size_t viewed_count = 0;

constexpr int line_feed = '\n';
constexpr int carriage_return = '\r';

}  // namespace

static_assert(tags[0][0] == 'V' && tags[1][0] == 'C' && tags[2][0] == 'B' && tags[3][0] == 'I' &&
                  tags[4][0] == 'E' && tags[5][0] == 'S' && tags[6][0] == 'T',
              "tag_by_initial knows the tags by their first letters");

void init() {
  static const Text empty = std::make_shared<std::string>();
  is_viewed.fill(false);
  listed.fill(false);
  viewed_count = 0;
  escape.fill(empty);
  percent.fill(Percent::none);
  store_escape(separator_slot, default_separator);
}

void store_escape(int slot, std::string_view text) {
  store_text(slot, text.substr(0, find_byte(text.data(), text.size(), '\0')), false);
}

void store_changed_text(int slot, std::string_view text, bool without_percent) {
  Text& held = escape[slot];
  percent[slot] = without_percent ? Percent::none : Percent::unknown;
  if (held.use_count() != 1) {
    // An expansion still walks the old text: the slot gets a new one.
    held = std::make_shared<std::string>(text);
    return;
  }
  // The slot's buffer is reused: the text is written over the old one,
  // and then the size is cut or the rest appended. This costs less than a
  // general assignment, and serves a text that lies in the slot's own (it
  // is no longer than the old text).
  std::string& stored = *held;
  const size_t size = text.size(), kept = std::min(size, stored.size());
  move_bytes(stored.data(), text.data(), kept);
  if (size > kept)
    stored.append(text.data() + kept, size - kept);
  else if (size != stored.size())
    stored.resize(size);
}

void store_view(int slot, std::string_view text, bool without_percent) {
  if (!listed[slot]) {
    listed[slot] = true;
    viewed_slots[viewed_count++] = slot;
  }
  is_viewed[slot] = true;
  // An empty view may have no address, which copying would not take.
  viewed[slot] = text.empty() ? std::string_view("", 0) : text;
  percent[slot] = without_percent ? Percent::none : Percent::unknown;
}

void settle_view(int slot) {
  // What is known of the text holds for its copy.
  store_text(slot, viewed[slot], percent[slot] == Percent::none);
}

void settle_views() {
  for (size_t i = 0; i < viewed_count; ++i) {
    const int slot = viewed_slots[i];
    listed[slot] = false;
    if (is_viewed[slot]) settle_view(slot);
  }
  viewed_count = 0;
}

int resolve_name(std::string_view name) {
  // A name line is a zero-terminated text: a zero byte ends the name.
  name = name.substr(0, std::min(name.size(), name.find('\0')));
  if (same_name(name, "Schedule")) return schedule_slot;
  if (same_name(name, "Song")) return song_slot;
  if (same_name(name, "Line")) return separator_slot;
  if (same_name(name, "Stanza")) return stanza_slot;
  if (int tag = tag_number(name)) return tag;
  // Any other name selects the slot of its first byte; the rest is a comment.
  if (!name.empty() && name[0] >= 'A' && name[0] <= 'z') return name[0] - '0';
  return -1;
}

int tgetc(FILE* f) {
  int c = getc(f);
  if (c == carriage_return) c = getc(f);
  return c;
}

void get_tname(FILE* f, std::string& name) {
  name.clear();
  for (int c = tgetc(f); c != EOF && c != line_feed; c = tgetc(f))
    name.push_back(static_cast<char>(c));
}

void get_escape(FILE* f, std::string& body) {
  body.clear();
  int column = 0;
  for (;;) {
    int c = tgetc(f);
    if (c == EOF) break;
    if (c == line_feed) {
      body.push_back('\n');
      column = 0;
    } else if (c == '%' && column == 0) {
      int d = tgetc(f);
      if (d == '\\') break;
      body.push_back('%');
      if (d == EOF) return;  // a lone '%' on the last line stays whole
      body.push_back(static_cast<char>(d));
      column = (d == line_feed) ? 0 : 2;
    } else {
      body.push_back(static_cast<char>(c));
      ++column;
    }
  }
  // Drop the line feed before the terminator line, or at the end of the
  // file the file's last byte.
  if (!body.empty()) body.pop_back();
}

void get_template(FILE* f) {
  std::string buffer;
  for (;;) {
    int c = tgetc(f);
    if (c == EOF) return;
    if (c == line_feed) continue;
    if (c == '%') {
      get_tname(f, buffer);
      int slot = resolve_name(buffer);
      if (slot < 0) continue;
      get_escape(f, buffer);
      store_escape(slot, buffer);
      // Reading goes on right after the terminator's backslash, as if a
      // new line began there.
      continue;
    }
    // Any other line outside a definition is ignored.
    while (c != EOF && c != line_feed) c = tgetc(f);
    if (c == EOF) return;
  }
}

}  // namespace lyricrtf
