#pragma once
// The two category pickers as models of their modal windows. Each has one list
// and one button; the button stores the selected item in the search state and
// unloads the window, the close box unloads it without a change. An unloaded
// window loads afresh at its next showing: the FFA picker fills its list
// again, the options picker starts empty and is filled by its caller. Both
// reach the user through Host::PickFromList.

#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

class Host;
struct EngineRecord;
struct RobotForm;
struct SearchState;

// "FFA Categories": sets FfaCategoryNumber to the first four characters of
// the chosen item ("none", "1001" ... "1040").
class FfaCategoriesPicker {
 public:
  static constexpr std::string_view kCaption = "FFA Categories";
  static constexpr std::string_view kButton = "&Use";

  bool Loaded() const { return loaded_; }
  const std::vector<std::string>& List1() const { return list1_; }

  // Loads the window when needed and shows it modally; returns when it is
  // closed.
  void Show(Host& host, SearchState& state);
  // The button, with the text of the selected item (empty when none is).
  void Command1_Click(std::string_view selected, SearchState& state);
  void Unload();

 private:
  void Load();
  bool loaded_ = false;
  std::vector<std::string> list1_;
};

// "Search Options": sets SearchOption to the whole text of the chosen item.
class SearchOptionsPicker {
 public:
  static constexpr std::string_view kCaption = "Search Options";
  static constexpr std::string_view kButton = "Use";

  bool Loaded() const { return loaded_; }
  const std::vector<std::string>& List1() const { return list1_; }

  // Adds an item to the list, loading the (empty) window first when needed.
  void AddItem(std::string_view item);
  void Show(Host& host, SearchState& state);
  void Command1_Click(std::string_view selected, SearchState& state);
  void Unload();

 private:
  bool loaded_ = false;
  std::vector<std::string> list1_;
};

// For an engine that takes a search option ("Programming", "Search The Net"):
// fills the options picker with the engine's items and shows it. False (and
// nothing shown) for any other engine.
bool AskSearchOption(const EngineRecord& engine, SearchOptionsPicker& picker, Host& host,
                     SearchState& state);

// The selection of the first engine list changed: "FFA Links" opens the FFA
// picker at once. True when the picker was shown.
bool Combo1SelectionChanged(const RobotForm& form, FfaCategoriesPicker& picker, Host& host,
                            SearchState& state);

}  // namespace zorvik
