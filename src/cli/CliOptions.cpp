#include "cli/CliOptions.h"

namespace ovik {

const char* const kCliUsage =
    "Usage: ovik-verify [--errors-only | --non-errors-only] [--quiet] [--progress] [--cached]\n"
    "                   [--report FILE] [--csv FILE] SOURCE DESTINATION\n"
    "\n"
    "Checks that every file under SOURCE has a twin at the same relative path under\n"
    "DESTINATION with the same length and the same bytes. Extra files in DESTINATION\n"
    "are not looked for.\n"
    "\n"
    "  --errors-only      list only the files with errors\n"
    "  --non-errors-only  list only the files that verified OK\n"
    "  --quiet            print only the verdict\n"
    "  --report FILE      write the details as a text report to FILE\n"
    "  --csv FILE         write the details as CSV to FILE; both reports hold the\n"
    "                     lines that --errors-only or --non-errors-only let through\n"
    "  --progress         show progress on standard error when it is a terminal\n"
    "  --cached           read the destination through the page cache; by default\n"
    "                     its blocks are read from the medium itself, so that data\n"
    "                     still in memory after a copy cannot hide a bad copy\n"
    "  --help             show this help\n"
    "  --version          show the version\n"
    "\n"
    "Exit status: 0 Verified OK, 1 Errors, 2 No source files, 3 Aborted,\n"
    "4 a report could not be written, 64 bad usage.\n";

namespace {

// Takes the file name of "--report FILE" or "--report=FILE" into `target`.
// `i` is moved past the name when it is a separate argument.
bool TakeFileArgument(const std::vector<std::string>& args, std::size_t& i, const std::string& option,
                      std::string& target, std::string& error) {
  const std::string& arg = args[i];
  if (arg.size() > option.size()) {
    target = arg.substr(option.size() + 1);
  } else if (i + 1 < args.size()) {
    target = args[++i];
  } else {
    target.clear();
  }
  if (target.empty()) error = option + " needs a file name";
  return !target.empty();
}

bool IsFileOption(const std::string& arg, const std::string& option) {
  return arg == option || arg.rfind(option + "=", 0) == 0;
}

}  // namespace

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error) {
  CliOptions options;
  std::vector<std::string> folders;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      folders.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--errors-only" || arg == "--non-errors-only") {
      const ReportFilter filter = arg == "--errors-only" ? ReportFilter::ErrorsOnly : ReportFilter::NonErrorsOnly;
      if (options.filter != ReportFilter::All && options.filter != filter) {
        error = "--errors-only and --non-errors-only exclude each other";
        return std::nullopt;
      }
      options.filter = filter;
    } else if (IsFileOption(arg, "--report")) {
      if (!TakeFileArgument(args, i, "--report", options.reportFile, error)) return std::nullopt;
    } else if (IsFileOption(arg, "--csv")) {
      if (!TakeFileArgument(args, i, "--csv", options.csvFile, error)) return std::nullopt;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--progress") {
      options.progress = true;
    } else if (arg == "--cached") {
      options.cached = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else {
      error = "unknown option: " + arg;
      return std::nullopt;
    }
  }
  if (options.help || options.version) return options;
  if (folders.size() != 2) {
    error = folders.size() < 2 ? "a source and a destination folder are needed" : "too many arguments";
    return std::nullopt;
  }
  if (folders[0].empty() || folders[1].empty()) {
    error = "a folder name cannot be empty";
    return std::nullopt;
  }
  options.source = folders[0];
  options.destination = folders[1];
  return options;
}

}  // namespace ovik
