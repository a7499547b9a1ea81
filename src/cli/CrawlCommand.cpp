#include "cli/CommandHelpers.h"
#include "cli/CrawlCommand.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <ostream>
#include <vector>

#include "cli/CrawlHost.h"
#include "cli/MatchCommand.h"
#include "core/ProgramDirectory.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "engines/EngineCatalogue.h"
#include "engines/WebRobot.h"

namespace zorvik::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kFinished = 0;
constexpr int kStopped = 1;
constexpr int kStartFailed = 3;
constexpr int kWriteFailed = 4;

constexpr const char* kUsage =
    "usage: zorvik-search crawl -e EXPRESSION (-u START_ADDRESS | --engine LIST/NAME... | --all |\n"
    "                           --open-page FILE.htm | --site-search) -o URLFILE.txt [-d DEPTH]\n"
    "                           [--pages] [--pictures] [--emails] [--ext-emails] [--links] [--stay]\n"
    "                           [--collection DIR] [--program-dir DIR] [--wait SECONDS]\n"
    "                           [--no-robots] [--once] [--https] [--min-rate BYTES]\n"
    "                           [--page-time SECONDS] [--ffa CODE] [--option TEXT] [--tree]\n"
    "                           [--verbose]\n";

constexpr const char* kHelp =
    "Runs a search of the robot without its window: the options fill the\n"
    "window's boxes and lists, answer its dialogs, and the search starts as the\n"
    "toolbar's Search button starts it (or \"All\", the open-page search, the\n"
    "site search). Every output file is written into the program directory.\n"
    "\n"
    "What to search:\n"
    "  -e EXPRESSION        the search expression (required)\n"
    "  -u START_ADDRESS     the start address (the URL box)\n"
    "  --engine LIST/NAME   an item of an engine list, e.g. \"Combo1/Lycos\" or\n"
    "                       \"5/Programming\"; repeat for other lists. An engine's\n"
    "                       query address takes the place of the start address.\n"
    "  --all                every general engine in turn (\"All\")\n"
    "  --open-page FILE.htm search from the links of a page on disk\n"
    "  --site-search        every query address of sitesearch.txt in the program\n"
    "                       directory, \"txtSearchString\" replaced by the expression\n"
    "  -d DEPTH             levels to search (default 2)\n"
    "\n"
    "Answers to the search's questions:\n"
    "  -o URLFILE.txt       the URL file; matching pages are recorded in it and\n"
    "                       its name without the last four characters names the\n"
    "                       other output files (not needed with --open-page)\n"
    "  --collection DIR     where saved pages and pictures go (asked for when\n"
    "                       --pages, --pictures, --emails or --links is given;\n"
    "                       without it they go into the folder \"collection\" of\n"
    "                       the program directory)\n"
    "  --ffa CODE           the FFA category (\"none\", \"1001\" ... \"1040\")\n"
    "  --option TEXT        the topic of \"Programming\", the category of\n"
    "                       \"Search The Net\"\n"
    "\n"
    "What to collect (the window's check boxes):\n"
    "  --pages              save matching pages            (\"Page(s)\")\n"
    "  --pictures           save pictures                  (\"Picture(s)\")\n"
    "  --emails             record each matching page's first mailto address\n"
    "                                                      (\"Email(s)\")\n"
    "  --ext-emails         harvest addresses from every page (\"Ext. Email(s)\")\n"
    "  --links              log new absolute links         (\"Links\")\n"
    "  --stay               fetch each page only            (\"Stay within Domain\")\n"
    "\n"
    "How to crawl:\n"
    "  --program-dir DIR    where the output files go, sitesearch.txt and\n"
    "                       engines.ini are read (default: the current directory)\n"
    "  --wait SECONDS       seconds between fetches (default 15); lower it only\n"
    "                       for servers of your own\n"
    "  --no-robots          do not consult robots.txt (a file that has not arrived\n"
    "                       within 10 s counts as none)\n"
    "  --once               fetch each page once: an address read before in this\n"
    "                       search is not requested again, and a matching page is\n"
    "                       recorded once\n"
    "  --https              follow absolute https links too\n"
    "  --min-rate BYTES     a page that comes slower than BYTES a second, averaged\n"
    "                       over 60 s, fails (default 1024; 0: no minimum)\n"
    "  --page-time SECONDS  a page that takes longer than this fails, however fast\n"
    "                       it comes (default 300; 0: no limit). A page also fails\n"
    "                       after 60 s without a byte, and above 64 MiB.\n"
    "\n"
    "Output:\n"
    "  --tree               print the tree of every address reached at the end\n"
    "  --verbose            when standard error is no terminal, one line for each\n"
    "                       new transfer state (a terminal always shows a status line)\n"
    "\n"
    "Message boxes are printed on standard error as \"title: text\". Ctrl+C is the\n"
    "Stop button; pressed again, it ends the program at once.\n"
    "\n"
    "Exit status: 0 when the search finished, 1 when it was stopped, 2 on a usage\n"
    "error or input the search refused (depth, start address, expression), 3 when\n"
    "the start address could not be fetched (the reason on standard error), 4\n"
    "when a file could not be written (the search stops there).\n";

