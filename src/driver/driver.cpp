#include "driver/driver.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "driver/files.h"
#include "driver/terminal.h"
#include "report/reader.h"
#include "report/songs.h"
#include "template/conversion.h"
#include "template/expander.h"

namespace lyricrtf {

namespace {

// The two lengths the command line is checked for; every other name may be
// of any length.
constexpr size_t max_input_path = 127;
constexpr size_t max_program_path = 126;

constexpr const char* template_name = "lyricrtf7";
constexpr const char* template_extension = "dat";

bool is_option(const char* arg, const Platform& platform) {
  return arg[0] == '-' || (platform.slash_options && arg[0] == '/');
}

void fatal(const char* message) { std::fputs(message, stderr); }

// The system's own words for the last error, after the fatal line. Written
// through the stream, not with perror: the Windows runtime's perror writes
// straight to the handle, past what the stream still buffers.
void system_error() { std::fprintf(stderr, "Fatal: %s\n", std::strerror(errno)); }

// A fatal failure about a file: the message with the file's name, then the
// system's own words for the error.
void fatal_file(const char* format, const std::string& name) {
  const int error = errno;
  std::fprintf(stderr, format, name.c_str());
  errno = error;
  system_error();
}

// A template file that -c names without a folder, and that does not open
// as typed, is looked for in the gallery: the folder templates beside the
// program, or ../share/lyricrtf/templates from the program's folder after an
// install; in each as typed, then with ".dat" added.
File open_from_gallery(const std::string& name, const std::string& program,
                       const Platform& platform) {
  const char s = platform.separator;
  if (name.find_first_of(s == '\\' ? "\\/:" : "/") != std::string::npos) return nullptr;
  std::string dir, base, ext;
  splitpath(program, dir, base, ext, s);
  if (!dir.empty() && dir.back() != s) dir.push_back(s);
  const std::string shared = std::string("..") + s + "share" + s + "lyricrtf" + s + "templates";
  for (const std::string& folder : {std::string("templates"), shared})
    for (const std::string& file : {name, name + "." + template_extension})
      if (File found = open_file(dir + folder + s + file, "r")) return found;
  return nullptr;
}

// What the report is, when it lacks its byte-order mark, and what to do:
// the line after "Unicode identifier missing".
void fatal_start(Start start, const std::string& name) {
  const char* what = nullptr;
  switch (start) {
    case Start::utf16:
      what = "is saved as UTF-16 (\"Unicode\"); save it again with the encoding \"UTF-8 with BOM\"";
      break;
    case Start::utf8_without_mark:
      what = "is UTF-8 text without its byte-order mark; save it again with the encoding "
             "\"UTF-8 with BOM\"";
      break;
    case Start::empty:
      what = "is empty; save the \"Schedule Detail\" report into it again, as \"UTF-8 with BOM\"";
      break;
    case Start::document:
      what = "looks like a document, not the schedule report; give the report's text file instead";
      break;
    default:
      what = "is not text in UTF-8; save the \"Schedule Detail\" report again as text, with the "
             "encoding \"UTF-8 with BOM\"";
  }
  std::fprintf(stderr, "Fatal: Unicode identifier missing\nFatal: %s %s\n", name.c_str(), what);
}

// The files of a run as the command line names them.
struct Names {
  Command command;      // the template file and the output, once settled
  std::string input;    // the report, as typed
  std::string program;  // the program's path; a bare name located
  bool named;           // -c named the template file
};

// Scans the command line and settles the names of the run's files.
// Returns the exit code of a run that ends there, or -1 when it goes on.
int settle(int argc, char** argv, const Platform& platform, Names& names) {
  std::string& config = names.command.config;
  if (argc <= 1) {
    usage();
    return exit_no_arguments;
  }
  int input_index = options(argc, argv, names.command, platform);
  if (input_index == 0) {
    usage();
    return exit_usage;
  }
  names.input = argv[input_index];
  if (names.input.size() > max_input_path) {
    fatal("Fatal: File path too long, move it closer to the root of the disk\n");
    return exit_fatal;
  }

  names.program = argv[0] ? argv[0] : "";
  if (platform.locate_bare) names.program = locate_program(names.program, std::getenv("PATH"));
  names.named = !config.empty();
  if (!names.named) {
    if (names.program.size() > max_program_path) {
      fatal("Fatal: Program path too long, move it closer to the root of the disk\n");
      return exit_fatal;
    }
    // The default template file lies beside the program.
    std::string dir, name, ext;
    splitpath(names.program, dir, name, ext, platform.separator);
    config = makepath(dir, template_name, template_extension, platform.separator);
  }
  return -1;
}

// Opens the template file: `config` as typed, or a name that -c gave from
// the gallery. errno tells why it did not open.
File open_template(const Names& names, const Platform& platform) {
  File templates = open_file(names.command.config, "r");
  if (!templates && names.named) {
    const int error = errno;  // the fatal line names the file as typed
    templates = open_from_gallery(names.command.config, names.program, platform);
    errno = error;
  }
  return templates;
}

// The document's name without -o: beside the report, named up to the
// first '.' of the report's name, with the declared format's extension.
std::string default_document(const std::string& input, Format format, const Platform& platform) {
  std::string dir, name, ext;
  splitpath(input, dir, name, ext, platform.separator);
  return makepath(dir, name, document_extension(format), platform.separator);
}

int run(int argc, char** argv, const Platform& platform, bool titles_at_once) {
  Names names;
  if (const int code = settle(argc, argv, platform, names); code >= 0) return code;
  const std::string& input = names.input;
  std::string& output = names.command.output;

  Conversion c;
  c.song.titles.at_once = titles_at_once;
  c.song.titles.show = show_titles;
  init(c);
  FileId template_id;
  {
    File templates = open_template(names, platform);
    if (!templates) {
      fatal_file("Fatal: Configuration file %s failed to open\n", names.command.config);
      return exit_fatal;
    }
    template_id = file_id(templates.get());
    get_template(c, templates.get());
  }

  File report_file = open_file(input, "r");
  if (!report_file) {
    fatal_file("Fatal: Input file %s failed to open\n", input);
    return exit_fatal;
  }
  // Until the first song record names the schedule, slot S holds the
  // report's path up to its first '.'. In a declared format it is the
  // report's text like the names that follow it.
  std::string path = input.substr(0, input.find('.'));
  if (c.format != Format::none) {
    const std::string characters = path_text(path);
    path.clear();
    append_escaped(path, characters, c.format);
  }
  store_escape(c, schedule_name_slot, path);

  // The report must be one before anything is written: a wrong file named
  // leaves the document it would have replaced as it was.
  Report report(report_file.get(), c.format);
  if (!starts_with_mark(report)) {
    fatal_start(start_of(report.head), input);
    return exit_fatal;
  }

  if (output.empty()) output = default_document(input, c.format, platform);
  const FileId output_id = file_id(output);
  const bool is_report = same_file(output_id, file_id(report_file.get()));
  if (is_report || same_file(output_id, template_id)) {
    std::fprintf(stderr, "Fatal: Output file %s is %s; choose another name with -o\n",
                 output.c_str(), is_report ? "the report itself" : "the template file");
    return exit_fatal;
  }
  File out = open_file(output, "w");
  if (!out) {
    fatal_file("Fatal: Output file %s failed to open\n", output);
    return exit_fatal;
  }

  put_schedule(c, out.get(), report);
  // Single writes are not checked as the expansion goes on; the stream
  // remembers a failure, and closing flushes what is still buffered.
  bool failed = std::ferror(out.get()) != 0;
  if (std::fclose(out.release()) != 0) failed = true;
  if (failed) {
    fatal_file("Fatal: Output file %s failed to write\n", output);
    return exit_fatal;
  }
  return exit_ok;
}

}  // namespace

int options(int argc, char** argv, Command& command, const Platform& platform) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!is_option(arg, platform)) return i;
    switch (arg[1]) {
      case '?':
      case 'h':
      case 'H':
        return 0;
      case 'c':
      case 'C':
        if (i + 1 < argc) command.config = argv[++i];
        break;
      case 'o':
      case 'O':
        if (i + 1 < argc) command.output = argv[++i];
        break;
      default:
        std::fprintf(stderr, "Unknown option %s\n", arg);
        break;
    }
  }
  return 0;
}

