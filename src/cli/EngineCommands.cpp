#include "cli/CommandHelpers.h"
#include "cli/EngineCommands.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>

#include "cli/ConsoleHost.h"
#include "cli/MatchCommand.h"
#include "core/ProgramDirectory.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "engines/EngineCatalogue.h"
#include "engines/EngineEndpoints.h"
#include "engines/ResultSectionCut.h"
#include "engines/SearchResultFile.h"

namespace zorvik::cli {

namespace {

constexpr const char* kQueryUsage =
    "usage: zorvik-search query --engine LIST/NAME... -e EXPRESSION [--ffa CODE] [--option TEXT]\n"
    "                           [--program-dir DIR]\n";

constexpr const char* kQueryHelp =
    "Prints the request address an engine of the robot's catalogue gets for a\n"
    "search expression. The expression is sent exactly as typed.\n"
    "\n"
    "  --engine LIST/NAME  an item of one engine list, e.g. \"Combo1/AltaVista\";\n"
    "                      once per list. With several, the first list (Combo1 to\n"
    "                      Combo5) whose item names an engine wins, as in the\n"
    "                      robot, and the chosen engine is printed on standard error.\n"
    "  -e EXPRESSION       the search expression\n"
    "  --ffa CODE          the FFA category (\"none\", \"1001\" ... \"1040\") for \"FFA Links\"\n"
    "  --option TEXT       the topic of \"Programming\" or the category of\n"
    "                      \"Search The Net\"\n"
    "  --program-dir DIR   where engines.ini is read (default: the program directory)\n"
    "\n"
    "engines.ini sets the address of single engines, one line each, for example\n"
    "  Combo1/AltaVista = http://127.0.0.1:8080\n"
    "Lines starting with # or ; are comments. An engine without a line is reached at\n"
    "http://www. + its name in lower case without blanks + .com. Lines that cannot\n"
    "be used are reported on standard error and skipped.\n"
    "\n"
    "Exit status: 0 when an address was printed, 1 when the lists choose no engine,\n"
    "2 on a usage error.\n";

constexpr const char* kCutUsage =
    "usage: zorvik-search cut [--engine LIST/NAME...] [--link-pass] [--result FILE]\n"
    "                         [--program-dir DIR] PAGE\n";

constexpr const char* kCutHelp =
    "Cuts an engine's result section out of a saved result page (PAGE, taken whole\n"
    "as the fetched page) as the robot does, prints what the page-text box then\n"
    "holds on standard output, and writes what the cut writes to the search result\n"
    "file (each write followed by CR LF) to the --result FILE (appended), or to\n"
    "standard error.\n"
    "\n"
    "  --engine LIST/NAME  as for 'zorvik-search query'; none: no engine is chosen,\n"
    "                      and the whole page is written\n"
    "  --link-pass         the smaller cut at the start of each link pass: it only\n"
    "                      writes, the page text stays as it was\n"
    "  --result FILE       where the written sections go (default: standard error)\n"
    "  --program-dir DIR   where engines.ini is read; the markers that contain an\n"
    "                      engine's address follow it\n";

void PrintLists(std::ostream& out) {
  out << "\nengine lists:\n";
  for (int n = 1; n <= kEngineListCount; ++n) {
    const EngineList& list = EngineListAt(n);
    out << "  " << list.control << " (" << list.caption << "):";
    bool first = true;
    for (std::string_view item : list.items) {
      if (item.empty()) continue;
      out << (first ? " " : ", ") << item;
      first = false;
    }
    out << '\n';
  }
}

int Usage(std::ostream& err, const char* usage, const std::string& problem) {
  err << "zorvik-search: " << problem << '\n' << usage;
  return kUsageError;
}



// The written sections on a stream, as the result file would hold them.
class StreamSink : public SectionSink {
 public:
  explicit StreamSink(std::ostream& out) : out_(out) {}
  void WriteSection(std::string_view text) override {
    out_ << text << "\r\n";
    out_.flush();
  }

