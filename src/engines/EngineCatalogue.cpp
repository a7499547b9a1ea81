#include "engines/EngineCatalogue.h"

#include <array>

#include "core/RobotForm.h"
#include "engines/EngineEndpoints.h"

namespace zorvik {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kCombo1Items[] = {
    ""sv,          "All"sv,       "AltaVista"sv,   "Lycos"sv,     "HotBot"sv,     "Excite"sv,
    "Go"sv,        "Deja"sv,      "LookSmart"sv,   "1Blink"sv,    "AOL"sv,        "DogPile"sv,
    "Questfinder"sv, "FFA Links"sv, "FFA Links 2"sv, "Classified"sv, "4Anything"sv};
constexpr std::string_view kCombo2Items[] = {""sv, "Go2Net"sv, "Erotiquest"sv, "Erolinx"sv,
                                             "Questfinder"sv};
constexpr std::string_view kCombo3Items[] = {""sv, "1Blink"sv, "Deja"sv};
constexpr std::string_view kCombo4Items[] = {""sv, "Beyond"sv, "32Bit"sv, "Jumbo"sv, "cInet"sv,
                                             "Questfinder"sv};
constexpr std::string_view kCombo5Items[] = {
    ""sv,     "Search The Net"sv, "Programming"sv, "VB"sv,   "SoftSeek"sv,      "Jobs"sv,
    "Anything"sv, "Mp3"sv,       "Mp3 2"sv,       "eBay"sv, "MultiAuctions"sv, "Auction Search"sv};

const std::array<EngineList, kEngineListCount> kLists = {{
    {"Combo1", "Search Engines:", kCombo1Items},
    {"Combo2", "Adult:", kCombo2Items},
    {"Combo3", "Newsgroups:", kCombo3Items},
    {"Combo4", "Software:", kCombo4Items},
    {"Combo5", "Misc.", kCombo5Items},
}};

constexpr auto C = EngineMode::Crawl;
constexpr auto D = EngineMode::Direct;
constexpr auto Terms = QueryForm::Terms;

// clang-format off
const EngineRecord kEngines[] = {
  {1, "AltaVista", C, Terms, "/cgi-bin/query?pg=q&kl=XX&stype=stext&q=", "&search.x=17&search.y=6", "", EnginePicker::None},
  {1, "Lycos", C, Terms, "/cgi-bin/pursuit?query=",
      "&cat=lycos&mtemp=pages&adv=1&first=1&maxhits=50&ps=0&pm=1&u0=N&u1=Y&u2=N&u3=Y&u4=cats&u5=1&u7=2", "", EnginePicker::None},
  {1, "HotBot", C, Terms, "/?MT=", "&SM=MC&DV=0&LG=any&DC=10&DE=2&_v=2&OPs=MDRTP&Search.x=38&Search.y=9", "", EnginePicker::None},
  {1, "Excite", C, Terms, "/search.gw?c=web&s=", "&showSummary=true&start=0&perPage=50", "", EnginePicker::None},
  {1, "Go", C, Terms, "/Titles?qt=", "&col=WW&sv=IS&lk=noframes&svx=home_searchbox", "", EnginePicker::None},
  {1, "Deja", C, Terms, "/=infoseek/dnquery.xp?query=", "&uniq=931554465.85196965", "", EnginePicker::None},
  {1, "LookSmart", C, Terms, "/r_search?key=", "&search=0&comefrom=ds.US-go6598-search", "", EnginePicker::None},
  {1, "1Blink", C, Terms, "/search.cgi?q=", "&submit=Go%21&t=web", "", EnginePicker::None},
  {1, "AOL", C, Terms, "/search.gw?search=",
      "&Search=Find%21&look=excite_netfind_us&sorig=rpage&nrm=n&pri=on&xls=b", "", EnginePicker::None},
  {1, "DogPile", C, Terms, "/texis/search?q=", "&fs=web&ss=stop&to=forty", "", EnginePicker::None},
  {1, "Questfinder", C, Terms, "/search/search.cgi?s=", "&category=catx3dx%3DALL&match=and&ul=either", "", EnginePicker::None},
  {1, "FFA Links", C, QueryForm::CategoryLast, "/cgi-bin/search_cust.cgi?query=",
      "&list_limit=50&brief=No&category_num=", "", EnginePicker::FfaCategories},
  {1, "FFA Links 2", C, Terms, "/ffasrch.cgi?word1=", "", "", EnginePicker::None},
  {1, "Classified", C, QueryForm::FixedAddress, "/usa/", "", "", EnginePicker::None},
  {1, "4Anything", C, Terms, "/search/search.cgi?query=", "", "", EnginePicker::None},

  {2, "Go2Net", C, Terms, "/cgi-bin/search-st?q=", "", "", EnginePicker::None},
  {2, "Erotiquest", C, Terms, "/results.cfm?words=", "", "", EnginePicker::None},
  {2, "Erolinx", C, Terms, "/cgi-bin/search/search.cgi?query=", "", "", EnginePicker::None},
  {2, "Questfinder", C, Terms, "/search/search.cgi?s=", "&category=catx3dx%3DAdults_Only&match=and&ul=either", "", EnginePicker::None},

  {3, "1Blink", C, Terms, "/search.cgi?q=", "&submit=Go%21&t=newsgroups", "", EnginePicker::None},

  {4, "Beyond", C, Terms, "/cgi-bin/search.htm?name_desc=",
      "&mfg_name=&category=&sku=&mfg_part=&os=WIN&media=ANY&Query.x=13&Query.y=15", "", EnginePicker::None},
  {4, "32Bit", C, Terms, "/pages/search.php3?search=", "&clicktrade=128780", "", EnginePicker::None},
  {4, "Jumbo", C, Terms, "/search/index.htp?qu=",
      "&ct=busines%2Cfonts%2Cgames2%2Cinternet%2CPDA%2Cscreensavers%2Cupload%2Cwp%2Cutilities%2CgamesSS%2CMustHave", "", EnginePicker::None},
  {4, "cInet", C, Terms, "/pc/list/1,339,0-a-0-0-e-1,00.html?search=", "&tag=st.dl.redir.src.fd&queryType=quicksearch", "", EnginePicker::None},
  {4, "Questfinder", C, Terms, "/search/search.cgi?s=", "&category=catx3dx%3DSoftware&match=and&ul=either", "", EnginePicker::None},

  {5, "Search The Net", D, QueryForm::OptionInSuffix, "/search/search.cgi?s=", "+&category=catx3dx=",
      "&match=and&ul=either&delete=&x=14&y=14", EnginePicker::NetCategories},
  {5, "Programming", D, QueryForm::OptionAsTerms, "/riquery.asp?keyword=", "", "", EnginePicker::ProgrammingTopics},
  {5, "VB", D, Terms, "/php-bin/search.php?searchview=priority&query=", "", "", EnginePicker::None},
  {5, "SoftSeek", D, Terms, "/cgi-bin/search.cgi?keywords=", "&seekindex=index&maxresults=100&cb=", "", EnginePicker::None},
  // Two slashes after the endpoint: the site's own address.
  {5, "Jobs", D, Terms, "//cgi-bin/w3-msql/jobspace/searchidx1.htm?T1=", "", "", EnginePicker::None},
  {5, "Anything", D, Terms, "/seek.cgi?what=", "", "", EnginePicker::None},
  {5, "Mp3", D, Terms, "/bin/search?query=", "", "", EnginePicker::None},
  {5, "Mp3 2", D, Terms, "/cgi-bin/search?form=lycosnet&query=", "&doit=Go+Get+It%21", "", EnginePicker::None},
  {5, "eBay", D, Terms, "/cgi-bin/texis/ebay/results.html?query=",
      "&ht=1&maxRecordsReturned=300&maxRecordsPerPage=300&SortProperty=MetaEndSort", "", EnginePicker::None},
  {5, "MultiAuctions", D, Terms, "/ResultsName.asp?LinkName='", "'", "", EnginePicker::None},
  {5, "Auction Search", D, Terms, "/cgi-bin/search_auctions.cgi?keyword=", "", "", EnginePicker::None},
};
// clang-format on

constexpr std::string_view kFfaCategories[] = {
    "none All Categories",      "1001 Art",
    "1002 Business financial",  "1003 Business general",
    "1004 Canadian",            "1005 Computers",
    "1006 Directories",         "1007 Education",
    "1008 Entertainment",       "1009 Ezines",
    "1010 Software",            "1011 Food",
    "1012 Free stuff",          "1013 Games",
    "1014 Gardening",           "1015 Government",
    "1016 Health",              "1017 Html support",
    "1018 Industry",            "1019 Internet",
    "1020 International",       "1021 Java",
    "1022 Jobs",                "1023 Law",
    "1024 Literature",          "1025 Marketing",
    "1026 Miscellaneous",       "1027 Mlm",
    "1028 Music",               "1029 News links",
    "1030 Non profit",          "1031 Personal",
    "1032 Realestate",          "1033 Reference",
    "1034 Religion",            "1035 Science and technology",
    "1036 On line shopping",    "1037 Social science",
    "1038 Sports",              "1039 Travel",
    "1040 Webdesign"};

constexpr std::string_view kProgrammingTopics[] = {
    "ASP: Components",
    "MISC: MCP Certification/Study Tips",
    "SQL: Miscellaneous",
    "SQL: Tools",
    "SQL: Tutorials",
    "VB: ActiveX controls",
    "VB: Addins",
    "VB: ADO (ActiveX Data Objects)",
    "VB: Calling DLLs",
    "VB: DAO (Data Access Object)",
    "VB: DDE (Dynamic Data Exchange)",
    "VB: DirectX",
    "VB: Freeware",
    "VB: Individual Home Pages",
    "VB: Links Pages",
    "VB: Microsoft Q articles",
    "VB: Miscellaneous",
    "VB: Miscellaneous How To's",
    "VB: New",
    "VB: ODBC (Open Database Connectivity)",
    "VB: OLE (Object Linking and Embedding)",
    "VB: Product Updates",
    "VB: Publications",
    "VB: RDO (Remote Data Objects)",
    "VB: Services/Consulting",
    "VB: Shareware",
    "VB: Software Configuration",
    "VB: Software Management",
    "VB: Sound Bites",
    "VB: Source Code and Examples",
    "VB: Third Party",
    "VB: Training",
    "VB: Tutorials",
    "VB: User Groups"};

constexpr std::string_view kNetCategories[] = {
    "Adult",          "Advertising",         "Animals",           "Arts",
    "Associate_Programs", "Auctions",        "Bands",             "Business",
    "Business_Opportunities", "Chat",        "Classifieds",       "Clubs",
    "Communications", "Community",           "Computers",         "Consumer",
    "Education",      "Employment",          "Entertainment",     "Finance",
    "Freebies",       "Gambling",            "Games",             "Government",
    "Health",         "Hobbies",             "Home",              "Internet",
    "Internet_Advertising", "Internet_Designers", "Internet_Hosting", "Internet_Promotion",
    "Internet_Providers", "Kids",            "Legal",             "MLM",
    "Manufacturing",  "Medical",             "Miscellaneous",     "Music",
    "News",           "Over_18",             "Personal",          "Pets",
    "Products",       "Publishing",          "Radio_Stations",    "Real_Estate",
    "Recreation",     "Reference",           "Religion",          "Science",
    "Services",       "Shopping",            "Software",          "Sports",
    "Technology",     "Transportation",      "Travel",            "Webmaster_Resources",
    "Wholesale"};

static_assert(std::size(kFfaCategories) == 41);
static_assert(std::size(kProgrammingTopics) == 34);
static_assert(std::size(kNetCategories) == 61);

}  // namespace