int Usage(std::ostream& err, const std::string& problem) {
  err << "zorvik-search crawl: " << problem << '\n' << kUsage << "Try 'zorvik-search crawl --help'.\n";
  return kUsageError;
}

enum class Start { Toolbar, All, OpenPage, SiteSearch };

struct CrawlOptions {
  RobotForm form;  // the boxes and lists as the options set them
  std::array<bool, kEngineListCount> listGiven{};
  std::optional<std::string> expression;
  std::optional<std::string> wait;
  std::optional<std::string> minRate;
  std::optional<std::string> pageTime;
  std::optional<fs::path> programDir;
  CrawlAnswers answers;
  Start start = Start::Toolbar;
  int startsGiven = 0;
  bool obeyRobots = true;
  bool fetchOnce = false;
  bool followHttps = false;
  bool tree = false;
  bool verbose = false;
  bool stats = false;
};


std::optional<int> NonNegativeInt(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

// Reads the arguments; a problem text when they are not usable.
std::optional<std::string> Parse(const std::vector<std::string>& args, CrawlOptions& o, bool& help) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      help = true;
      return std::nullopt;
    }
    bool* flag = a == "--pages"        ? &o.form.chkSave
                 : a == "--pictures"   ? &o.form.chkPix
                 : a == "--emails"     ? &o.form.chkEmail
                 : a == "--ext-emails" ? &o.form.chkExtEmail
                 : a == "--links"      ? &o.form.chkLinks
                 : a == "--stay"       ? &o.form.chkStay
                 : a == "--tree"       ? &o.tree
                 : a == "--verbose"    ? &o.verbose
                 : a == "--stats"      ? &o.stats
                 : a == "--https"      ? &o.followHttps
                 : a == "--once"       ? &o.fetchOnce
                                       : nullptr;
    if (flag != nullptr) {
      *flag = true;
      continue;
    }
    if (a == "--no-robots") {
      o.obeyRobots = false;
      continue;
    }
    if (a == "--all" || a == "--site-search") {
      o.start = a == "--all" ? Start::All : Start::SiteSearch;
      ++o.startsGiven;
      continue;
    }
    static constexpr std::array<std::string_view, 13> kValued = {
        "-e",     "-u",    "-o",       "-d",         "--engine",   "--open-page", "--collection", "--program-dir",
        "--wait", "--ffa", "--option", "--min-rate", "--page-time"};
    if (std::find(kValued.begin(), kValued.end(), a) == kValued.end()) return "unknown argument " + a;
    if (i + 1 >= args.size()) return "option " + a + " needs a value";
    const std::string& v = args[++i];
    if (a == "-e") {
      o.expression = v;
    } else if (a == "-u") {
      o.form.txtURL = v;
    } else if (a == "-o") {
      if (v.empty()) return "-o needs a file name";
      o.answers.urlFile = fs::absolute(v).string();
    } else if (a == "-d") {
      o.form.txtSearchDepth = v;
    } else if (a == "--engine") {
      if (auto problem = ChooseEngineItem(o.form, o.listGiven, v)) return problem;
    } else if (a == "--open-page") {
      if (v.empty()) return "--open-page needs a file name";
      o.answers.openPage = fs::absolute(v).string();
      o.start = Start::OpenPage;
      ++o.startsGiven;
    } else if (a == "--collection") {
      if (v.empty()) return "--collection needs a folder";
      o.answers.collection = fs::absolute(v).string();
    } else if (a == "--program-dir") {
      if (v.empty()) return "--program-dir needs a folder";
      o.programDir = fs::absolute(v);
    } else if (a == "--wait") {
      o.wait = v;
    } else if (a == "--min-rate") {
      o.minRate = v;
    } else if (a == "--page-time") {
      o.pageTime = v;
    } else if (a == "--ffa") {
      o.answers.ffaCode = v;
    } else {
      o.answers.option = v;
    }
  }
  if (!o.expression) return "no search expression given (-e EXPRESSION)";
  if (o.startsGiven > 1) return "choose one of --all, --open-page and --site-search";
  if (o.start != Start::OpenPage && !o.answers.urlFile) return "no URL file given (-o URLFILE.txt)";
  if (o.wait && !NonNegativeInt(*o.wait)) return "--wait wants a whole number of seconds, not \"" + *o.wait + "\"";
  if (o.minRate && !NonNegativeInt(*o.minRate))
    return "--min-rate wants a whole number of bytes, not \"" + *o.minRate + "\"";
  if (o.pageTime && !NonNegativeInt(*o.pageTime))
    return "--page-time wants a whole number of seconds, not \"" + *o.pageTime + "\"";
  if (o.answers.ffaCode) {
    const auto codes = FfaCategories();
    const bool known = std::any_of(codes.begin(), codes.end(), [&](std::string_view item) {
      return o.answers.ffaCode->size() == 4 && item.substr(0, 4) == *o.answers.ffaCode;
    });
    if (!known) return "--ffa wants a category code (\"none\", \"1001\" ... \"1040\"), not \"" + *o.answers.ffaCode + "\"";
  }
  if (o.answers.option) {
    // The engine that will ask for an option must offer this one.
    for (int n = 1; n <= kEngineListCount; ++n) {
      const EngineRecord* engine = FindEngine(n, o.form.Combo(n));
      if (engine == nullptr) continue;
      const auto items = SearchOptionItems(*engine);
      if (!items.empty() && std::find(items.begin(), items.end(), *o.answers.option) == items.end())
        return "\"" + std::string(engine->name) + "\" has no search option \"" + *o.answers.option + "\"";
    }
  }
  std::error_code ec;
  if (!o.programDir) o.programDir = fs::current_path(ec);
  if (!fs::is_directory(*o.programDir, ec)) return "no such program directory: " + o.programDir->string();
  if (o.answers.urlFile && !fs::is_directory(fs::path(*o.answers.urlFile).parent_path(), ec))
    return "the URL file's folder does not exist: " + *o.answers.urlFile;
  if (o.answers.openPage && !fs::is_regular_file(*o.answers.openPage, ec))
    return "no such page: " + *o.answers.openPage;
  if (o.answers.collection && !fs::is_directory(*o.answers.collection, ec))
    return "no such collection folder: " + *o.answers.collection;
  if (o.start == Start::SiteSearch && !fs::is_regular_file(*o.programDir / "sitesearch.txt", ec))
    return "no sitesearch.txt in " + o.programDir->string();
  return std::nullopt;
}