void usage() {
  std::fprintf(stderr,
               "Usage (v%s): lyricrtf [-c config.dat] [-o output.rtf] <filename.txt> -[h|?]\n",
               version);
}

void splitpath(const std::string& path, std::string& dir, std::string& name, std::string& ext,
               char separator) {
  size_t last = path.rfind(separator);
  if (last == std::string::npos) {
    dir.clear();
    name = path;
  } else {
    // A file in the root directory keeps the root as its directory, so that
    // a name joined to it lands there too.
    dir = path.substr(0, last == 0 ? 1 : last);
    name = path.substr(last + 1);
  }
  size_t dot = name.find('.');
  if (dot == std::string::npos) {
    ext.clear();
  } else {
    ext = name.substr(dot + 1);
    name.resize(dot);
  }
}

std::string makepath(const std::string& dir, const std::string& name, const std::string& ext,
                     char separator) {
  std::string path = dir;
  if (!path.empty() && path.back() != separator) path.push_back(separator);
  path += name;
  path.push_back('.');
  path += ext;
  return path;
}

std::string document_name(int argc, char** argv, const Platform& platform) {
  Names names;
  if (settle(argc, argv, platform, names) >= 0) return "";
  Conversion c;
  init(c);
  File templates = open_template(names, platform);
  if (!templates) return "";
  get_template(c, templates.get());
  const std::string& output = names.command.output;
  return output.empty() ? default_document(names.input, c.format, platform) : output;
}

int _main(int argc, char** argv, const Platform& platform) {
  try {
    // A terminal shows each title as it comes, as progress; a file or a
    // pipe gets them a few KiB at a time.
    return run(argc, argv, platform, is_terminal(stderr));
  } catch (const std::bad_alloc&) {
    std::fputs("Fatal: Out of memory\n", stderr);
    return exit_fatal;
  }
}

}  // namespace lyricrtf