const EngineList& EngineListAt(int n) {
  return (n >= 1 && n <= kEngineListCount) ? kLists[static_cast<std::size_t>(n - 1)] : kLists[0];
}

std::span<const EngineRecord> EngineTable() { return kEngines; }

const EngineRecord* FindEngine(int list, std::string_view name) {
  for (const EngineRecord& e : kEngines) {
    if (e.list == list && e.name == name) return &e;
  }
  return nullptr;
}

const EngineRecord* FindEngine(std::string_view qualifiedName) {
  const std::size_t slash = qualifiedName.find('/');
  if (slash == std::string_view::npos) return nullptr;
  std::string_view list = qualifiedName.substr(0, slash);
  if (list.size() == 6 && list.substr(0, 5) == "Combo") list.remove_prefix(5);
  if (list.size() != 1 || list[0] < '1' || list[0] > '5') return nullptr;
  return FindEngine(list[0] - '0', qualifiedName.substr(slash + 1));
}

std::string QualifiedName(const EngineRecord& engine) {
  std::string out(EngineListAt(engine.list).control);
  out += '/';
  out += engine.name;
  return out;
}

std::span<const std::string_view> FfaCategories() { return kFfaCategories; }
std::span<const std::string_view> ProgrammingTopics() { return kProgrammingTopics; }
std::span<const std::string_view> NetCategories() { return kNetCategories; }

