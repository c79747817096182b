#include "cli/CliOptions.h"

#include "platform/files/FolderCheck.h"

namespace ovik {

const char* const kCliUsage =
    "Usage: ovik-verify [-e | -n] [-q] [-p] [-H] [--cached] [--allow-sleep]\n"
    "                   [--readers=auto|N] [--verbose] [--unicode-equal]\n"
    "                   [--explain] [--json]\n"
    "                   [--report FILE] [--csv FILE] [--write-sums FILE]\n"
    "                   SOURCE DESTINATION\n"
    "  or:  ovik-verify [-e | -n] [-q] [-p] [--cached] [--allow-sleep]\n"
    "                   [--readers=auto|N] [--verbose]\n"
    "                   [--report FILE] [--csv FILE] [-a NAME] -c LIST [FOLDER]\n"
    "\n"
    "Checks that every file under SOURCE has a twin at the same relative path under\n"
    "DESTINATION with the same length and the same bytes. Extra files in DESTINATION\n"
    "are not looked for. Hidden sub-folders (names that begin with \".\") and a\n"
    "file system's own lost+found are passed over unless -H is given; each one is\n"
    "named in the details.\n"
    "\n"
    "With -c, checks the files named in the checksum list LIST instead, by their\n"
    "digest, below FOLDER (by default the folder that holds LIST; the current\n"
    "folder when LIST is - for standard input, a pipe or another file that is not\n"
    "a regular one): the lines of md5sum, sha1sum, sha256sum, sha512sum or b2sum,\n"
    "plain or tagged. A line that cannot be understood, or names a file outside\n"
    "FOLDER, is an error.\n"
    "\n"
    "  -e, --errors-only      list only the files with errors\n"
    "  -n, --non-errors-only  list only the files that verified OK and the folders\n"
    "                         passed over\n"
    "  -q, --quiet            print only the verdict\n"
    "  --report FILE          write the details as a text report to FILE\n"
    "  --csv FILE             write the details as CSV to FILE; both reports hold the\n"
    "                         lines that -e or -n let through\n"
    "  -p, --progress         show progress on standard error when it is a terminal,\n"
    "                         with the rate over the last few seconds in MB/s\n"
    "                         (1 MB = 1,000,000 bytes) and the estimated time left\n"
    "  -H, --hidden           verify hidden sub-folders and a file system's\n"
    "                         lost+found like any other folder\n"
    "  --unicode-equal        where DESTINATION lacks a file under its source name\n"
    "                         but has it under the same name in the other Unicode\n"
    "                         form (NFC or NFD, as some systems and shares write\n"
    "                         names), compare that file as the twin\n"
    "  --write-sums FILE      record the SHA-256 of every source file that can be\n"
    "                         read in FILE, as sha256sum writes it, so that\n"
    "                         'sha256sum -c FILE' run in DESTINATION checks the\n"
    "                         copy\n"
    "  -c, --check LIST       check FOLDER against the checksum list LIST\n"
    "  -a, --algorithm NAME   with -c: the list's untagged hashes are NAME (md5,\n"
    "                         sha1, sha224, sha256, sha384, sha512 or blake2b);\n"
    "                         without it their length tells, and 128 digits are\n"
    "                         SHA-512 or BLAKE2b as the files show\n"
    "  --cached               read the destination through the page cache; by default\n"
    "                         its blocks are read from the medium itself, so that data\n"
    "                         still in memory after a copy cannot hide a bad copy\n"
    "  --readers=auto|N       read each medium with N readers; auto: many on flash,\n"
    "                         one head in the order of the data on a disk that\n"
    "                         seeks, with more only while they raise the rate\n"
    "  --verbose              tell on standard error how each medium is read\n"    "  --allow-sleep          let the computer go to sleep during the run; by\n"
    "                         default the run holds sleep off (not the screen saver)\n"
    "                         through the login manager, where there is one\n"
    "  --explain              under each mismatch, what its damage looks like (zeros,\n"
    "                         0xFF, bits, shift, repeat, short, long); the file is\n"
    "                         read to its end\n"
    "  --json                 JSON Lines instead of text: \"start\", \"result\",\n"
    "                         \"progress\" and \"summary\" objects; see ovik-verify(1)\n"
    "  -h, --help             show this help\n"
    "  --version              show the version\n"
    "\n"
    "Options without a value combine: -qp is -q -p. After --, every argument is a\n"
    "folder name.\n"
    "\n"
    "Outputs are written as shell redirection writes them, but never half: a file\n"
    "is replaced only by a complete one, a link's target is written, a device or a\n"
    "pipe is written in place. An aborted run writes no output: earlier files are\n"
    "left as they were. Two outputs may not be one file, and a FIFO needs a reader\n"
    "before the run. Names holding control characters are escaped.\n"
    "\n"
    "Exit status: 0 Verified OK, 1 Errors, 2 No source files, 3 Aborted,\n"
    "4 an output (a report, the checksum list or standard output) could not be\n"
    "written, 64 bad usage.\n";

namespace {

// Reads the arguments one by one into the options and the folder names; the
// first problem found is kept in `error` and ends the parse.
class CliParser {
 public:
  CliParser(const std::vector<std::string>& args, std::string& error) : args_(args), error_(error) {}