 private:
  std::ostream& out_;
};

// What the two commands share: the engine choice and the program directory.
struct EngineOptions {
  RobotForm form;
  std::array<bool, kEngineListCount> given{};
  int count = 0;
  std::optional<std::filesystem::path> programDir;
};

// Takes an option the two commands share at args[i]; nothing when args[i] is
// not one of them, a problem text when it is malformed.
std::optional<std::optional<std::string>> TakeShared(const std::vector<std::string>& args, std::size_t& i,
                                                     EngineOptions& options) {
  const std::string& a = args[i];
  if (a == "--engine" || a == "--program-dir") {
    if (i + 1 >= args.size()) return std::optional<std::string>("option " + a + " needs a value");
    const std::string& value = args[++i];
    if (a == "--program-dir") {
      options.programDir = value;
      return std::optional<std::string>();
    }
    ++options.count;
    return ChooseEngineItem(options.form, options.given, value);
  }
  return std::nullopt;
}

EngineEndpoints LoadEndpoints(const EngineOptions& options, std::ostream& err) {
  ConsoleHost host(err);
  return EngineEndpoints::Load(options.programDir ? *options.programDir : ProgramDirectory(), host);
}

}  // namespace

int RunQueryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  EngineOptions options;
  std::optional<std::string> expression;
  SearchState state;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      out << kQueryUsage << '\n' << kQueryHelp;
      PrintLists(out);
      return kMatched;
    }
    if (auto shared = TakeShared(args, i, options)) {
      if (*shared) return Usage(err, kQueryUsage, **shared);
      continue;
    }
    if (a == "-e" || a == "--expression" || a == "--ffa" || a == "--option") {
      if (i + 1 >= args.size()) return Usage(err, kQueryUsage, "option " + a + " needs a value");
      const std::string& value = args[++i];
      if (a == "--ffa") state.FfaCategoryNumber = value;
      else if (a == "--option") state.SearchOption = value;
      else expression = value;
    } else {
      return Usage(err, kQueryUsage, "unknown argument " + a);
    }
  }
  if (options.count == 0) return Usage(err, kQueryUsage, "no engine given (--engine LIST/NAME)");
  if (!expression) return Usage(err, kQueryUsage, "no search expression given (-e EXPRESSION)");

  const EngineEndpoints endpoints = LoadEndpoints(options, err);
  if (AllEnginesChosen(options.form)) {
    err << "zorvik-search: \"All\" runs every engine of Combo1 in turn; name one of them\n";
    return kNoMatch;
  }
  const EngineRecord* engine = ResolveEngine(options.form);
  if (engine == nullptr) {
    err << "zorvik-search: the lists choose no engine; the robot would start from the typed address\n";
    return kNoMatch;
  }
  if (options.count > 1) err << "engine: " << QualifiedName(*engine) << '\n';
  out << BuildQueryAddress(*engine, endpoints, *expression, state.FfaCategoryNumber, state.SearchOption)
      << '\n';
  out.flush();
  return kMatched;
}

int RunCutCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  EngineOptions options;
  bool linkPass = false;
  std::optional<std::string> resultPath;
  std::vector<std::string> pages;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
      pages.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
    } else if (a == "-h" || a == "--help") {
      out << kCutUsage << '\n' << kCutHelp;
      PrintLists(out);
      return kMatched;
    } else if (auto shared = TakeShared(args, i, options)) {
      if (*shared) return Usage(err, kCutUsage, **shared);
    } else if (a == "--link-pass") {
      linkPass = true;
    } else if (a == "--result") {
      if (i + 1 >= args.size()) return Usage(err, kCutUsage, "option --result needs a file");
      resultPath = args[++i];
    } else {
      return Usage(err, kCutUsage, "unknown option " + a);
    }
  }
  if (pages.size() != 1) return Usage(err, kCutUsage, "give exactly one page file");
  std::string problem;
  const std::optional<std::string> page = ReadWhole(pages[0], problem);
  if (!page) {
    err << "zorvik-search: cannot read " << pages[0] << ": " << problem << '\n';
    return kUsageError;
  }

  const EngineEndpoints endpoints = LoadEndpoints(options, err);
  SearchResultFile resultFile;
  StreamSink errSink(err);
  SectionSink* sink = &errSink;
  if (resultPath) {
    if (!resultFile.Open(*resultPath)) {
      err << "zorvik-search: cannot open " << *resultPath << " for appending\n";
      return kUsageError;
    }
    sink = &resultFile;
  }

  const SearchState state;
  options.form.txtOutput = *page;
  ResultSectionCut cut(options.form, state, endpoints, *sink);
  if (linkPass) cut.LinkPassCut(*page);
  else cut.Cut();
  resultFile.Close();
  out << options.form.txtOutput;
  out.flush();
  return kMatched;
}

}  // namespace zorvik::cli
