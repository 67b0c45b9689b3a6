#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/songs.h"
#include "report/stanzas.h"
#include "support.h"
#include "template/store.h"

namespace {

using lyricrtf::escape;

struct TagCase {
  std::string lyrics;  // the line is the first of these lyrics
  int tag;
};

TEST(TagLines, AreATagNameAndALineFeedOrABlankWithADigitOrParenthesis) {
  const std::vector<TagCase> cases = {
      {"Verse 1\nx", 1},   {"Verse\nx", 1},      {"VERSE 2b\nx", 1}, {"chorus\nx", 2},
      {"CHORUS\nx", 2},    {"Bridge (soft)\nx", 3}, {"Intro 1\nx", 4}, {"End\nx", 5},
      {"Slide 3\nx", 6},   {"Tag (x2)\nx", 7},   {"Verse 1", 1},     {"Chorus (", 2},
      // Near misses.
      {"Verse:\nx", 0},    {"Verses\nx", 0},     {"Bridge  1\nx", 0}, {"Chorus x\nx", 0},
      {"Ending\nx", 0},    {" Verse 1\nx", 0},   {"Ver\nse", 0},     {"", 0},
      // The last line of the lyrics needs the form with a blank.
      {"Chorus", 0},       {"Chorus ", 0},       {"Tag", 0},
  };
  for (const TagCase& c : cases) EXPECT_EQ(lyricrtf::is_tag(c.lyrics, 0), c.tag) << c.lyrics;
}

struct Stanza {
  std::string t, n, z;
  bool operator==(const Stanza& o) const { return t == o.t && n == o.n && z == o.z; }
};

std::ostream& operator<<(std::ostream& os, const Stanza& s) {
  return os << "{" << s.t << "|" << s.n << "|" << s.z << "}";
}

// Every stanza get_stanza hands out of the current lyrics.
std::vector<Stanza> handed_out(size_t most) {
  std::vector<Stanza> result;
  while (lyricrtf::get_stanza()) {
    result.push_back({lyricrtf::slot_text(lyricrtf::tag_slot), lyricrtf::slot_text(lyricrtf::suffix_slot),
                      lyricrtf::slot_text(lyricrtf::stanza_text_slot)});
    if (result.size() > most) break;  // it would never end
  }
  return result;
}

// Every stanza get_stanza cuts off `lyrics`, with `separator` between lines;
// the stanzas cut ahead, as the reading thread cuts them, must be the same.
std::vector<Stanza> stanzas(const std::string& lyrics, const std::string& separator) {
  lyricrtf::init();
  lyricrtf::store_escape(lyricrtf::separator_slot, separator);
  lyricrtf::set_lyrics(lyrics);
  std::vector<Stanza> result = handed_out(lyrics.size() + 1);

  std::string text = "before";
  std::vector<lyricrtf::CutStanza> cut;
  lyricrtf::cut_stanzas(lyrics, separator, text, cut);
  lyricrtf::songbuf = {text, true, cut.data(), cut.size()};
  lyricrtf::sbp = 0;
  EXPECT_EQ(handed_out(lyrics.size() + 1), result) << "cut ahead: " << lyrics;
  EXPECT_EQ(lyricrtf::songbuf.empty(), lyrics.empty());
  lyricrtf::set_lyrics("");
  return result;
}

struct StanzaCase {
  const char* what;
  std::string lyrics;
  std::vector<Stanza> stanzas;
};

TEST(Stanzas, AreCutAtTagLines) {
  const std::vector<StanzaCase> cases = {
      {"a tagged stanza", "Verse 1\nAlpha\nBeta", {{"Verse", "1", "Alpha/Beta"}}},
      {"the tag word keeps its case", "CHORUS\na", {{"CHORUS", "", "a"}}},
      {"a suffix in parentheses", "Tag (x2)\na", {{"Tag", "(x2)", "a"}}},
      {"a suffix after the digit", "Verse 2b\na", {{"Verse", "2b", "a"}}},
      {"no tag line: the first line is dropped", "Title\nSecond\nThird", {{"", "", "Second/Third"}}},
      {"a first tag line loses nothing", "Verse 1\na\nChorus\nb",
       {{"Verse", "1", "a"}, {"Chorus", "", "b"}}},
      {"an empty line before a tag line stays", "Verse 1\na\n\nChorus\nb",
       {{"Verse", "1", "a/"}, {"Chorus", "", "b"}}},
      {"a bare last Chorus is a line", "Verse 1\na\nChorus", {{"Verse", "1", "a/Chorus"}}},
      {"a last Chorus 2 is an empty stanza", "Verse 1\na\nChorus 2", {{"Verse", "1", "a"}, {"Chorus", "2", ""}}},
      {"a bare tag between stanzas", "Verse 1\na\nChorus\nVerse 2\nb",
       {{"Verse", "1", "a"}, {"Chorus", "", ""}, {"Verse", "2", "b"}}},
      {"a stanza of one empty line does not end the loop", "Verse 1\n\nVerse 2\nb",
       {{"Verse", "1", ""}, {"Verse", "2", "b"}}},
      {"a dropped first line before a tag line", "Title\nVerse 1\na", {{"", "", ""}, {"Verse", "1", "a"}}},
      {"an empty last line", "Verse 1\na\n", {{"Verse", "1", "a/"}}},
      {"a near miss is a line", "Verse 1\nVerses\nBridge  1", {{"Verse", "1", "Verses/Bridge  1"}}},
      {"no lyrics", "", {}},
  };
  for (const StanzaCase& c : cases) EXPECT_EQ(stanzas(c.lyrics, "/"), c.stanzas) << c.what;
}

TEST(Stanzas, AnySeparatorJoinsTheLinesTheSameWay) {
  for (const std::string separator : {"", "\\line\n", "<br/>\n\n"}) {
    EXPECT_EQ(stanzas("Verse 1\nAlpha\nBeta\nGamma", separator),
              (std::vector<Stanza>{{"Verse", "1", "Alpha" + separator + "Beta" + separator + "Gamma"}}))
        << separator;
  }
}

TEST(Stanzas, AreNotCutAgainOnceUsedUp) {
  stanzas("Verse 1\na", "/");
  EXPECT_FALSE(lyricrtf::get_stanza());
  EXPECT_EQ(lyricrtf::slot_text(lyricrtf::stanza_text_slot), "a") << "the last stanza's slots stay";
}

const std::string report_of(const std::string& lyrics) {
  return "Schedule Detail\nfor E.sch\nHymn\n" + lyrics + "      \nA\nc\nN\n";
}

struct LoopCase {
  const char* what;
  std::string templates;
  std::string lyrics;
  std::string output;
};

TEST(StanzaLoop, ExpandsTheTemplateOfEachTag) {
  const std::string song = "%Schedule\n%C\n%\\\n%Song\n%s\n%\\\n";
  const std::string stanza = "%Stanza\n(S:%t%n:%z)\n%\\\n";
  const std::string verse = "%Verse\n(V:%t %n:%z)\n%\\\n";
  const std::string chorus = "%Chorus\n(C:%t:%z)\n%\\\n";
  const std::vector<LoopCase> cases = {
      {"tag templates and the fallback", song + stanza + verse,
       "Verse 1\na\nChorus\nb\n", "(V:Verse 1:a)(S:Chorus:b)"},
      {"a tag word in any case selects its template", song + stanza + chorus,
       "CHORUS\na\nchorus\nb\n", "(C:CHORUS:a)(C:chorus:b)"},
      {"lyrics without tags use the Stanza template", song + stanza + verse, "Hymn 2\na\nb\n", "(S::a\\line\nb)"},
      {"a bare tag is expanded with empty text", song + stanza + verse + chorus,
       "Verse 1\na\nChorus\nVerse 2\nb\n", "(V:Verse 1:a)(C:Chorus:)(V:Verse 2:b)"},
      {"a lone first line before a tag is skipped", song + verse, "Hymn 2\nVerse 1\na\n", "(V:Verse 1:a)"},
      {"a second stanza loop finds nothing left", "%Schedule\n%C\n%\\\n%Song\n%s|%s\n%\\\n" + stanza,
       "Verse 1\na\n", "(S:Verse1:a)|"},
      {"a stanza loop before the song loop", "%Schedule\n%s|%C|%s\n%\\\n%Song\n-\n%\\\n" + stanza,
       "Verse 1\na\n", "|-|(S:Verse1:a)"},
      {"%s inside a stanza template is slot s", song + "%Stanza\n[%s]\n%\\\n%s\nslot s\n%\\\n",
       "Verse 1\na\n", "[slot s]"},
      {"%C inside the Song template is slot C", "%Schedule\n%C\n%\\\n%Song\n[%C]\n%\\\n%C\nslot C\n%\\\n",
       "Verse 1\na\n", "[slot C]"},
      {"no stanza template at all", song, "Verse 1\na\n", ""},
      {"directives in the lyrics, stanza after stanza", song + verse,
       "Verse 1\na%%b\nVerse 2\nc%Td\nVerse 3\ne\n", "(V:Verse 1:a%b)(V:Verse 2:cHymnd)(V:Verse 3:e)"},
  };
  for (const LoopCase& c : cases) EXPECT_EQ(test::expand(c.templates, report_of(c.lyrics)), c.output) << c.what;
}

}  // namespace
