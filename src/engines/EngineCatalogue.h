#pragma once
// The engine catalogue: the five engine lists of the robot window, one record
// per engine with its query template, the category tables of the engines that
// need one, the dispatch over the lists and the query builder. Pure data and
// pure functions; the endpoints come from EngineEndpoints.

#include <span>
#include <string>
#include <string_view>

namespace zorvik {

struct RobotForm;
class EngineEndpoints;

inline constexpr int kEngineListCount = 5;

// One drop-down engine list: its control, its label and its items in order.
// The first item is always the empty string (no engine from this list).
struct EngineList {
  std::string_view control;  // "Combo1" .. "Combo5"
  std::string_view caption;  // "Search Engines:" ...
  std::span<const std::string_view> items;
};

// The list n (1..5). Any other n gives the first list.
const EngineList& EngineListAt(int n);

enum class EngineMode {
  Crawl,   // the query address starts a crawl to the chosen depth
  Direct,  // the query address is fetched once and its result section cut
};

// How the pieces of a query address are put together.
enum class QueryForm {
  Terms,         // endpoint + before + expression + after
  FixedAddress,  // endpoint + before; the expression is not used
  OptionAsTerms, // endpoint + before + SearchOption + after
  CategoryLast,  // endpoint + before + expression + after + FfaCategoryNumber
  OptionInSuffix // endpoint + before + expression + after + SearchOption + tail
};

// Which category picker an engine asks before its query is built.
enum class EnginePicker { None, FfaCategories, ProgrammingTopics, NetCategories };

struct EngineRecord {
  int list;                // 1..5
  std::string_view name;   // display name, compared exactly
  EngineMode mode;
  QueryForm form;
  std::string_view before; // text between the endpoint and the terms
  std::string_view after;  // text after the terms
  std::string_view tail;   // OptionInSuffix only: text after the option
  EnginePicker picker;
};

// Every engine, in list order and within a list in item order.
std::span<const EngineRecord> EngineTable();

// The engine a list offers under a display name, or nullptr.
const EngineRecord* FindEngine(int list, std::string_view name);
// "ComboN/Display name" (or "N/Display name"), or nullptr.
const EngineRecord* FindEngine(std::string_view qualifiedName);
// "ComboN/Display name".
std::string QualifiedName(const EngineRecord& engine);

// Category tables.
std::span<const std::string_view> FfaCategories();      // 41 items, "none All Categories" first
std::span<const std::string_view> ProgrammingTopics();  // 34 items
std::span<const std::string_view> NetCategories();      // 61 items
// The items the "Search Options" picker shows for an engine (empty for an
// engine that takes no option).
std::span<const std::string_view> SearchOptionItems(const EngineRecord& engine);

// The text of Combo1 that hands over to the run of every general engine.
inline constexpr std::string_view kAllEngines = "All";
bool AllEnginesChosen(const RobotForm& form);

// The engine the lists select: the first list, Combo1 to Combo5, whose text
// names an engine of that list. "All" and list items without an engine
// ("Deja" of the newsgroup list) name none. nullptr: no engine, the typed
// start address is used.
const EngineRecord* ResolveEngine(const RobotForm& form);

// The request address of an engine. The expression is inserted exactly as
// typed: no escaping, no trimming.
std::string BuildQueryAddress(const EngineRecord& engine, const EngineEndpoints& endpoints,
                              std::string_view expression, std::string_view ffaCategoryNumber,
                              std::string_view searchOption);

// What a picture search appends to the expression field once the address of
// a crawl has been built; it stays in the field.
inline constexpr std::string_view kPictureSuffix = " or jpg or gif or JPG or GIF";
// Appends kPictureSuffix to txtSearchString when "Picture(s)" is ticked and
// the search goes the crawl way (a crawl-mode engine or no engine at all).
// True when it appended.
bool AppendPictureSuffix(RobotForm& form, const EngineRecord* engine);

}  // namespace zorvik