void PrintFiles(WebRobot& robot, std::ostream& out) {
  const auto line = [&out](std::string_view what, const fs::path& path) {
    std::error_code ec;
    out << what << path.string() << (fs::exists(path, ec) ? "" : " (not written)") << '\n';
  };
  const SearchState& state = robot.State();
  line("URL file:           ", state.UrlFilePath);
  line("search result file: ", robot.SearchResultPath());
  line("searched report:    ", robot.Reports().SearchedReportPath());
  line("address file:       ", robot.Harvester().AddressFilePath());
  line("links report:       ", robot.Reports().LinksReportPath());
}

}  // namespace

int RunCrawlCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CrawlOptions o;
  bool help = false;
  if (auto problem = Parse(args, o, help)) return Usage(err, *problem);
  if (help) {
    out << kUsage << '\n' << kHelp;
    return kFinished;
  }

  ProgressStyle style = ProgressStyle::None;
  if (&err == &std::cerr && ::isatty(STDERR_FILENO) == 1) {
    style = ProgressStyle::StatusLine;
  } else if (o.verbose) {
    style = ProgressStyle::PanelLines;
  }
  CrawlHost host(err, o.answers, style);
  SetProgramDirectory(*o.programDir);
  SearchState state;
  InetSettings transfers;
  if (o.minRate) transfers.minBytesPerSecond = static_cast<std::uint64_t>(*NonNegativeInt(*o.minRate));
  if (o.pageTime) transfers.maxTransferTime = std::chrono::seconds(*NonNegativeInt(*o.pageTime));
  WebRobot robot(host, state, *o.programDir, transfers);
  host.Watch(&robot.Form());
  host.OnInterrupt([&robot] { robot.tbToolbar_ButtonClick("btnStop"); });

  RobotForm& form = robot.Form();
  form.txtURL = o.form.txtURL;
  form.txtSearchString = *o.expression;
  form.txtSearchDepth = o.form.txtSearchDepth;
  form.chkSave = o.form.chkSave;
  form.chkPix = o.form.chkPix;
  form.chkEmail = o.form.chkEmail;
  form.chkExtEmail = o.form.chkExtEmail;
  form.chkLinks = o.form.chkLinks;
  form.chkStay = o.form.chkStay;
  RobotOptions& options = robot.Options();
  options.obeyRobotsTxt = o.obeyRobots;
  options.followHttps = o.followHttps;
  options.fetchOnce = o.fetchOnce;
  if (o.wait) options.politeness = std::chrono::seconds(*NonNegativeInt(*o.wait));

  host.CatchInterrupt();
  host.ResetYieldGap();
  const auto started = std::chrono::steady_clock::now();
  // The lists are chosen one by one as in the window; choosing in the first
  // list may open its picker.
  for (int n = 1; n <= kEngineListCount; ++n) {
    if (o.form.Combo(n).empty()) continue;
    form.Combo(n) = o.form.Combo(n);
    if (n == 1) robot.Combo1_Click();
  }
  switch (o.start) {
    case Start::All:
      if (form.Combo1 != kAllEngines) {
        form.Combo1 = std::string(kAllEngines);
        robot.Combo1_Click();
      }
      robot.Command1_Click();
      break;
    case Start::OpenPage: robot.Command2_Click(); break;
    case Start::SiteSearch: robot.mnuFileSearch_Click(); break;
    case Start::Toolbar: robot.tbToolbar_ButtonClick("btnSearch"); break;
  }
  const auto elapsed = std::chrono::steady_clock::now() - started;
  host.ReleaseInterrupt();
  host.EndProgress();

  if (o.stats) {
    using Ms = std::chrono::duration<double, std::milli>;
    char line[200];
    std::snprintf(line, sizeof line, "stats: %.1f ms in all, longest yield gap %.2f ms, %llu yields, %llu pumps\n",
                  Ms(elapsed).count(), Ms(host.LongestYieldGap()).count(),
                  static_cast<unsigned long long>(host.YieldCount()),
                  static_cast<unsigned long long>(host.PumpCount()));
    err << line;
  }
  if (host.InputRejected() && !host.Stopped()) return kUsageError;
  if (o.tree) out << robot.Tree().View().Outline();
  PrintFiles(robot, out);
  out.flush();
  // A failed write was told as a message box, and stopped the search.
  if (robot.Context().writeFailures.First()) return kWriteFailed;
  if (host.Stopped()) return kStopped;
  if (const auto& failure = robot.Crawl().StartFailure()) {
    err << "zorvik-search crawl: cannot fetch " << failure->address << ": " << failure->why << '\n';
    return kStartFailed;
  }
  return kFinished;
}

}  // namespace zorvik::cli
