#include <gtest/gtest.h>
#include <unistd.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "harvest/AddressHarvester.h"
#include "harvest/MailtoScan.h"
#include "support/TestFiles.h"
#include "support/FakeHost.h"

namespace zorvik::harvest {
namespace {

namespace fs = std::filesystem;
using zorvik::testing::ReadFile;

// Thirty characters without a delimiter, so that an "@" after them has a
// full left window.
const std::string kPad = "Lorem-ipsum-dolor-sit-amet-con";

class HarvesterTest : public ::testing::Test {
 protected:
  void SetUp() override { state.ResultBaseName = "run"; }

  std::optional<std::string> Harvest(std::string page) {
    form.PageText = std::move(page);
    return harvester.Harvest();
  }

  testing::TempDir scratch;
  const fs::path dir = scratch.path();
  testing::FakeHost host;
  RobotForm form;
  SearchState state;
  AddressHarvester harvester{host, form, state, dir};
};

TEST_F(HarvesterTest, RecordsTheAddressOfRunningTextAndResetsThePage) {
  form.PageAccumulator = "partial";
  form.OpenedPageWaiting = true;
  form.FoundCount = 4;
  EXPECT_EQ(Harvest(kPad + " write to john.doe@example.com. Thanks"), "john.doe@example.com");
  EXPECT_EQ(ReadFile(dir / "run_mailfile.txt"), "john.doe@example.com\r\n");
  EXPECT_EQ(form.List1, std::vector<std::string>{"john.doe@example.com"});
  EXPECT_EQ(form.FoundCount, 5);
  EXPECT_EQ(host.Status(3), "# Address Found: 5");
  EXPECT_EQ(host.Status(4).rfind("Found at: ", 0), 0u);
  EXPECT_EQ(host.Status(4).size(), 18u) << host.Status(4);
  EXPECT_EQ(form.PageText, "");
  EXPECT_EQ(form.PageAccumulator, "");
  EXPECT_FALSE(form.OpenedPageWaiting);
  EXPECT_EQ(host.pointer, MousePointer::Default);
}

TEST_F(HarvesterTest, LocalPartEndsAtTheFirstDelimiterBeforeTheAt) {
  // Kept delimiters stay in front of the candidate (the blank is trimmed).
  for (char d : std::string(" \r\n<\"")) {
    const std::string expected = d == ' ' ? "abc@host.com" : std::string(1, d) + "abc@host.com";
    EXPECT_EQ(FindCandidate(kPad + "x" + d + "abc@host.com ", &host), expected) << int(d);
  }
  // So are the other control characters (an escape sequence, a bell).
  for (char d : std::string(":>;/\\=()[]`!#$%^&*?\x1b\x07\t\x7f")) {
    EXPECT_EQ(FindCandidate(kPad + "x" + d + "abc@host.com ", &host), "abc@host.com") << d;
  }
  // Just before the "@": a kept delimiter leaves the "@" alone, a dropped one
  // nothing.
  EXPECT_EQ(FindCandidate(kPad + "<@host.com ", nullptr), "@host.com");
  EXPECT_EQ(FindCandidate(kPad + ":@host.com ", nullptr), "host.com");
  // Without a delimiter in the window, or with fewer than 30 characters
  // before the "@", there is no local part.
  EXPECT_EQ(FindCandidate(kPad + "abc@host.com ", nullptr), "host.com");
  EXPECT_EQ(FindCandidate(" ab@host.com ", nullptr), "host.com");
  // The first character of the window is never tested.
  const std::string letters28(28, 'q');
  EXPECT_EQ(FindCandidate(" q" + letters28 + "@h.com ", nullptr), "h.com");
  EXPECT_EQ(FindCandidate("q " + letters28 + "@h.com ", nullptr), letters28 + "@h.com");
}

TEST_F(HarvesterTest, DomainEndsAtTheFirstDelimiterOrTheEndOfThePage) {
  for (char d : std::string(" \"\r<>&/\\=)[]`!\n#$%^*?|(\x1b\x07\t\x7f")) {
    EXPECT_EQ(FindCandidate(kPad + " abc@host" + d + "rest ", nullptr), "abc@host") << int(d);
  }
  EXPECT_EQ(FindCandidate(kPad + " abc@a:b;c,d.e ", nullptr), "abc@a:b;c,d.e");
  EXPECT_EQ(FindCandidate(kPad + " abc@host.com", nullptr), "abc@host.com");
  EXPECT_EQ(FindCandidate(kPad + " abc@", nullptr), "abc@");
  const std::string run28(28, 'd'), run29(29, 'd');
  EXPECT_EQ(FindCandidate(kPad + " abc@" + run28, nullptr), "abc@" + run28);
  EXPECT_EQ(FindCandidate(kPad + " abc@" + run29, nullptr), "abc@") << "no delimiter within the window";
  EXPECT_EQ(FindCandidate(kPad + " abc@" + run29 + "x and more", nullptr), "abc@");
  EXPECT_EQ(FindCandidate(kPad + " abc@" + run28 + " and more", nullptr), "abc@" + run28);
}

TEST(HarvestRules, AcceptanceAndCleaning) {
  EXPECT_TRUE(AcceptCandidate("ab@c.d", ""));
  EXPECT_FALSE(AcceptCandidate("a@c.d", "")) << "5 characters";
  EXPECT_FALSE(AcceptCandidate("host.com", "")) << "no @";
  EXPECT_FALSE(AcceptCandidate("ME@X.ORG", " me@x.org"));
  EXPECT_FALSE(AcceptCandidate("HIDDEN@x.org", ""));
  EXPECT_FALSE(AcceptCandidate("is-hidden@x.org", ""));
  EXPECT_TRUE(AcceptCandidate("Hidden@x.org", "")) << "exact comparison";
  EXPECT_FALSE(AcceptCandidate("LISTSERV@x.org", ""));
  EXPECT_FALSE(AcceptCandidate("x@MajorDomo.org", ""));
  EXPECT_EQ(CleanCandidate("\"\n\r<a@b.c>,."), "a@b.c");
  EXPECT_EQ(CleanCandidate("\r\"a@b.c>,"), "\"a@b.c") << "each step once, in order";
}

TEST_F(HarvesterTest, PreviousAddressIsWrittenOnceUntilAnotherComesBetween) {
  const std::string a = kPad + " john@example.com. ", b = kPad + " jane@example.com ";
  EXPECT_TRUE(Harvest(a));
  EXPECT_FALSE(Harvest(kPad + " john@example.com "));
  EXPECT_FALSE(Harvest(kPad + " JOHN@EXAMPLE.COM "));
  EXPECT_TRUE(Harvest(b));
  EXPECT_TRUE(Harvest(a));
  EXPECT_EQ(ReadFile(harvester.AddressFilePath()), "john@example.com\r\njane@example.com\r\njohn@example.com\r\n");
  EXPECT_EQ(form.List1.size(), 3u);
  EXPECT_EQ(harvester.PreviousAddress(), "john@example.com");
}

TEST_F(HarvesterTest, PagesThatGiveNothing) {
  const std::vector<std::string> pages = {
      "",
      "no at sign at all",
      kPad + " LISTSERV@lists.org and then " + kPad + " real@person.org ",  // only the first "@"
      "@" + kPad,
      kPad + kPad + "@",
      std::string("\0\0@\0\0", 5) + kPad,
  };
  for (const std::string& page : pages) {
    EXPECT_FALSE(Harvest(page)) << page;
    EXPECT_EQ(form.PageText, "");
  }
  EXPECT_FALSE(fs::exists(harvester.AddressFilePath()));
  EXPECT_EQ(form.FoundCount, 0);
}

TEST_F(HarvesterTest, UnwritableFileChangingPageAndHugePage) {
  // An address file that cannot be written still lists the address.
  AddressHarvester elsewhere(host, form, state, dir / "missing" / "dir");
  form.PageText = kPad + " john@example.com ";
  EXPECT_EQ(elsewhere.Harvest(), "john@example.com");
  EXPECT_EQ(elsewhere.LastWriteError(), std::errc::no_such_file_or_directory);
  EXPECT_EQ(form.List1.size(), 1u);
  EXPECT_EQ(form.FoundCount, 1);
  // The page may change while the scans yield.
  host.onPump = [&] { form.PageText = "replaced"; form.PageText.shrink_to_fit(); };
  EXPECT_EQ(Harvest(kPad + " jane@example.com " + std::string(1000, 'x')), "jane@example.com");
  EXPECT_EQ(form.PageText, "");
  host.onPump = nullptr;
  std::string page(100u << 20, 'x');
  const std::string tail = " big@example.com";
  page.replace(page.size() - tail.size(), tail.size(), tail);
  EXPECT_EQ(Harvest(std::move(page)), "big@example.com");
}

TEST(HarvestRules, TimeOfDayIsLocalHoursMinutesSeconds) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  ::setenv("TZ", "IST-5:30", 1);
  ::tzset();
  EXPECT_EQ(TimeOfDayText(std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'000))),
            "03:43:20");  // 22:13:20 UTC
  old ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
}

TEST(MailtoScan, CutsThePageAfterTheFirstMailto) {
  const std::string page = "<p>Write \"mailto:first@a.org\" or <a href=\"mailto:second@b.org\">us</a>";
  std::string text = page;
  EXPECT_EQ(MailtoScan(text), "first@a.org");
  EXPECT_EQ(text, page.substr(page.find("first@")));

  // Each of the six marks is needed.
  const std::string link = "<a href=\"mailto:me@x.org\">me</a>";
  for (const std::string& page2 : {std::string("a href=\"mailto:me@x.org\">me/a"),  // no "<"
                                   std::string("<a href=\"mailto:me@x.org\"me</a"),  // no ">"
                                   std::string("<a  href=\"mailto:me@x.org\">me</a>"),
                                   std::string("<a href=\"Mailto:me@x.org\">me</a>"),
                                   std::string("<a href='x'> \"mailto:me@x.org\" "),
                                   std::string("<a href=\"mailto:me@x.org\" >me</a>")}) {
    std::string t = page2;
    EXPECT_EQ(MailtoScan(t), "") << page2;
    EXPECT_EQ(t, page2);
  }
  std::string t = link;
  EXPECT_EQ(MailtoScan(t), "me@x.org");
  // No closing quote after the address: nothing, but the cut is made.
  t = "\"> <a href=\"mailto:open-ended";
  EXPECT_EQ(MailtoScan(t), "");
  EXPECT_EQ(t, "open-ended");
  // A control character ends the address: no line break reaches the record.
  t = "<a href=\"mailto:me@x.org\r\nforged\r\nrecord\">me</a>";
  EXPECT_EQ(MailtoScan(t), "me@x.org");
  t = "<a href=\"mailto:\x1b]0;me@x.org\">me</a>";
  EXPECT_EQ(MailtoScan(t), "");
}

TEST_F(HarvesterTest, RecordsAreWrittenWholeOrNotAtAll) {
  const fs::path file = dir / "records.txt";
  EXPECT_FALSE(AppendLines(file, {"http://a/", "Title\twith\x1b tab", "x@a.org\r\nforged"}));
  EXPECT_EQ(ReadFile(file), "http://a/\r\nTitle with  tab\r\nx@a.org  forged\r\n");
  // A file size limit the record crosses (a disk that fills up midway): the
  // part that got through is cut off again. In a child, whose limit it is.
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{fs::file_size(file) + 10, RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::error_code error = AppendLines(file, {"http://b/", "A title long enough", ""});
    ::_exit(error == std::errc::file_too_large ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(file), "http://a/\r\nTitle with  tab\r\nx@a.org  forged\r\n");
}

}  // namespace
}  // namespace zorvik::harvest
