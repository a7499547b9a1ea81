#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "engines/EngineCatalogue.h"
#include "engines/EngineEndpoints.h"
#include "support/FakeHost.h"
#include "support/TestFiles.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;

std::string DefaultOf(const EngineRecord& engine) { return EngineEndpoints::DefaultEndpoint(engine.name); }

std::string EndpointOf(const EngineEndpoints& endpoints, std::string_view engine) {
  return endpoints.Endpoint(*FindEngine(engine));
}

TEST(EndpointsTest, ParsesLinesAndSkipsWhatItCannotUse) {
  EngineEndpoints endpoints;
  const std::vector<std::string> problems = endpoints.Parse(
      "\xEF\xBB\xBF# local test servers\r\n"
      "; another comment\n"
      "\n"
      "Combo1/AltaVista = http://127.0.0.1:8080\r\n"
      "  \tCombo5/Mp3 2\t=   http://mp3.test:81/   \n"
      "4/Questfinder=HTTP://[::1]:8081\n"
      "Combo1/Classified = http://first.test\n"
      "Combo1/Classified = http://second.test\n"
      "Combo1/Lycos http://no-equals.test\n"          // 9
      "Combo9/VB = http://x.test\n"                   // 10
      "Combo3/Deja = http://x.test\n"                 // 11: a list item, no engine
      "Combo1/lycos = http://x.test\n"                // 12: names are exact
      "Combo1/Lycos = https://x.test\n"               // 13
      "Combo1/Lycos = http://x.test/search\n"         // 14
      "Combo1/Lycos = http://x.test:0\n"              // 15
      "Combo1/Lycos = http://x.test:65536\n"          // 16
      "Combo1/Lycos = http://\n"                      // 17
      "Combo1/Lycos = http://a b.test\n"              // 18
      "Combo1/Lycos = http://user@x.test\n"           // 19
      "Combo1/Lycos = http://x.test:\n"               // 20
      "Combo1/Lycos = http://[::1\n"                  // 21
      "Combo1/Go = http://x\x1b[2J.test\n"            // 22: not echoed
      "= http://x.test");                             // 23, no line end
  ASSERT_EQ(problems.size(), 15u);
  for (std::size_t i = 0; i < problems.size(); ++i)
    EXPECT_EQ(problems[i].rfind("line " + std::to_string(9 + i) + " skipped", 0), 0u) << problems[i];
  EXPECT_NE(problems[0].find("Combo1/Lycos http://no-equals.test"), std::string::npos);
  EXPECT_EQ(problems[13].find('\x1b'), std::string::npos);

  EXPECT_EQ(EndpointOf(endpoints, "Combo1/AltaVista"), "http://127.0.0.1:8080");
  EXPECT_EQ(EndpointOf(endpoints, "Combo5/Mp3 2"), "http://mp3.test:81");
  EXPECT_EQ(EndpointOf(endpoints, "Combo4/Questfinder"), "HTTP://[::1]:8081");
  EXPECT_EQ(EndpointOf(endpoints, "Combo2/Questfinder"), "http://www.questfinder.com");
  EXPECT_EQ(EndpointOf(endpoints, "Combo1/Classified"), "http://second.test");
  EXPECT_EQ(EndpointOf(endpoints, "Combo1/Lycos"), "http://www.lycos.com");

  EXPECT_EQ(endpoints.PageAddress("Banner"), "");
  EXPECT_TRUE(endpoints.Parse("banner = http://127.0.0.1:9/b.htm?x=1\n"
                              "ProductPage = file:///opt/zorvik/about.htm\n").empty());
  EXPECT_EQ(endpoints.Parse("UpdateCheck = ftp://x.test/v.txt\nBanner = http://a b\n").size(), 2u);
  EXPECT_EQ(endpoints.PageAddress("Banner"), "http://127.0.0.1:9/b.htm?x=1");
  EXPECT_EQ(endpoints.PageAddress("ProductPage"), "file:///opt/zorvik/about.htm");
  EXPECT_EQ(endpoints.PageAddress("UpdateCheck"), "");

  EXPECT_EQ(BuildQueryAddress(*FindEngine("Combo1/Classified"), endpoints, "x", "", ""),
            "http://second.test/usa/");
  EXPECT_EQ(BuildQueryAddress(*FindEngine("Combo1/AltaVista"), endpoints, "a b", "", ""),
            "http://127.0.0.1:8080/cgi-bin/query?pg=q&kl=XX&stype=stext&q=a b&search.x=17&search.y=6");
}

class EndpointsFileTest : public ::testing::Test {
 protected:
  void Write(const std::string& content) { testing::WriteFile(dir / "engines.ini", content); }

  testing::TempDir scratch;
  const fs::path dir = scratch.path();
  testing::FakeHost host;
};

TEST_F(EndpointsFileTest, MissingFileIsQuietAndSkippedLinesGiveOneWarning) {
  EXPECT_EQ(EndpointOf(EngineEndpoints::Load(dir, host), "Combo1/Go"), "http://www.go.com");
  fs::create_directories(dir / "engines.ini");  // a directory is no file either
  EXPECT_EQ(EndpointOf(EngineEndpoints::Load(dir, host), "Combo1/Go"), "http://www.go.com");
  EXPECT_TRUE(host.messages.empty());
  fs::remove(dir / "engines.ini");

  Write("Combo1/Go = http://go.test:9000\nbroken\nCombo2/Go = http://x.test\n");
  EXPECT_EQ(EndpointOf(EngineEndpoints::Load(dir, host), "Combo1/Go"), "http://go.test:9000");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].title, "engines.ini");
  EXPECT_EQ(host.messages[0].icon, MsgIcon::Exclamation);
  EXPECT_NE(host.messages[0].text.find("line 2 skipped"), std::string::npos);
  EXPECT_NE(host.messages[0].text.find("line 3 skipped"), std::string::npos);
  Write("# nothing wrong\nCombo1/Go = http://go.test\n");
  EXPECT_EQ(EndpointOf(EngineEndpoints::Load(dir, host), "Combo1/Go"), "http://go.test");
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST(EndpointsTest, ShippedFileChangesNothingAndNamesEveryEngineWithItsDefault) {
  const std::string shipped = testing::ReadFile(ZORVIK_SHIPPED_ENGINES_INI);
  ASSERT_FALSE(shipped.empty());
  EngineEndpoints asShipped;
  EXPECT_TRUE(asShipped.Parse(shipped).empty());
  for (const EngineRecord& engine : EngineTable()) EXPECT_EQ(asShipped.Endpoint(engine), DefaultOf(engine));

  // With the "# " taken off, its example lines are all usable and name
  // every engine of the catalogue with the default it has anyway.
  std::string uncommented;
  std::istringstream lines(shipped);
  for (std::string line; std::getline(lines, line);) {
    bool example = line.starts_with("# Combo");
    for (std::string_view page : EngineEndpoints::kPageNames)
      example = example || line.starts_with("# " + std::string(page) + " = ");
    if (example) uncommented += line.substr(2) + "\n";
  }
  EngineEndpoints examples;
  EXPECT_EQ(examples.Parse(uncommented), std::vector<std::string>{});
  for (const EngineRecord& engine : EngineTable()) {
    const std::string line = QualifiedName(engine) + " = " + DefaultOf(engine) + "\n";
    EXPECT_NE(uncommented.find(line), std::string::npos) << line;
  }
  for (std::string_view page : EngineEndpoints::kPageNames) EXPECT_NE(examples.PageAddress(page), "") << page;
}

}  // namespace
}  // namespace zorvik
