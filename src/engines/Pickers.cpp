#include "engines/Pickers.h"

#include "core/Host.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "core/Text.h"
#include "engines/EngineCatalogue.h"

namespace zorvik {

namespace {

// Runs a loaded picker window and routes its outcome: the button with the
// chosen item or with nothing selected, or the close box.
template <class Picker>
void RunModal(Picker& picker, Host& host, SearchState& state) {
  const ListPick pick = host.PickFromList(Picker::kCaption, picker.List1(), Picker::kButton);
  switch (pick.outcome) {
    case ListPick::Outcome::Chosen: picker.Command1_Click(pick.text, state); break;
    case ListPick::Outcome::NoSelection: picker.Command1_Click({}, state); break;
    case ListPick::Outcome::Closed: picker.Unload(); break;
  }
}

}  // namespace

void FfaCategoriesPicker::Load() {
  if (loaded_) return;
  list1_.assign(FfaCategories().begin(), FfaCategories().end());
  loaded_ = true;
}

void FfaCategoriesPicker::Unload() {
  list1_.clear();
  loaded_ = false;
}

void FfaCategoriesPicker::Show(Host& host, SearchState& state) {
  Load();
  RunModal(*this, host, state);
}

void FfaCategoriesPicker::Command1_Click(std::string_view selected, SearchState& state) {
  state.FfaCategoryNumber = text::Left(selected, 4);
  Unload();
}

void SearchOptionsPicker::AddItem(std::string_view item) {
  loaded_ = true;
  list1_.emplace_back(item);
}

void SearchOptionsPicker::Unload() {
  list1_.clear();
  loaded_ = false;
}

void SearchOptionsPicker::Show(Host& host, SearchState& state) {
  loaded_ = true;
  RunModal(*this, host, state);
}

void SearchOptionsPicker::Command1_Click(std::string_view selected, SearchState& state) {
  state.SearchOption = selected;
  Unload();
}

bool AskSearchOption(const EngineRecord& engine, SearchOptionsPicker& picker, Host& host,
                     SearchState& state) {
  const auto items = SearchOptionItems(engine);
  if (items.empty()) return false;
  for (std::string_view item : items) picker.AddItem(item);
  picker.Show(host, state);
  return true;
}

bool Combo1SelectionChanged(const RobotForm& form, FfaCategoriesPicker& picker, Host& host,
                            SearchState& state) {
  const EngineRecord* engine = FindEngine(1, form.Combo1);
  if (engine == nullptr || engine->picker != EnginePicker::FfaCategories) return false;
  picker.Show(host, state);
  return true;
}

}  // namespace zorvik
