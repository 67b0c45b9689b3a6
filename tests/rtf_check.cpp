#include "rtf_check.h"

namespace test {

namespace {

bool is_letter(char c) { return c >= 'a' && c <= 'z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_hex(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string at(size_t pos, const std::string& what) { return what + " at byte " + std::to_string(pos); }

}  // namespace

std::string rtf_problem(std::string_view rtf) {
  if (rtf.substr(0, 6) != "{\\rtf1") return "the document does not begin with {\\rtf1";
  int depth = 0;
  for (size_t i = 0; i < rtf.size(); ++i) {
    char c = rtf[i];
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (--depth < 0) return at(i, "a closing brace without its group");
      if (depth == 0 && i + 1 != rtf.size()) return at(i, "text after the document's group");
    } else if (c == '\\') {
      if (++i == rtf.size()) return "a backslash at the end";
      char d = rtf[i];
      if (is_letter(d)) {
        size_t start = i;
        while (i < rtf.size() && is_letter(rtf[i])) ++i;
        if (i - start > 32) return at(start, "a control word longer than 32 letters");
        if (i < rtf.size() && rtf[i] == '-') ++i;
        size_t digits = i;
        while (i < rtf.size() && is_digit(rtf[i])) ++i;
        if (i - digits > 10) return at(digits, "a control word parameter too long");
        if (i < rtf.size() && rtf[i] != ' ') --i;  // the delimiter is the next character
      } else if (d == '\'') {
        if (i + 2 >= rtf.size() || !is_hex(rtf[i + 1]) || !is_hex(rtf[i + 2]))
          return at(i, "a hex escape without two hex digits");
        i += 2;
      } else if (std::string_view("\\{}~-_*|:\n\r").find(d) == std::string_view::npos) {
        return at(i, std::string("an unknown control symbol \\") + d);
      }
    }
    if (depth == 0 && c != '}') return at(i, "text outside the document's group");
  }
  if (depth != 0) return "groups left open at the end: " + std::to_string(depth);
  return "";
}

}  // namespace test
