#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "crawler/CurlInet.h"
#include "shell/UpdateCheck.h"
#include "support/FakeHost.h"
#include "support/MailPeers.h"
#include "support/TestHttpServer.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The archive and its SHA-256 (sha256sum).
const std::string kArchive = "archive bytes";
const std::string kArchiveSha = "cc9c340301ad4ba5e54aa24b442ff938d1ed84f7f32c4c5a73773c58af37bd1b";

ReleaseVersion Own() { return *ParseReleaseVersion("1.2", "5"); }

TEST(VersionFileTest, ParsesAndCompares) {
  std::string error;
  const auto file = ParseVersionFile(
      "# comment\r\nVersion = 1.10\r\n build=3 \r\narchive = dl/zorvik-1.10.tar.gz\r\n"
      "size = 13\r\nsha256 = " + std::string(64, 'A') + "\r\nlater = ignored\r\n",
      "http://h:8/updates/version.txt?x=1", error);
  ASSERT_TRUE(file) << error;
  EXPECT_EQ(file->archiveUrl, "http://h:8/updates/dl/zorvik-1.10.tar.gz");
  EXPECT_EQ(file->archiveName, "zorvik-1.10.tar.gz");
  EXPECT_EQ(file->size, 13u);
  EXPECT_EQ(file->sha256, std::string(64, 'a'));
  EXPECT_GT(file->release.Compare(Own()), 0) << "1.10 is newer than 1.2: numbers, not text";

  // Version, build, and how they compare with 1.2 build 5.
  const std::tuple<const char*, const char*, int> order[] = {
      {"1.2", "5", 0}, {"1.2.0.0", "5", 0}, {"1.2", "6", 1}, {"1.1.9", "99", -1}, {"2", "0", 1}};
  for (const auto& [version, build, sign] : order) {
    const int c = ParseReleaseVersion(version, build)->Compare(Own());
    EXPECT_EQ((c > 0) - (c < 0), sign) << version << " build " << build;
  }

  const std::string good = "version = 2\nbuild = 1\n";
  const std::pair<std::string, const char*> bad[] = {  // the text, what the error names
      {"", "no \"version\""},
      {good, "no \"archive\""},
      {good + "archive = x.tgz\nnonsense\n", "line 4"},
      {"version = 2.x\nbuild = 1\narchive = a.tgz\n", "not a version"},
      {"version = 1.2.3.4.5\nbuild = 1\narchive = a.tgz\n", "not a version"},
      {good + "archive = ftp://h/a.tgz\n", "no http"},
      {good + "archive = http://h/\n", "no http"},
      {good + "archive = ../.hidden\n", "no http"},
      {good + "archive = http://h/a b.tgz\n", "blanks"},
      {good + "archive = a.tgz\nsize = -1\n", "size"},
      {good + "archive = a.tgz\nsha256 = abc\n", "sha256"},
      {good + "archive = a.tgz\n# " + std::string(kMaxVersionFileBytes, 'x'), "larger"},
  };
  for (const auto& [text, why] : bad) {
    EXPECT_FALSE(ParseVersionFile(text, "http://h/v.txt", error)) << why;
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Routes().Get("/version.txt", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(versionFile_, "text/plain");
    });
    server_.Routes().Get("/zorvik-2.0.tar.gz", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kArchive, "application/gzip");
    });
    server_.Start();
  }

  // Runs the check (or the download) until the window is idle again.
  void Run(UpdateCheck& check, void (UpdateCheck::*command)()) {
    (check.*command)();
    for (int i = 0; i < 500 && !check.cmdCheckEnabled; ++i) host_.WaitEvents(20ms);
    ASSERT_TRUE(check.cmdCheckEnabled) << check.lblStatus;
  }

  testing::FakeHost host_;
  CurlInet inet_{host_};
  testing::TestHttpServer server_;
  testing::TempDir dir_;
  std::string versionFile_;
};

// A newer release is offered; its archive is kept only when its size and
// SHA-256 are those of the version file. Anything else says so plainly.
TEST_F(UpdateCheckTest, CheckAndDownload) {
  const std::string newer = "version = 2.0\nbuild = 1\narchive = zorvik-2.0.tar.gz\n";
  const std::string url = server_.Url("/version.txt");
  struct Case {
    std::string versionFile, url;
    const char* checked;     // how the status starts after the check
    const char* downloaded;  // what it holds after the download, if one is offered
    bool kept;
  };
  const Case cases[] = {
      {newer + "size = 14\n", url, "", "has 13 bytes, the version file gives 14", false},
      {newer + "size = 12\n", url, "", "larger than the 12 bytes", false},
      {newer + "sha256 = " + std::string(64, '0') + "\n", url, "", "SHA-256 differs", false},
      {"version = 1.2.0\nbuild = 5\narchive = a.tgz\n", url,
       "This is Zorvik 1.2 (build 5), the newest version.", nullptr, false},
      {"<html>not found</html>", url,
       "The version file cannot be read: line 1 is not of the form name = value.", nullptr, false},
      {"", server_.Url("/missing.txt"), "The update server has no version file (HTTP/1.1 404",
       nullptr, false},
      {"", testing::RefusedUrl(), "The update server could not be reached (Cannot connect).",
       nullptr, false},
      {newer + "size = 13\nsha256 = " + kArchiveSha + "\n", url, "", "Saved as", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.versionFile);
    versionFile_ = c.versionFile;
    UpdateCheck check(inet_, c.url, dir_.path(), Own());
    Run(check, &UpdateCheck::Form_Load);
    EXPECT_EQ(check.lblStatus.rfind(c.checked, 0), 0u) << check.lblStatus;
    EXPECT_EQ(check.cmdDownloadEnabled, c.downloaded != nullptr);
    if (c.downloaded) {
      EXPECT_NE(check.lblStatus.find("2.0 (build 1) is available"), std::string::npos);
      Run(check, &UpdateCheck::cmdDownload_Click);
      EXPECT_NE(check.lblStatus.find(c.downloaded), std::string::npos) << check.lblStatus;
    }
    if (c.kept) {
      EXPECT_EQ(testing::ReadFile(dir_.path() / "zorvik-2.0.tar.gz"), kArchive);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), {}), c.kept ? 1 : 0)
        << "no partial file";
  }
}

}  // namespace
}  // namespace zorvik
