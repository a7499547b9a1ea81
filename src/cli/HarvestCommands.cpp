#include "cli/CommandHelpers.h"
#include "cli/HarvestCommands.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/ConsoleHost.h"
#include "cli/MatchCommand.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "harvest/AddressHarvester.h"
#include "harvest/MailtoScan.h"
#include "harvest/ReportFiles.h"

namespace zorvik::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kWriteFailed = 3;

constexpr const char* kHarvestUsage =
    "usage: zorvik-search harvest [--program-dir DIR] [--base NAME] [--mailto] FILE...\n";

constexpr const char* kHarvestHelp =
    "usage: zorvik-search harvest [--program-dir DIR] [--base NAME] [--mailto] FILE...\n"
    "\n"
    "Harvests e-mail addresses from saved pages, as the robot does with\n"
    "\"Ext. Email(s)\" ticked. Each FILE is taken whole as one page; at most one\n"
    "address is taken from it, the one written around its first \"@\". Files are\n"
    "read in argument order by one harvester, so an address equal to the one\n"
    "recorded just before (on the previous page) is not recorded again.\n"
    "Every address recorded is appended to NAME_mailfile.txt in DIR and printed\n"
    "on its own line.\n"
    "\n"
    "Options:\n"
    "  --program-dir DIR  where the address file is kept (default: the current\n"
    "                     directory)\n"
    "  --base NAME        base name of the address file (default: zorvik)\n"
    "  --mailto           print the address of each file's first mailto link\n"
    "                     instead (an empty line when it has none); nothing is\n"
    "                     written\n"
    "\n"
    "Exit status: 0 when an address was printed, 1 when none was, 2 on a usage\n"
    "error, 3 when an address could not be written to the address file (a\n"
    "missing, full or read-only folder: said on standard error). A file that\n"
    "cannot be read, is not a regular file (a directory, a device, a pipe) or is\n"
    "larger than 1 GiB is reported on standard error and skipped.\n";

constexpr const char* kReportUsage = "usage: zorvik-search report URLFILE [--out FILE]\n";

constexpr const char* kReportHelp =
    "usage: zorvik-search report URLFILE [--out FILE]\n"
    "\n"
    "Writes the searched report of a URL file: an HTML table with one row for\n"
    "every record of three lines (page address, page title, mailto address or\n"
    "an empty line). Line ends may be CR LF or LF; a last record with missing\n"
    "lines counts them as empty. The report replaces FILE whole, only once it is\n"
    "complete.\n"
    "\n"
    "Options:\n"
    "  --out FILE  where to write the report (default: the URL file's name\n"
    "              without its extension, followed by _searched.htm, beside it)\n"
    "\n"
    "Exit status: 0 when the report was written, 1 when it could not be (the URL\n"
    "file not a regular file of at most 1 GiB, or the report not writable), 2 on\n"
    "a usage error.\n";


int Usage(std::ostream& err, const char* usage, const std::string& problem) {
  err << "zorvik-search: " << problem << '\n' << usage << "Try 'zorvik-search --help'.\n";
  return kUsageError;
}

// Takes the value of an option written "--name VALUE" or "--name=VALUE".
// Returns false when `a` is not that option; sets `missing` when the value is.
bool OptionValue(const std::vector<std::string>& args, std::size_t& i, std::string_view name,
                 std::optional<std::string>& value, bool& missing) {
  const std::string& a = args[i];
  if (a == name) {
    if (i + 1 >= args.size()) {
      missing = true;
      return true;
    }
    value = args[++i];
    return true;
  }
  if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
    value = a.substr(name.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

int RunHarvestCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::optional<std::string> programDir;
  std::optional<std::string> base;
  bool mailto = false;
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool missing = false;
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
      files.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (a == "-h" || a == "--help") {
      out << kHarvestHelp;
      return kMatched;
    } else if (a == "--mailto") {
      mailto = true;
    } else if (OptionValue(args, i, "--program-dir", programDir, missing) ||
               OptionValue(args, i, "--base", base, missing)) {
      if (missing) return Usage(err, kHarvestUsage, "option " + a + " needs a value");
    } else {
      return Usage(err, kHarvestUsage, "unknown option " + a);
    }
  }
  if (files.empty()) return Usage(err, kHarvestUsage, "no files to harvest");
  if (programDir && programDir->empty()) return Usage(err, kHarvestUsage, "empty program directory");

  ConsoleHost host(err);
  RobotForm form;
  SearchState state;
  state.ResultBaseName = base.value_or("zorvik");
  harvest::AddressHarvester harvester(host, form, state, programDir ? fs::path(*programDir) : fs::path("."));
  bool anyPrinted = false;
  bool writeFailed = false;
  for (const std::string& path : files) {
    std::string problem;
    std::optional<std::string> page = ReadWhole(path, problem);
    if (!page) {
      err << "zorvik-search: cannot read " << path << ": " << problem << '\n';
      continue;
    }
    if (mailto) {
      const std::string address = harvest::MailtoScan(*page);
      out << address << '\n';
      anyPrinted = anyPrinted || !address.empty();
      continue;
    }
    form.PageText = std::move(*page);
    if (const std::optional<std::string> address = harvester.Harvest()) {
      out << *address << '\n';
      anyPrinted = true;
      if (const std::error_code error = harvester.LastWriteError()) {
        out.flush();
        err << "zorvik-search: cannot write " << harvester.AddressFilePath().string() << ": " << error.message()
            << '\n';
        writeFailed = true;
      }
    }
  }
  out.flush();
  if (writeFailed) return kWriteFailed;
  return anyPrinted ? kMatched : kNoMatch;
}

int RunReportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::optional<std::string> output;
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool missing = false;
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
      files.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (a == "-h" || a == "--help") {
      out << kReportHelp;
      return kMatched;
    } else if (OptionValue(args, i, "--out", output, missing)) {
      if (missing) return Usage(err, kReportUsage, "option " + a + " needs a value");
    } else {
      return Usage(err, kReportUsage, "unknown option " + a);
    }
  }
  if (files.empty()) return Usage(err, kReportUsage, "no URL file given");
  if (files.size() > 1) return Usage(err, kReportUsage, "one URL file at a time");
  if (output && output->empty()) return Usage(err, kReportUsage, "empty output file name");

  const fs::path urlFile(files.front());
  fs::path target;
  if (output) {
    target = *output;
  } else {
    target = urlFile.parent_path() / (urlFile.stem().string() + "_searched.htm");
  }
  if (const std::optional<std::string> problem = InputFileProblem(urlFile.string())) {
    err << "zorvik-search: cannot read " << urlFile.string() << ": " << *problem << '\n';
    return kNoMatch;
  }
  if (!harvest::WriteSearchedReportFile(urlFile, target)) {
    err << "zorvik-search: cannot write the report of " << urlFile.string() << " to " << target.string()
        << '\n';
    return kNoMatch;
  }
  return kMatched;
}

}  // namespace zorvik::cli