std::span<const std::string_view> SearchOptionItems(const EngineRecord& engine) {
  switch (engine.picker) {
    case EnginePicker::ProgrammingTopics: return kProgrammingTopics;
    case EnginePicker::NetCategories: return kNetCategories;
    default: return {};
  }
}

bool AllEnginesChosen(const RobotForm& form) { return form.Combo1 == kAllEngines; }

const EngineRecord* ResolveEngine(const RobotForm& form) {
  for (int list = 1; list <= kEngineListCount; ++list) {
    const std::string& text = form.Combo(list);
    if (text.empty()) continue;
    if (const EngineRecord* engine = FindEngine(list, text)) return engine;
  }
  return nullptr;
}

std::string BuildQueryAddress(const EngineRecord& engine, const EngineEndpoints& endpoints,
                              std::string_view expression, std::string_view ffaCategoryNumber,
                              std::string_view searchOption) {
  std::string address = endpoints.Endpoint(engine);
  address += engine.before;
  switch (engine.form) {
    case QueryForm::Terms:
      address += expression;
      address += engine.after;
      break;
    case QueryForm::FixedAddress:
      break;
    case QueryForm::OptionAsTerms:
      address += searchOption;
      address += engine.after;
      break;
    case QueryForm::CategoryLast:
      address += expression;
      address += engine.after;
      address += ffaCategoryNumber;
      break;
    case QueryForm::OptionInSuffix:
      address += expression;
      address += engine.after;
      address += searchOption;
      address += engine.tail;
      break;
  }
  return address;
}

bool AppendPictureSuffix(RobotForm& form, const EngineRecord* engine) {
  if (!form.chkPix) return false;
  if (engine != nullptr && engine->mode != EngineMode::Crawl) return false;
  form.txtSearchString += kPictureSuffix;
  return true;
}

}  // namespace zorvik
