// Microbenchmarks of the hot paths: the decoder, the line reader and the
// expander, on an in-memory report.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "report/reader.h"
#include "report/stanzas.h"
#include "template/expander.h"
#include "template/store.h"

namespace {

// About 1 MB of song records in the report layout, mostly ASCII.
std::string make_report() {
  std::string report = "\xEF\xBB\xBF";
  for (int i = 0; report.size() < 1000000; ++i) {
    report += "Schedule Detail\nfor Sunday Service.sch\nHymn " + std::to_string(i) + "\n";
    report += "Verse 1\nAmazing grace! how sweet the sound\nThat saved a wretch like me!\n";
    report += "Chorus\n\xE2\x80\x99Tis grace hath brought me safe thus far,\nAnd grace will lead me home.\n";
    report += "  Verse 2\nJ\xC3\xA9sus, the very thought of Thee\nWith sweetness fills the breast;\n";
    report += "      \nJohn Newton  \nPublic Domain\n" + std::to_string(1000 + i) + "\n";
  }
  return report;
}

const std::string report = make_report();

FILE* open_report() { return fmemopen(const_cast<char*>(report.data()), report.size(), "rb"); }

void Decoder(benchmark::State& state) {
  for (auto _ : state) {
    FILE* f = open_report();
    lyricrtf::Report in(f);
    long sum = 0;
    for (int c = lyricrtf::ugetc(in); c != EOF; c = lyricrtf::ugetc(in)) sum += c;
    benchmark::DoNotOptimize(sum);
    std::fclose(f);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * report.size()));
}
BENCHMARK(Decoder);

void LineReader(benchmark::State& state) {
  std::string line;
  for (auto _ : state) {
    FILE* f = open_report();
    lyricrtf::Report in(f);
    size_t total = 0;
    while (lyricrtf::get_line(in, line)) total += line.size();
    benchmark::DoNotOptimize(total);
    std::fclose(f);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * report.size()));
}
BENCHMARK(LineReader);

void Expander(benchmark::State& state) {
  const char templates[] =
      "%Schedule\n{\\rtf1\\ansi %C}\n%\\\n"
      "%Song\n{\\b %T}\\par\n%s{\\i %A}\\par %L%c\\par\n%\\\n"
      "%Verse\n{\\b %t %n}\\line %z\\par\n%\\\n"
      "%Chorus\n{\\i %t %n\\line %z}\\par\n%\\\n"
      "%Stanza\n%z\\par\n%\\\n";
  FILE* out = std::fopen("/dev/null", "wb");
  FILE* err = std::freopen("/dev/null", "w", stderr);  // the titles
  for (auto _ : state) {
    lyricrtf::init();
    FILE* t = fmemopen(const_cast<char*>(templates), sizeof templates - 1, "rb");
    lyricrtf::get_template(t);
    std::fclose(t);
    FILE* f = open_report();
    lyricrtf::Report in(f);
    lyricrtf::ugetc(in);
    lyricrtf::put_schedule(out, in);
    std::fclose(f);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * report.size()));
  std::fclose(out);
  (void)err;
}
BENCHMARK(Expander);

}  // namespace

namespace {

// Cutting lyrics into stanzas and joining their lines, as the stanza loop
// does for every song.
void Stanzas(benchmark::State& state) {
  std::string lyrics;
  for (int i = 0; lyrics.size() < 100000; ++i) {
    lyrics += "Verse " + std::to_string(i) + "\nAmazing grace! how sweet the sound\nThat saved a wretch\n";
    lyrics += "Chorus\nTis grace hath brought me safe thus far,\nAnd grace will lead me home.\nO\n";
  }
  lyrics.pop_back();
  lyricrtf::init();
  for (auto _ : state) {
    lyricrtf::set_lyrics(lyrics);
    size_t total = 0;
    while (lyricrtf::get_stanza()) total += lyricrtf::slot_view(lyricrtf::stanza_text_slot).size();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * lyrics.size()));
}
BENCHMARK(Stanzas);

}  // namespace
