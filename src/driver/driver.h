// The program driver: the command line, the three file names and the order
// of a conversion run.
#pragma once

#include <string>

#include "text/messages.h"

namespace lyricrtf {

// The rules of the platform's paths and command lines.
struct Platform {
  char separator;      // the one directory separator of a path
  bool slash_options;  // '/' introduces an option as '-' does
};

constexpr Platform posix = {'/', false};
constexpr Platform windows = {'\\', true};
#ifdef _WIN32
constexpr Platform native = windows;
constexpr bool native_is_windows = true;
#else
constexpr Platform native = posix;
constexpr bool native_is_windows = false;
#endif

constexpr const char* version = LYRICRTF_VERSION;  // the project's, set by the build

// Exit codes of a run.
constexpr int exit_ok = 0;
constexpr int exit_no_arguments = 1;  // nothing but the program path
constexpr int exit_usage = 2;         // no input file, or help asked for
constexpr int exit_fatal = 12;

// The template file and the output that the command line names: what -c
// and -o gave, or empty. A run fills in the template file's default name
// before it opens it, and the output's once it knows the format.
struct Command {
  std::string config;
  std::string output;
};

// Scans the options from argv[1] on, filling `command` and writing a
// notice for every unknown option. Returns the index of the input file
// argument, or 0 when there is none or help was asked for.
int options(int argc, char** argv, Command& command, const Platform& platform = native);

// Writes the usage line to the error stream.
void usage();

// Splits a path into its directory (without the last separator), its name
// up to the first '.', and the rest after that '.'. A path in the root
// directory keeps the separator as its directory.
void splitpath(const std::string& path, std::string& dir, std::string& name, std::string& ext,
               char separator = native.separator);

// Joins a directory, a name and an extension; the '.' is always written.
std::string makepath(const std::string& dir, const std::string& name, const std::string& ext,
                     char separator = native.separator);

// The files of a run: as the command line names them, or as the web page
// gives them.
struct Names {
  Command command;      // the template file and the output, once settled
  std::string input;    // the report, as typed
  std::string program;  // the program's path; a bare name located
  bool named = false;   // -c named the template file
};

// The document that converting `names` writes, as the conversion names it:
// the output as given, or the default for the format that the template
// file declares, with that format's type (document_type). Converts
// nothing, says nothing; the name is empty when the template file does not
// open or cannot be read.
struct Document {
  std::string name;
  const char* type;
};
Document document_of(const Names& names, const Platform& platform = native);

// Converts the files of `names` in a run's order, its messages going to
// `sink`, each title at once or not; the output, when none is given, is
// named by the template's format (and set in `names`). Returns the exit
// code; the failures are told on the error stream.
int convert(Names& names, const Platform& platform, const Messages::Sink& sink,
            bool titles_at_once);

// One conversion run; returns the exit code.
int _main(int argc, char** argv, const Platform& platform = native);

}  // namespace lyricrtf
