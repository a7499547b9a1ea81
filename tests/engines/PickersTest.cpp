#include <gtest/gtest.h>

#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "engines/EngineCatalogue.h"
#include "engines/Pickers.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

ListPick Chosen(std::string text) { return {ListPick::Outcome::Chosen, std::move(text)}; }
ListPick NothingSelected() { return {ListPick::Outcome::NoSelection, {}}; }
ListPick Closed() { return {ListPick::Outcome::Closed, {}}; }

class PickersTest : public ::testing::Test {
 protected:
  testing::FakeHost host;
  SearchState state;
  RobotForm form;
  FfaCategoriesPicker ffa;
  SearchOptionsPicker options;
};

TEST_F(PickersTest, FfaPickerOpensForFfaLinksAndKeepsWhatWasChosen) {
  form.Combo1 = "FFA Links 2";
  EXPECT_FALSE(Combo1SelectionChanged(form, ffa, host, state));
  form.Combo1 = "FFA Links";
  host.pickAnswers = {Chosen("1035 Science and technology"), Closed(), NothingSelected(), Chosen("ab")};
  EXPECT_TRUE(Combo1SelectionChanged(form, ffa, host, state));
  ASSERT_EQ(host.pickers.size(), 1u);
  EXPECT_EQ(host.pickers[0].caption, "FFA Categories");
  EXPECT_EQ(host.pickers[0].buttonText, "&Use");
  EXPECT_EQ(host.pickers[0].items.front(), "none All Categories");
  EXPECT_EQ(host.pickers[0].items.back(), "1040 Webdesign");
  EXPECT_EQ(state.FfaCategoryNumber, "1035");
  ffa.Show(host, state);  // close box: value kept
  EXPECT_EQ(state.FfaCategoryNumber, "1035");
  ffa.Show(host, state);  // "&Use" with nothing selected
  EXPECT_EQ(state.FfaCategoryNumber, "");
  ffa.Show(host, state);  // fewer than four characters
  EXPECT_EQ(state.FfaCategoryNumber, "ab");
  ASSERT_EQ(host.pickers.size(), 4u);
  for (const auto& shown : host.pickers) EXPECT_EQ(shown.items.size(), 41u) << "list filled once per showing";
  EXPECT_FALSE(ffa.Loaded());
  EXPECT_TRUE(ffa.List1().empty());
}

TEST_F(PickersTest, OptionsPickerIsFilledByItsCallerAndEmptiedAfterEachShowing) {
  const EngineRecord& net = *FindEngine(5, "Search The Net");
  const EngineRecord& programming = *FindEngine(5, "Programming");
  host.pickAnswers = {Closed(), Chosen("Business_Opportunities"), Closed(), Chosen("VB: Sound Bites"),
                      NothingSelected()};

  EXPECT_TRUE(AskSearchOption(net, options, host, state));  // closed the first time: still empty
  EXPECT_EQ(state.SearchOption, "");
  EXPECT_TRUE(AskSearchOption(net, options, host, state));
  EXPECT_EQ(state.SearchOption, "Business_Opportunities");
  EXPECT_TRUE(AskSearchOption(net, options, host, state));  // closed: value kept
  EXPECT_EQ(state.SearchOption, "Business_Opportunities");
  EXPECT_TRUE(AskSearchOption(programming, options, host, state));
  EXPECT_EQ(state.SearchOption, "VB: Sound Bites");
  EXPECT_TRUE(AskSearchOption(programming, options, host, state));
  EXPECT_EQ(state.SearchOption, "");

  ASSERT_EQ(host.pickers.size(), 5u);
  EXPECT_EQ(host.pickers[0].caption, "Search Options");
  EXPECT_EQ(host.pickers[0].buttonText, "Use");
  // Later "Search The Net" runs show the 61 categories once, not twice.
  EXPECT_EQ(host.pickers[0].items.size(), 61u);
  EXPECT_EQ(host.pickers[2].items, host.pickers[0].items);
  EXPECT_EQ(host.pickers[3].items.size(), 34u);
  EXPECT_EQ(host.pickers[3].items.front(), "ASP: Components");
  EXPECT_FALSE(options.Loaded());
  EXPECT_TRUE(options.List1().empty());

  // Engines without options show nothing.
  EXPECT_FALSE(AskSearchOption(*FindEngine(5, "VB"), options, host, state));
  EXPECT_FALSE(AskSearchOption(*FindEngine(1, "FFA Links"), options, host, state));
  EXPECT_EQ(host.pickers.size(), 5u);
}

}  // namespace
}  // namespace zorvik
