// Writes a realistic song schedule report of about the given size to
// standard output: the same bytes for the same size, every time.
//
//   generate_report BYTES > report.txt
//
// Records carry tag lines of every form (numbered, bare, in capitals, with
// remarks in parentheses, a bare chorus between verses), left margins,
// accented letters, right single quotes, the odd line separator (U+2028),
// slide shows that are passed over, the lyrics end marker and the author,
// copyright and number lines.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

uint64_t state = 0x9E3779B97F4A7C15ULL;

uint32_t next(uint32_t bound) {
  // xorshift64*: fast and the same on every machine.
  state ^= state >> 12;
  state ^= state << 25;
  state ^= state >> 27;
  return static_cast<uint32_t>((state * 0x2545F4914F6CDD1DULL) >> 33) % bound;
}

// Plain words, and a few with accents or a right single quote (U+2019):
// hymn texts are mostly ASCII.
const std::vector<std::string> words = {
    "grace",  "light",  "peace", "morning", "glory",  "river",   "shepherd", "mercy",   "holy",
    "praise", "heaven", "faithful", "wonder", "kingdom", "joy",   "song",     "evening", "rest",
    "hope",   "mountain", "valley", "thee",  "thou",    "Lord",   "love",    "King",     "name",
    "sing",   "voice",  "heart", "soul",    "day",    "night",   "star",     "bright",  "come",
    "and",    "the",    "of",    "in",      "my",     "our",     "with",     "for",     "is",
    "all",    "to",     "we",    "His",     "be",     "O",       "now",      "let",     "earth"};
const std::vector<std::string> rare_words = {
    "J\xC3\xA9sus", "No\xC3\xABl", "b\xC3\xA9ni", "Fr\xC3\xA8re", "sch\xC3\xB6n", "gr\xC3\xBC\xC3\x9F" "e",
    "ma\xC3\xB1" "ana", "c\xC5\x93ur", "we\xE2\x80\x99ll", "\xE2\x80\x99Tis", "o\xE2\x80\x99" "er", "God\xE2\x80\x99s"};

const std::vector<std::string> tags = {"Verse 1", "Verse 2", "Verse 3", "Chorus", "Bridge",
                                       "Tag (x2)", "CHORUS", "Intro", "End", "Chorus 2",
                                       "Verse 4", "Slide 1", "Bridge (soft)"};

std::string phrase(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i) text += ' ';
    if (next(25) == 0)
      text += rare_words[next(static_cast<uint32_t>(rare_words.size()))];
    else
      text += words[next(static_cast<uint32_t>(words.size()))];
  }
  return text;
}

std::string capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  return text;
}

void record(std::string& out, int number) {
  std::string margin(next(4) == 0 ? 2 + next(4) : 0, ' ');
  auto line = [&](const std::string& text) { out += margin + text + "\n"; };
  line("Schedule Detail");
  line("for Sunday " + capitalised(phrase(2)) + ".sch");
  std::string title = capitalised(phrase(2 + next(3)));
  if (next(25) == 0) title += ".pptx";
  line(title);
  int stanzas = 2 + next(6);
  for (int s = 0; s < stanzas; ++s) {
    line(tags[next(static_cast<uint32_t>(tags.size()))]);
    if (next(8) == 0) continue;  // a bare tag: sing it again
    int lines = 2 + next(5);
    for (int l = 0; l < lines; ++l) {
      std::string text = capitalised(phrase(4 + next(6)));
      if (next(40) == 0) text += "\xE2\x80\xA8" + phrase(3);  // a line separator inside
      line(text + (next(3) ? "," : ";"));
    }
    if (next(10) == 0) line("");
  }
  out += "      \n";  // the end of the lyrics
  line(capitalised(phrase(2)) + (next(3) == 0 ? "   " : ""));
  line(next(4) == 0 ? "      Words public domain" : "Public Domain");
  line(std::to_string(1000 + number));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: generate_report BYTES > report.txt\n");
    return 2;
  }
  unsigned long long size = std::strtoull(argv[1], nullptr, 10);
  std::string out = "\xEF\xBB\xBF";
  unsigned long long written = 0;
  for (int number = 0; written + out.size() < size; ++number) {
    record(out, number);
    if (out.size() > (1 << 20)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      written += out.size();
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