  std::optional<CliOptions> Parse() {
    bool optionsEnded = false;
    for (i_ = 0; i_ < args_.size() && error_.empty(); ++i_) {
      const std::string& arg = args_[i_];
      if (optionsEnded || arg.size() < 2 || arg[0] != '-') folders_.push_back(arg);
      else if (arg == "--") optionsEnded = true;
      else if (arg[1] == '-') TakeLongOption(arg);
      else TakeShortOptions(arg);
    }
    if (!error_.empty()) return std::nullopt;
    if (options_.help || options_.version) return options_;
    if (!TakeFolders()) return std::nullopt;
    return options_;
  }

 private:
  void TakeLongOption(const std::string& arg) {
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (name == "--report" || name == "--csv" || name == "--write-sums") {
      TakeFileName(name, equals,
                   name == "--report" ? options_.reportFile : name == "--csv" ? options_.csvFile : options_.sumsFile);
    } else if (name == "--check") {
      TakeFileName(name, equals, list_);
    } else if (name == "--readers") {
      std::string value;
      TakeFileName(name, equals, value);
      TakeReaders(value);
    } else if (name == "--algorithm") {
      std::string value;
      TakeFileName(name, equals, value);
      TakeAlgorithm(value);
    } else if (!IsLongFlag(name)) {
      Fail("unknown option: " + name);
    } else if (equals != std::string::npos) {
      Fail(name + " takes no value");
    } else {
      SetLongFlag(name);
    }
  }

  static bool IsLongFlag(const std::string& name) {
    for (const char* flag : {"--errors-only", "--non-errors-only", "--quiet", "--progress", "--hidden", "--cached",
                             "--allow-sleep", "--verbose", "--unicode-equal", "--explain", "--json", "--help",
                             "--version"})
      if (name == flag) return true;
    return false;
  }

  void SetLongFlag(const std::string& name) {
    if (name == "--errors-only") SetFilter(ReportFilter::ErrorsOnly);
    else if (name == "--non-errors-only") SetFilter(ReportFilter::NonErrorsOnly);
    else if (name == "--quiet") options_.quiet = true;
    else if (name == "--progress") options_.progress = true;
    else if (name == "--hidden") options_.includeHidden = true;
    else if (name == "--cached") options_.cached = true;
    else if (name == "--allow-sleep") options_.allowSleep = true;
    else if (name == "--unicode-equal") options_.unicodeEqual = true;
    else if (name == "--verbose") options_.verbose = true;
    else if (name == "--explain") options_.explain = true;
    else if (name == "--json") options_.json = true;
    else if (name == "--help") options_.help = true;
    else options_.version = true;
  }

