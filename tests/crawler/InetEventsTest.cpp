// How the transfer component behaves around its callers: handlers that
// yield, cancel or start the next request, busy instances, waits.

#include <memory>
#include <string>

#include "InetFixture.h"

namespace zorvik::inettest {
namespace {

TEST_F(InetTest, AHandlerThatYieldsSeesTheRestOfTheStatesInOrderOnce) {
  int depth = 0;
  int deepest = 0;
  inet.StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    deepest = std::max(deepest, ++depth);
    for (int i = 0; i < 2000; ++i) host.DoEvents();  // as the page test does at 12
    --depth;
  };
  Run(server.Url("/binary"));
  EXPECT_EQ(states, kFullSequence);
  EXPECT_GT(deepest, 1) << "the yields inside the handler delivered nothing";
  EXPECT_EQ(ReadAll(1 << 20).size(), 3'000'000u);
}

TEST_F(InetTest, AHandlerMayStartTheNextRequestOrFetchWithOpenUrl) {
  std::vector<std::string> bodies;
  int next = 1;
  inet.StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    if (s != 12) return;
    bodies.push_back(ReadAll());
    if (next < 3) {
      EXPECT_TRUE(inet.Execute(server.Url("/page/" + std::to_string(next++))));
      host.DoEvents();  // and yields right after starting it
    } else if (next++ == 3) {
      bodies.push_back(inet.OpenURL(server.Url("/page/9")));
    }
  };
  ASSERT_TRUE(inet.Execute(server.Url("/page/0")));
  // A busy instance refuses another request.
  EXPECT_FALSE(inet.Execute(server.Url("/page/7")));
  EXPECT_EQ(inet.OpenURL(server.Url("/page/7")), "");
  ASSERT_TRUE(WaitFor([&] { return bodies.size() == 4; }));
  for (int i = 0; i < 10; ++i) host.WaitEvents(2ms);
  States three;
  for (int i = 0; i < 3; ++i) three.insert(three.end(), kFullSequence.begin(), kFullSequence.end());
  EXPECT_EQ(states, three) << "OpenURL inside the handler raised states";
  EXPECT_EQ(bodies, (std::vector<std::string>{"<html>page 0</html>", "<html>page 1</html>",
                                              "<html>page 2</html>", "<html>page 9</html>"}));
  EXPECT_FALSE(inet.StillExecuting());
  EXPECT_EQ(server.Connections(), 1u);
}

TEST_F(InetTest, CancelEndsTheRequestOnceInErrorAndLeavesNothingBehind) {
  std::string bodyAt8;
  // From a handler while the body arrives, and at 8 with 9, 10 and 12 queued.
  for (const auto& [at, path] : {std::pair<int, const char*>{7, "/binary"}, {8, "/page"}}) {
    inet.StateChanged = [&, at = at](std::int16_t s) {
      states.push_back(s);
      if (s == 8) bodyAt8 = ReadAll();
      if (s != at) return;
      inet.Cancel();
      inet.Cancel();  // finds nothing running
    };
    Run(server.Url(path));
    States expected(kFullSequence.begin(), kFullSequence.begin() + at);
    expected.push_back(11);
    EXPECT_EQ(states, expected) << path;
    ExpectFailed("Cancelled");
    EXPECT_FALSE(inet.StillExecuting());
  }
  EXPECT_EQ(bodyAt8, kHello) << "the body is whole at state 8";

  // Right after Execute, as the address box does: no old event may follow.
  inet.StateChanged = [this](std::int16_t s) { states.push_back(s); };
  states.clear();
  ASSERT_TRUE(inet.Execute(server.Url("/hop/3")));
  inet.Cancel();
  EXPECT_EQ(states, (States{11})) << "11 is raised by Cancel itself";
  Run(server.Url("/page"));
  EXPECT_EQ(states, kFullSequence);
  EXPECT_EQ(ReadAll(), kHello);
  states.clear();
  inet.Cancel();  // nothing runs: nothing changes
  EXPECT_TRUE(states.empty());
  EXPECT_EQ(inet.ResponseInfo(), "HTTP/1.1 200 OK");
}

TEST_F(InetTest, AHandlerMayReplaceItselfBeRemovedOrDestroyItsInstance) {
  States second;
  inet.StateChanged = [&](std::int16_t s) {
    if (s == 3) inet.StateChanged = [&](std::int16_t t) { second.push_back(t); };
    states.push_back(s);  // the replaced handler still runs to its end
  };
  ASSERT_TRUE(inet.Execute(server.Url("/page")));
  ASSERT_TRUE(WaitFor([&] { return !inet.StillExecuting(); }));
  EXPECT_EQ(states, (States{1, 2, 3}));
  EXPECT_EQ(second, (States{4, 5, 6, 7, 8, 9, 10, 12}));
  inet.StateChanged = nullptr;
  ASSERT_TRUE(inet.Execute(server.Url("/page")));
  ASSERT_TRUE(WaitFor([&] { return !inet.StillExecuting(); }));
  EXPECT_EQ(ReadAll(), kHello);

  auto own = std::make_unique<CurlInet>(host);
  own->StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    if (s == 7) own.reset();
  };
  ASSERT_TRUE(own->Execute(server.Url("/page")));
  ASSERT_TRUE(WaitFor([&] { return own == nullptr; }));
  for (int i = 0; i < 10; ++i) host.WaitEvents(2ms);
  EXPECT_EQ(states.back(), 7);
}

// Counts the waits that fell back to the window system (a whole time-out each).
class CountingHost : public testing::FakeHost {
 public:
  int platformWaits = 0;

 protected:
  void WaitPlatform(std::chrono::milliseconds) override { ++platformWaits; }
};

TEST_F(InetTest, AWaitThatIsAnsweredByItsOwnPumpReturnsWithoutBlocking) {
  CountingHost waiting;
  CurlInet own(waiting);
  bool ended = false;
  own.StateChanged = [&](std::int16_t s) { ended = ended || s == 11 || s == 12; };
  // A refused address ends within the wait's first pump.
  for (const std::string& url :
       {std::string(), server.Url("/page/1"), std::string("ftp://x/"), server.Url("/page/2")}) {
    ended = false;
    ASSERT_TRUE(own.Execute(url));
    while (!ended) waiting.WaitEvents(50ms);
    EXPECT_EQ(own.OpenURL(server.Url("/page")), kHello);
  }
  EXPECT_EQ(waiting.platformWaits, 0);
}

}  // namespace
}  // namespace zorvik::inettest
