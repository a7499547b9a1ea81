#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/RobotForm.h"
#include "engines/EngineCatalogue.h"
#include "engines/EngineEndpoints.h"

namespace zorvik {
namespace {

std::vector<std::string> Items(int list) {
  const auto items = EngineListAt(list).items;
  return {items.begin(), items.end()};
}

TEST(EngineListsTest, EveryItemButTheEmptyOneAllAndTheNewsgroupDejaIsAnEngine) {
  std::size_t engines = 0;
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(EngineListAt(n).control, "Combo" + std::to_string(n));
    ASSERT_FALSE(Items(n).empty());
    EXPECT_EQ(Items(n)[0], "");
    for (const std::string& item : Items(n)) {
      const bool expectEngine = !item.empty() && !(n == 1 && item == "All") && !(n == 3 && item == "Deja");
      EXPECT_EQ(FindEngine(n, item) != nullptr, expectEngine) << n << "/" << item;
      engines += expectEngine;
    }
  }
  EXPECT_EQ(EngineTable().size(), engines);
}

// One engine per way of forming its request address, default endpoints, FFA
// category "1007" and option "Business_Opportunities" (or "VB: Addins").
TEST(QueryAddressTest, EachFormOfAddress) {
  const std::string expr = "robot and \"web spider\" (x)";
  const std::pair<const char*, const char*> rows[] = {
      {"Combo1/AltaVista", "http://www.altavista.com/cgi-bin/query?pg=q&kl=XX&stype=stext&q=robot and \"web spider\" (x)&search.x=17&search.y=6"},
      {"Combo1/FFA Links", "http://www.ffalinks.com/cgi-bin/search_cust.cgi?query=robot and \"web spider\" (x)&list_limit=50&brief=No&category_num=1007"},
      {"Combo1/Classified", "http://www.classified.com/usa/"},
      {"Combo4/Questfinder", "http://www.questfinder.com/search/search.cgi?s=robot and \"web spider\" (x)&category=catx3dx%3DSoftware&match=and&ul=either"},
      {"Combo5/Search The Net", "http://www.searchthenet.com/search/search.cgi?s=robot and \"web spider\" (x)+&category=catx3dx=Business_Opportunities&match=and&ul=either&delete=&x=14&y=14"},
      {"Combo5/Programming", "http://www.programming.com/riquery.asp?keyword=VB: Addins"},
      {"Combo5/Jobs", "http://www.jobs.com//cgi-bin/w3-msql/jobspace/searchidx1.htm?T1=robot and \"web spider\" (x)"},
      {"Combo5/MultiAuctions", "http://www.multiauctions.com/ResultsName.asp?LinkName='robot and \"web spider\" (x)'"},
  };
  const EngineEndpoints endpoints;
  for (const auto& [name, address] : rows) {
    const EngineRecord* engine = FindEngine(name);
    ASSERT_NE(engine, nullptr) << name;
    const std::string option = engine->name == "Programming" ? "VB: Addins" : "Business_Opportunities";
    EXPECT_EQ(BuildQueryAddress(*engine, endpoints, expr, "1007", option), address) << name;
  }
}

TEST(QueryAddressTest, ExpressionAndPickerValuesAreTakenAsGiven) {
  const EngineEndpoints endpoints;
  const EngineRecord& ffa = *FindEngine("Combo1/FFA Links");
  // The picker closed before anything was chosen: nothing after "category_num=".
  EXPECT_EQ(BuildQueryAddress(ffa, endpoints, "a", "", ""),
            "http://www.ffalinks.com/cgi-bin/search_cust.cgi?query=a&list_limit=50&brief=No&category_num=");
  EXPECT_TRUE(BuildQueryAddress(ffa, endpoints, "a", "none", "").ends_with("&brief=No&category_num=none"));
  // Blanks at either end, % and & are neither trimmed nor escaped.
  EXPECT_EQ(BuildQueryAddress(*FindEngine("Combo5/Mp3"), endpoints, "  50% & more ", "", ""),
            "http://www.mp3.com/bin/search?query=  50% & more ");
  // Classified and Programming ignore the expression.
  const EngineRecord& classified = *FindEngine("Combo1/Classified");
  EXPECT_EQ(BuildQueryAddress(classified, endpoints, "x", "1001", "Arts"),
            BuildQueryAddress(classified, endpoints, "y y", "", ""));
  EXPECT_EQ(BuildQueryAddress(*FindEngine("Combo5/Programming"), endpoints, "ignored", "", ""),
            "http://www.programming.com/riquery.asp?keyword=");
}

TEST(DispatchTest, FirstListNamingAnEngineWins) {
  struct Case {
    std::array<const char*, 5> lists;
    const char* engine;
  };
  const Case cases[] = {
      {{"", "", "", "", ""}, "none"},
      {{"AltaVista", "", "", "", "eBay"}, "Combo1/AltaVista"},
      {{"", "", "Deja", "", ""}, "none"},  // a list item without an engine
      {{"", "", "Deja", "Jumbo", ""}, "Combo4/Jumbo"},
      // The same name in another list is another engine.
      {{"", "Questfinder", "", "Questfinder", ""}, "Combo2/Questfinder"},
      {{"", "", "1Blink", "Questfinder", ""}, "Combo3/1Blink"},
      // Names are compared exactly; a name of another list does not count.
      {{"altavista", "eBay", "", "", "Mp3 2"}, "Combo5/Mp3 2"},
      // "All" is the launch's business: it is no engine of its own here.
      {{"All", "", "", "", ""}, "none"},
  };
  for (const Case& c : cases) {
    RobotForm form;
    for (int n = 1; n <= 5; ++n) form.Combo(n) = c.lists[n - 1];
    const EngineRecord* e = ResolveEngine(form);
    EXPECT_EQ(e == nullptr ? std::string("none") : QualifiedName(*e), c.engine) << c.lists[0] << c.lists[1];
    EXPECT_EQ(AllEnginesChosen(form), std::string(c.lists[0]) == "All");
  }
}

TEST(PictureSuffixTest, CrawlWayOnlyAndItStays) {
  RobotForm form;
  form.txtSearchString = "cats";
  EXPECT_FALSE(AppendPictureSuffix(form, FindEngine(1, "Lycos")));  // not ticked
  form.chkPix = true;
  EXPECT_FALSE(AppendPictureSuffix(form, FindEngine(5, "eBay")));  // direct mode
  EXPECT_EQ(form.txtSearchString, "cats");
  EXPECT_TRUE(AppendPictureSuffix(form, FindEngine(1, "Lycos")));
  EXPECT_TRUE(AppendPictureSuffix(form, nullptr));  // a typed start address
  EXPECT_EQ(form.txtSearchString, "cats or jpg or gif or JPG or GIF or jpg or gif or JPG or GIF");
}

}  // namespace
}  // namespace zorvik
