// The process entry. Started with arguments, the program converts at once;
// started without (for example by a double click), it asks for a command
// line first and waits for Return at the end.
#include <cstdio>

#include "driver/command_line.h"
#include "driver/driver.h"

int main(int argc, char** argv) {
  if (argc >= 2) return lyricrtf::_main(argc, argv);
  return lyricrtf::interactive(argc == 1 ? argv[0] : "", stdin, stdout);
}