  // "-qp" is "-q -p": every letter is an option without a value.
  void TakeShortOptions(const std::string& arg) {
    for (std::size_t k = 1; k < arg.size() && error_.empty(); ++k) {
      switch (arg[k]) {
        case 'e': SetFilter(ReportFilter::ErrorsOnly); break;
        case 'n': SetFilter(ReportFilter::NonErrorsOnly); break;
        case 'q': options_.quiet = true; break;
        case 'p': options_.progress = true; break;
        case 'H': options_.includeHidden = true; break;
        case 'h': options_.help = true; break;
        case 'c':
          // The rest of the argument is the list's name, or else the next
          // argument is.
          if (k + 1 < arg.size()) list_ = arg.substr(k + 1);
          else if (i_ + 1 < args_.size()) list_ = args_[++i_];
          if (list_.empty()) Fail("-c needs a file name");
          return;
        case 'a': {
          std::string value;
          if (k + 1 < arg.size()) value = arg.substr(k + 1);
          else if (i_ + 1 < args_.size()) value = args_[++i_];
          TakeAlgorithm(value);
          return;
        }
        default: Fail(std::string("unknown option: -") + arg[k]);
      }
    }
  }

  // "auto", or a count from 1 to kMostReaders.
  void TakeReaders(const std::string& value) {
    constexpr std::size_t kMostReaders = 64;
    if (value == "auto") {
      options_.readers = 0;
      return;
    }
    const bool digitsOnly = !value.empty() && value.size() <= 3 && value.find_first_not_of("0123456789") == std::string::npos;
    const std::size_t count = digitsOnly ? std::stoul(value) : 0;
    if (!digitsOnly || count == 0 || count > kMostReaders)
      Fail("--readers takes auto or a count from 1 to " + std::to_string(kMostReaders) + ": " + value);
    else options_.readers = count;
  }

  void TakeAlgorithm(const std::string& name) {
    options_.algorithm = KindOfName(name);
    if (!options_.algorithm) Fail(name.empty() ? "-a needs a hash name" : "unknown hash: " + name);
  }

  void SetFilter(ReportFilter filter) {
    if (options_.filter != ReportFilter::All && options_.filter != filter)
      Fail("--errors-only and --non-errors-only exclude each other");
    options_.filter = filter;
  }

  // The file name of "--report FILE" or "--report=FILE".
  void TakeFileName(const std::string& option, std::size_t equals, std::string& target) {
    if (equals != std::string::npos) target = args_[i_].substr(equals + 1);
    else if (i_ + 1 < args_.size()) target = args_[++i_];
    else target.clear();
    if (target.empty()) Fail(option + " needs a file name");
  }

  bool TakeFolders() {
    if (!list_.empty()) return TakeListAndFolder();
    if (options_.algorithm) Fail("--algorithm goes with --check");
    if (folders_.size() != 2) {
      Fail(folders_.size() < 2 ? "a source and a destination folder are needed" : "too many arguments");
    } else if (folders_[0].empty() || folders_[1].empty()) {
      Fail("a folder name cannot be empty");
    } else {
      options_.source = folders_[0];
      options_.destination = folders_[1];
    }
    return error_.empty();
  }

  bool TakeListAndFolder() {
    if (!options_.sumsFile.empty()) Fail("--write-sums and --check exclude each other");
    else if (folders_.size() > 1) Fail("too many arguments");
    else if (folders_.size() == 1 && folders_[0].empty()) Fail("a folder name cannot be empty");
    options_.check = true;
    options_.source = list_;
    options_.destination = folders_.empty() ? FolderDescribedByList(list_) : folders_[0];
    return error_.empty();
  }

  void Fail(std::string problem) {
    if (error_.empty()) error_ = std::move(problem);
  }

  const std::vector<std::string>& args_;
  std::string& error_;
  std::size_t i_ = 0;
  CliOptions options_;
  std::vector<std::string> folders_;
  std::string list_;
};

}  // namespace

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error) {
  error.clear();
  return CliParser(args, error).Parse();
}

}  // namespace ovik
