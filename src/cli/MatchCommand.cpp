#include "cli/CommandHelpers.h"
#include "cli/MatchCommand.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/ConsoleHost.h"
#include "core/SearchState.h"
#include "query/clsDocumentAnalyst.h"

namespace zorvik::cli {

namespace {

constexpr const char* kUsage = "usage: zorvik-search match -e EXPRESSION FILE...\n";

constexpr const char* kHelp =
    "usage: zorvik-search match -e EXPRESSION FILE...\n"
    "\n"
    "Tests each FILE, taken whole as the text of a fetched web page, against a\n"
    "search expression and prints the path of every file that matches, one per\n"
    "line. Exit status: 0 when a file matched, 1 when none did, 2 on a usage\n"
    "error. A file that cannot be read, is not a regular file (a directory, a\n"
    "device, a pipe) or is larger than 1 GiB is reported on standard error and\n"
    "skipped.\n"
    "\n"
    "The search expression language:\n"
    "  word             found anywhere in the page text, ignoring letter case;\n"
    "                   a part of a longer word counts (cat finds concatenate)\n"
    "  \"two words\"      a phrase, found exactly as written (blanks included)\n"
    "  a and b          both (also written: a in_sentence_with b)\n"
    "  a or b           either\n"
    "  not a            a does not occur (applies to the one word or bracket after it)\n"
    "  a near b         an a and a b fewer than 200 characters apart\n"
    "  ( ... )          grouping\n"
    "Markup tags are removed before the test (\"<b>\" leaves no blank), entities\n"
    "such as &amp; are not decoded. \"and\" binds more loosely than \"or\":\n"
    "a or b and c means (a or b) and c. Precedence, loosest first: and, or,\n"
    "near, in_sentence_with, not. Two words side by side are not an operator:\n"
    "only the first counts.\n"
    "\n"
    "Examples:\n"
    "  zorvik-search match -e 'robot and (crawler or spider)' pages/*.htm\n"
    "  zorvik-search match -e '\"search engine\" near free and not advert' page.htm\n";


int Usage(std::ostream& err, const std::string& problem) {
  err << "zorvik-search: " << problem << '\n' << kUsage << "Try 'zorvik-search --help'.\n";
  return kUsageError;
}

}  // namespace

int RunMatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::optional<std::string> expression;
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
      files.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (a == "-h" || a == "--help") {
      out << kHelp;
      return kMatched;
    } else if (a == "-e" || a == "--expression") {
      if (i + 1 >= args.size()) return Usage(err, "option " + a + " needs an expression");
      expression = args[++i];
    } else if (a.rfind("--expression=", 0) == 0) {
      expression = a.substr(13);
    } else {
      return Usage(err, "unknown option " + a);
    }
  }
  if (!expression) return Usage(err, "no search expression given (-e EXPRESSION)");
  if (files.empty()) return Usage(err, "no files to test");

  ConsoleHost host(err);
  const SearchState state;
  clsDocumentAnalyst analyst(host, state);
  analyst.Init(*expression);
  bool anyMatched = false;
  for (const std::string& path : files) {
    std::string problem;
    const std::optional<std::string> page = ReadWhole(path, problem);
    if (!page) {
      err << "zorvik-search: cannot read " << path << ": " << problem << '\n';
      continue;
    }
    if (analyst.DocumentMatches(*page)) {
      out << path << '\n';
      anyMatched = true;
    }
  }
  out.flush();
  return anyMatched ? kMatched : kNoMatch;
}

}  // namespace zorvik::cli
