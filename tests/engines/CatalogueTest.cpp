#include <gtest/gtest.h>

#include <array>
#include <set>
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
  const std::pair<const char*, std::size_t> lists[] = {
      {"Search Engines:", 17}, {"Adult:", 5}, {"Newsgroups:", 3}, {"Software:", 6}, {"Misc.", 12}};
  std::size_t engines = 0;
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(EngineListAt(n).control, "Combo" + std::to_string(n));
    EXPECT_EQ(EngineListAt(n).caption, lists[n - 1].first);
    ASSERT_EQ(Items(n).size(), lists[n - 1].second);
    EXPECT_EQ(Items(n)[0], "");
    for (const std::string& item : Items(n)) {
      const bool expectEngine = !item.empty() && !(n == 1 && item == "All") && !(n == 3 && item == "Deja");
      EXPECT_EQ(FindEngine(n, item) != nullptr, expectEngine) << n << "/" << item;
      engines += expectEngine;
    }
  }
  EXPECT_EQ(EngineTable().size(), engines);
  const auto ffa = FfaCategories();
  ASSERT_EQ(ffa.size(), 41u);
  EXPECT_EQ(ffa[0], "none All Categories");
  for (std::size_t i = 1; i < ffa.size(); ++i) EXPECT_EQ(ffa[i].substr(0, 5), std::to_string(1000 + i) + " ");
  EXPECT_EQ(ProgrammingTopics().size(), 34u);
  EXPECT_EQ(NetCategories().size(), 61u);
  EXPECT_EQ(NetCategories()[36], "Manufacturing");  // after "MLM", not sorted by case
}

