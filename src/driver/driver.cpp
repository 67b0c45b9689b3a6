#include "driver/driver.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "driver/files.h"
#include "driver/terminal.h"
#include "report/reader.h"
#include "report/songs.h"
#include "template/conversion.h"
#include "template/expander.h"

namespace lyricrtf {

namespace {

// The two lengths the command line is checked for: a report path of 128
// characters or more, and without -c a program path of 127 or more (the
// template file's name then took a byte more), were refused when names
// were kept in buffers of 128 bytes. The messages that refuse them are
// known to users and scripts, so the limits stay; every other name may be
// of any length.
constexpr size_t max_input_path = 127;
constexpr size_t max_program_path = 126;

constexpr const char* template_name = "lyricrtf7";
constexpr const char* template_extension = "dat";

bool is_option(const char* arg, const Platform& platform) {
  return arg[0] == '-' || (platform.slash_options && arg[0] == '/');
}

// Writes a line that says why the run stops; the caller ends it.
void print_fatal(const char* message) { std::fputs(message, stderr); }

// The system's own words for an error, after the fatal line. Written
// through the stream, not with perror: the Windows runtime's perror writes
// straight to the handle, past what the stream still buffers.
void print_system_error(int error) { std::fprintf(stderr, "Fatal: %s\n", std::strerror(error)); }

// A fatal failure about a file: the message with the file's name, then the
// system's own words for `error`.
void print_fatal_file(const char* format, const std::string& name, int error) {
  std::fprintf(stderr, format, name.c_str());
  print_system_error(error);
}

// Whether a name holds a folder: then it is a path, never a gallery name.
bool has_folder(const std::string& name, const Platform& platform) {
  return name.find_first_of(platform.separator == '\\' ? "\\/:" : "/") != std::string::npos;
}

// The gallery's folders: templates beside the program, and
// ../share/lyricrtf/templates from the program's folder after an install.
std::vector<std::string> gallery(const std::string& program, const Platform& platform) {
  const char s = platform.separator;
  std::string dir, base, ext;
  splitpath(program, dir, base, ext, s);
  if (!dir.empty() && dir.back() != s) dir.push_back(s);
  const std::string shared = std::string("..") + s + "share" + s + "lyricrtf" + s + "templates";
  return {dir + "templates", dir + shared};
}

// A template file that -c names without a folder, and that does not open
// as typed, is looked for in the gallery; in each folder as typed, then
// with ".dat" added.
File open_from_gallery(const std::string& name, const std::string& program,
                       const Platform& platform) {
  if (has_folder(name, platform)) return nullptr;
  for (const std::string& folder : gallery(program, platform))
    for (const std::string& file : {name, name + "." + template_extension})
      if (File found = open_file(folder + platform.separator + file, "r")) return found;
  return nullptr;
}

// The line after a gallery name that is not found: the names the gallery
// holds, each once, in order. Nothing when it holds none.
void print_gallery_names(const std::string& program, const Platform& platform) {
  std::vector<std::string> names;
  const std::string dat = std::string(".") + template_extension;
  for (const std::string& folder : gallery(program, platform))
    for (const std::string& file : files_in_folder(folder))
      if (file.size() > dat.size() && same_name(file.substr(file.size() - dat.size()), dat))
        names.push_back(file.substr(0, file.size() - dat.size()));
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  if (names.empty()) return;
  std::string list;
  for (size_t i = 0; i < names.size(); ++i)
    list += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  std::fprintf(stderr, "Fatal: the templates that -c finds by name are %s\n", list.c_str());
}

// What the report is, when it lacks its byte-order mark, and what to do:
// the line after "Unicode identifier missing".
void print_fatal_start(Start start, const std::string& name) {
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
  if (input_index + 1 < argc) {
    // Nothing after the report's name counts: an option there is a slip.
    std::string ignored;
    for (int i = input_index + 1; i < argc; ++i)
      (ignored += i > input_index + 1 ? " " : "") += argv[i];
    std::fprintf(stderr,
                 "Warning: ignored after the file name: %s; put options before the file name.\n",
                 ignored.c_str());
  }
  names.input = argv[input_index];
  if (names.input.size() > max_input_path) {
    print_fatal("Fatal: File path too long, move it closer to the root of the disk\n");
    return exit_fatal;
  }

  names.program = locate_program(argv[0] ? argv[0] : "", std::getenv("PATH"));
  names.named = !config.empty();
  if (!names.named) {
    if (names.program.size() > max_program_path) {
      print_fatal("Fatal: Program path too long, move it closer to the root of the disk\n");
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

// Where the messages of a run from the command line go: the error stream,
// the titles as the console shows them.
void to_console(std::string_view text, Said said) {
  if (said == Said::words)
    std::fwrite(text.data(), 1, text.size(), stderr);
  else
    show_titles(text, said == Said::title_utf8);
}

int run(int argc, char** argv, const Platform& platform) {
  Names names;
  if (const int code = settle(argc, argv, platform, names); code >= 0) return code;
  // A terminal shows each title as it comes, as progress; a file or a
  // pipe gets them a few KiB at a time.
  const bool terminal = is_terminal(stderr);
  const int code = convert(names, platform, to_console, terminal);
  // Where a person watches, the last line says where the document went;
  // a script reads the same stream as ever.
  if (code == exit_ok && terminal)
    show_words("Document written: " + path_text(names.command.output) + "\n");
  return code;
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
      default: std::fprintf(stderr, "Unknown option %s\n", arg);
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

Document document_of(const Names& names, const Platform& platform) {
  Conversion c;  // says nothing: the run itself tells what is wrong; only the format counts
  File templates = open_template(names, platform);
  if (!templates || !get_template(c, templates.get())) return {"", document_type(c.format)};
  const std::string& output = names.command.output;
  return {output.empty() ? default_document(names.input, c.format, platform) : output,
          document_type(c.format)};
}

int convert(Names& names, const Platform& platform, const Messages::Sink& sink,
            bool titles_at_once) {
  const std::string& input = names.input;
  std::string& output = names.command.output;

  Conversion c;
  c.messages.sink = sink;
  c.messages.at_once = titles_at_once;
  init(c);
  FileId template_id;
  {
    File templates = open_template(names, platform);
    if (!templates) {
      print_fatal_file("Fatal: Configuration file %s failed to open\n", names.command.config,
                       errno);
      if (names.named && !has_folder(names.command.config, platform))
        print_gallery_names(names.program, platform);
      return exit_fatal;
    }
    template_id = file_id(templates.get());
    if (!get_template(c, templates.get())) {
      print_fatal_file("Fatal: Configuration file %s could not be read\n", names.command.config,
                       errno);
      return exit_fatal;
    }
  }
  // A document without a Schedule would be empty: a mistake in the
  // template file, or another file named in its place.
  if (!defines_schedule(c)) {
    std::fprintf(
        stderr,
        "Fatal: Configuration file %s defines no Schedule, so the document would be empty\n",
        names.command.config.c_str());
    return exit_fatal;
  }

  File report_file = open_file(input, "r");
  if (!report_file) {
    print_fatal_file("Fatal: Input file %s failed to open\n", input, errno);
    return exit_fatal;
  }
  // Until the first song record names the schedule, slot S holds the
  // report's path up to its first '.'. In a declared format it is the
  // report's text like the names that follow it.
  std::string path = input.substr(0, input.find('.'));
  if (c.format != Format::none) {
    const std::string characters = path_text(path);
    path.clear();
    append_formatted(path, characters, c.format);
  }
  store_escape(c, schedule_name_slot, path);

  // The report must be one before anything is written: a wrong file named
  // leaves the document it would have replaced as it was.
  Report report(report_file.get(), c.format);
  const bool marked = starts_with_mark(report);
  if (report.failed()) {
    print_fatal_file("Fatal: Input file %s could not be read\n", input, report.error());
    return exit_fatal;
  }
  if (!marked) {
    print_fatal_start(start_of(report.head()), input);
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
    print_fatal_file("Fatal: Output file %s failed to open\n", output, errno);
    return exit_fatal;
  }

  put_schedule(c, out.get(), report);
  // Single writes are not checked as the expansion goes on; the stream
  // remembers a failure, and closing flushes what is still buffered.
  bool failed = std::ferror(out.get()) != 0;
  if (std::fclose(out.release()) != 0) failed = true;
  const int write_error = errno;
  // A report that could not be read to its end gave a document cut short:
  // it stays, as far as it goes, and the run fails.
  if (report.failed()) {
    print_fatal_file("Fatal: Input file %s could not be read\n", input, report.error());
    return exit_fatal;
  }
  if (failed) {
    print_fatal_file("Fatal: Output file %s failed to write\n", output, write_error);
    return exit_fatal;
  }
  return exit_ok;
}

int _main(int argc, char** argv, const Platform& platform) {
  try {
    return run(argc, argv, platform);
  } catch (const std::bad_alloc&) {
    std::fputs("Fatal: Out of memory\n", stderr);
    return exit_fatal;
  }
}

}  // namespace lyricrtf
