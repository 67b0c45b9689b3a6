// The process entry. Started with arguments, the program converts at once;
// started without (for example by a double click), it asks for a command
// line first and waits for Return at the end.
#include <cstdio>

#include "driver/command_line.h"
#include "driver/driver.h"
#include "driver/terminal.h"

#ifdef _WIN32
// The MinGW-w64 start-up code expands wildcard arguments (*.txt) into the
// names of the matching files, as the Windows shell leaves that to the
// program; a pattern that matches nothing is passed on unchanged.
int _dowildcard = -1;
#endif

int main(int argc, char** argv) {
  if (argc < 2) return lyricrtf::interactive(argc == 1 ? argv[0] : "", stdin, stdout);
  const int code = lyricrtf::_main(argc, argv);
  // A schedule dropped onto the program: its console would close before
  // the titles and messages could be read.
  if (lyricrtf::console_of_its_own()) lyricrtf::wait_for_return(stdin, stdout);
  return code;
}