// Every engine's request address for one expression, default endpoints,
// FFA category "1007" and option "Business_Opportunities" (or "VB: Addins").
TEST(QueryAddressTest, EveryEngine) {
  const std::string expr = "robot and \"web spider\" (x)";
  struct Row {
    const char* engine;
    const char* address;
  };
  // clang-format off
  const Row rows[] = {
    {"Combo1/AltaVista", "http://www.altavista.com/cgi-bin/query?pg=q&kl=XX&stype=stext&q=robot and \"web spider\" (x)&search.x=17&search.y=6"},
    {"Combo1/Lycos", "http://www.lycos.com/cgi-bin/pursuit?query=robot and \"web spider\" (x)&cat=lycos&mtemp=pages&adv=1&first=1&maxhits=50&ps=0&pm=1&u0=N&u1=Y&u2=N&u3=Y&u4=cats&u5=1&u7=2"},
    {"Combo1/HotBot", "http://www.hotbot.com/?MT=robot and \"web spider\" (x)&SM=MC&DV=0&LG=any&DC=10&DE=2&_v=2&OPs=MDRTP&Search.x=38&Search.y=9"},
    {"Combo1/Excite", "http://www.excite.com/search.gw?c=web&s=robot and \"web spider\" (x)&showSummary=true&start=0&perPage=50"},
    {"Combo1/Go", "http://www.go.com/Titles?qt=robot and \"web spider\" (x)&col=WW&sv=IS&lk=noframes&svx=home_searchbox"},
    {"Combo1/Deja", "http://www.deja.com/=infoseek/dnquery.xp?query=robot and \"web spider\" (x)&uniq=931554465.85196965"},
    {"Combo1/LookSmart", "http://www.looksmart.com/r_search?key=robot and \"web spider\" (x)&search=0&comefrom=ds.US-go6598-search"},
    {"Combo1/1Blink", "http://www.1blink.com/search.cgi?q=robot and \"web spider\" (x)&submit=Go%21&t=web"},
    {"Combo1/AOL", "http://www.aol.com/search.gw?search=robot and \"web spider\" (x)&Search=Find%21&look=excite_netfind_us&sorig=rpage&nrm=n&pri=on&xls=b"},
    {"Combo1/DogPile", "http://www.dogpile.com/texis/search?q=robot and \"web spider\" (x)&fs=web&ss=stop&to=forty"},
    {"Combo1/Questfinder", "http://www.questfinder.com/search/search.cgi?s=robot and \"web spider\" (x)&category=catx3dx%3DALL&match=and&ul=either"},
    {"Combo1/FFA Links", "http://www.ffalinks.com/cgi-bin/search_cust.cgi?query=robot and \"web spider\" (x)&list_limit=50&brief=No&category_num=1007"},
    {"Combo1/FFA Links 2", "http://www.ffalinks2.com/ffasrch.cgi?word1=robot and \"web spider\" (x)"},
    {"Combo1/Classified", "http://www.classified.com/usa/"},
    {"Combo1/4Anything", "http://www.4anything.com/search/search.cgi?query=robot and \"web spider\" (x)"},
    {"Combo2/Go2Net", "http://www.go2net.com/cgi-bin/search-st?q=robot and \"web spider\" (x)"},
    {"Combo2/Erotiquest", "http://www.erotiquest.com/results.cfm?words=robot and \"web spider\" (x)"},
    {"Combo2/Erolinx", "http://www.erolinx.com/cgi-bin/search/search.cgi?query=robot and \"web spider\" (x)"},
    {"Combo2/Questfinder", "http://www.questfinder.com/search/search.cgi?s=robot and \"web spider\" (x)&category=catx3dx%3DAdults_Only&match=and&ul=either"},
    {"Combo3/1Blink", "http://www.1blink.com/search.cgi?q=robot and \"web spider\" (x)&submit=Go%21&t=newsgroups"},
    {"Combo4/Beyond", "http://www.beyond.com/cgi-bin/search.htm?name_desc=robot and \"web spider\" (x)&mfg_name=&category=&sku=&mfg_part=&os=WIN&media=ANY&Query.x=13&Query.y=15"},
    {"Combo4/32Bit", "http://www.32bit.com/pages/search.php3?search=robot and \"web spider\" (x)&clicktrade=128780"},
    {"Combo4/Jumbo", "http://www.jumbo.com/search/index.htp?qu=robot and \"web spider\" (x)&ct=busines%2Cfonts%2Cgames2%2Cinternet%2CPDA%2Cscreensavers%2Cupload%2Cwp%2Cutilities%2CgamesSS%2CMustHave"},
    {"Combo4/cInet", "http://www.cinet.com/pc/list/1,339,0-a-0-0-e-1,00.html?search=robot and \"web spider\" (x)&tag=st.dl.redir.src.fd&queryType=quicksearch"},
    {"Combo4/Questfinder", "http://www.questfinder.com/search/search.cgi?s=robot and \"web spider\" (x)&category=catx3dx%3DSoftware&match=and&ul=either"},
    {"Combo5/Search The Net", "http://www.searchthenet.com/search/search.cgi?s=robot and \"web spider\" (x)+&category=catx3dx=Business_Opportunities&match=and&ul=either&delete=&x=14&y=14"},
    {"Combo5/Programming", "http://www.programming.com/riquery.asp?keyword=VB: Addins"},
    {"Combo5/VB", "http://www.vb.com/php-bin/search.php?searchview=priority&query=robot and \"web spider\" (x)"},
    {"Combo5/SoftSeek", "http://www.softseek.com/cgi-bin/search.cgi?keywords=robot and \"web spider\" (x)&seekindex=index&maxresults=100&cb="},
    {"Combo5/Jobs", "http://www.jobs.com//cgi-bin/w3-msql/jobspace/searchidx1.htm?T1=robot and \"web spider\" (x)"},
    {"Combo5/Anything", "http://www.anything.com/seek.cgi?what=robot and \"web spider\" (x)"},
    {"Combo5/Mp3", "http://www.mp3.com/bin/search?query=robot and \"web spider\" (x)"},
    {"Combo5/Mp3 2", "http://www.mp32.com/cgi-bin/search?form=lycosnet&query=robot and \"web spider\" (x)&doit=Go+Get+It%21"},
    {"Combo5/eBay", "http://www.ebay.com/cgi-bin/texis/ebay/results.html?query=robot and \"web spider\" (x)&ht=1&maxRecordsReturned=300&maxRecordsPerPage=300&SortProperty=MetaEndSort"},
    {"Combo5/MultiAuctions", "http://www.multiauctions.com/ResultsName.asp?LinkName='robot and \"web spider\" (x)'"},
    {"Combo5/Auction Search", "http://www.auctionsearch.com/cgi-bin/search_auctions.cgi?keyword=robot and \"web spider\" (x)"},
  };
  // clang-format on
  EXPECT_EQ(std::size(rows), EngineTable().size());
  const EngineEndpoints endpoints;
  for (const Row& row : rows) {
    const EngineRecord* engine = FindEngine(row.engine);
    ASSERT_NE(engine, nullptr) << row.engine;
    const std::string option = engine->name == "Programming" ? "VB: Addins" : "Business_Opportunities";
    EXPECT_EQ(BuildQueryAddress(*engine, endpoints, expr, "1007", option), row.address) << row.engine;
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
  // The next query therefore carries the widened expression.
  EXPECT_EQ(BuildQueryAddress(*FindEngine(1, "FFA Links 2"), EngineEndpoints(), form.txtSearchString, "", ""),
            "http://www.ffalinks2.com/ffasrch.cgi?word1=cats or jpg or gif or JPG or GIF or jpg or gif or JPG or GIF");
}

}  // namespace
}  // namespace zorvik
