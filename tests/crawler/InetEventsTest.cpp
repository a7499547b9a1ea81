// How the transfer component behaves around its callers: handlers that
// yield, cancel or start the next request, busy instances, connection reuse.

#include <string>

#include "InetFixture.h"

namespace zorvik::inettest {
namespace {

std::vector<std::int16_t> Repeat(const std::vector<std::int16_t>& one, int times) {
  std::vector<std::int16_t> all;
  for (int i = 0; i < times; ++i) all.insert(all.end(), one.begin(), one.end());
  return all;
}

TEST_F(InetTest, RequestsInARowReuseOneConnection) {
  CurlInet inet(host, Quick());
  Record(inet);
  for (int i = 0; i < 5; ++i) {
    Run(inet, server.Url("/page/" + std::to_string(i)));
    EXPECT_EQ(states, kFullSequence) << "request " << i;
    EXPECT_EQ(ReadAll(inet, 1024), "<html>page " + std::to_string(i) + "</html>");
  }
  EXPECT_EQ(inet.OpenURL(server.Url("/page"), Inet::kText), "<html><body>hello</body></html>");
  EXPECT_EQ(server.Requests(), 6u);
  EXPECT_EQ(server.Connections(), 1u);
}

TEST_F(InetTest, AHandlerThatYieldsSeesTheRestOfTheStatesInOrderOnce) {
  CurlInet inet(host, Quick());
  int depth = 0;
  int deepest = 0;
  inet.StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    ++depth;
    deepest = std::max(deepest, depth);
    // Like the page test at state 12, yield a great many times.
    for (int i = 0; i < 2000; ++i) host.DoEvents();
    --depth;
  };
  Run(inet, server.Url("/binary"));
  EXPECT_EQ(states, kFullSequence);
  EXPECT_GT(deepest, 1) << "the yields inside the handler delivered nothing";
  EXPECT_EQ(ReadAll(inet, 1 << 20).size(), 3'000'000u);
}

TEST_F(InetTest, AHandlerMayStartTheNextRequestWhenOneCompletes) {
  CurlInet inet(host, Quick());
  std::vector<std::string> bodies;
  std::vector<bool> accepted;
  int next = 1;
  inet.StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    if (s != 12 && s != 11) return;
    bodies.push_back(ReadAll(inet, 1024));
    if (next < 3) {
      accepted.push_back(inet.Execute(server.Url("/page/" + std::to_string(next++))));
      host.DoEvents();  // and yields right after starting it
    }
  };
  ASSERT_TRUE(inet.Execute(server.Url("/page/0")));
  ASSERT_TRUE(WaitFor([&] { return bodies.size() == 3; }));
  EXPECT_EQ(accepted, (std::vector<bool>{true, true}));
  EXPECT_EQ(states, Repeat(kFullSequence, 3));
  EXPECT_EQ(bodies, (std::vector<std::string>{"<html>page 0</html>", "<html>page 1</html>",
                                              "<html>page 2</html>"}));
  EXPECT_EQ(server.Connections(), 1u);
}

TEST_F(InetTest, AHandlerMayFetchWithOpenUrlOnceTheRequestCompleted) {
  CurlInet inet(host, Quick());
  std::string fetched;
  inet.StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    if (s == 12) fetched = inet.OpenURL(server.Url("/page/9"), Inet::kText);
  };
  ASSERT_TRUE(inet.Execute(server.Url("/page/8")));
  ASSERT_TRUE(WaitFor([&] { return !fetched.empty(); }));
  for (int i = 0; i < 5; ++i) host.WaitEvents(1ms);
  EXPECT_EQ(fetched, "<html>page 9</html>");
  EXPECT_EQ(states, kFullSequence) << "OpenURL inside the handler raised states";
  EXPECT_FALSE(inet.StillExecuting());
}

TEST_F(InetTest, ABusyInstanceRefusesASecondRequest) {
  CurlInet inet(host, Quick());
  Record(inet);
  ASSERT_TRUE(inet.Execute(server.Url("/page/1")));
  EXPECT_TRUE(inet.StillExecuting());
  EXPECT_FALSE(inet.Execute(server.Url("/page/2")));
  EXPECT_EQ(inet.OpenURL(server.Url("/page/3"), Inet::kText), "");
  ASSERT_TRUE(WaitFor([this] { return Ended(); }));
  EXPECT_EQ(states, kFullSequence);
  EXPECT_EQ(ReadAll(inet, 1024), "<html>page 1</html>");
  EXPECT_EQ(server.Requests(), 1u);
}

TEST_F(InetTest, CancelInsideAHandlerEndsTheRequestInErrorOnce) {
  CurlInet inet(host, Quick());
  inet.StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    if (s == 7) {
      inet.Cancel();
      inet.Cancel();  // a second Cancel finds nothing running
    }
  };
  ASSERT_TRUE(inet.Execute(server.Url("/stall")));
  ASSERT_TRUE(WaitFor([this] { return Ended(); }));
  for (int i = 0; i < 20; ++i) host.WaitEvents(5ms);
  EXPECT_EQ(states, (std::vector<std::int16_t>{1, 2, 3, 4, 5, 6, 7, 11}));
  EXPECT_EQ(inet.ResponseInfo(), "Cancelled");
  EXPECT_FALSE(inet.StillExecuting());
  EXPECT_EQ(inet.GetChunk(1 << 20, Inet::kText), "") << "a cancelled body was handed out";

  // The instance carries on with the next request, untouched by the old one.
  inet.StateChanged = [this](std::int16_t s) { states.push_back(s); };
  Run(inet, server.Url("/page"));
  EXPECT_EQ(states, kFullSequence);
  EXPECT_EQ(ReadAll(inet, 1024), "<html><body>hello</body></html>");
}

TEST_F(InetTest, CancelFromTheWaitLoopLeavesNothingForTheNextRequest) {
  // The address box cancels and at once starts a new search: no event of
  // the cancelled request may arrive after the new Execute.
  CurlInet inet(host, Quick());
  Record(inet);
  ASSERT_TRUE(inet.Execute(server.Url("/hop/3")));
  inet.Cancel();
  EXPECT_EQ(states, (std::vector<std::int16_t>{11})) << "11 is raised by Cancel itself";
  EXPECT_EQ(inet.ResponseInfo(), "Cancelled");
  states.clear();
  ASSERT_TRUE(inet.Execute(server.Url("/page")));
  ASSERT_TRUE(WaitFor([this] { return Ended(); }));
  EXPECT_EQ(states, kFullSequence);

  // Cancel when nothing runs changes nothing.
  states.clear();
  inet.Cancel();
  EXPECT_TRUE(states.empty());
  EXPECT_EQ(inet.ResponseInfo(), "HTTP/1.1 200 OK");
}

TEST_F(InetTest, CancelAfterTheBodyArrivedButBeforeTheEndWasDeliveredEndsInError) {
  // At state 8 the whole body is in and states 9, 10 and 12 wait in the
  // queue: Cancel must drop them, so that the request ends once, in 11.
  CurlInet inet(host, Quick());
  std::string bodyAt8;
  inet.StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    if (s == 8) {
      bodyAt8 = ReadAll(inet, 1024);
      inet.Cancel();
    }
  };
  ASSERT_TRUE(inet.Execute(server.Url("/page")));
  ASSERT_TRUE(WaitFor([this] { return Ended(); }));
  for (int i = 0; i < 10; ++i) host.WaitEvents(1ms);
  EXPECT_EQ(states, (std::vector<std::int16_t>{1, 2, 3, 4, 5, 6, 7, 8, 11}));
  EXPECT_EQ(bodyAt8, "<html><body>hello</body></html>") << "the body is whole at state 8";
}

TEST_F(InetTest, CancelStopsABlockingOpenUrl) {
  CurlInet inet(host, Quick());
  Record(inet);
  int pumps = 0;
  host.onPump = [&] {
    if (++pumps == 6) inet.Cancel();  // the stop button, pressed while it waits
  };
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(inet.OpenURL(server.Url("/silent"), Inet::kBytes), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(inet.ResponseInfo(), "Cancelled");
  EXPECT_TRUE(states.empty());
  host.onPump = nullptr;
  server.Release();
  EXPECT_EQ(inet.OpenURL(server.Url("/page"), Inet::kText), "<html><body>hello</body></html>");
}

TEST_F(InetTest, AHandlerMayReplaceItselfAndTheInstanceMayOutliveNoHandler) {
  CurlInet inet(host, Quick());
  std::vector<std::int16_t> second;
  inet.StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    if (s == 3) inet.StateChanged = [&](std::int16_t t) { second.push_back(t); };
  };
  ASSERT_TRUE(inet.Execute(server.Url("/page")));
  ASSERT_TRUE(WaitFor([&] { return !second.empty() && second.back() == 12; }));
  EXPECT_EQ(states, (std::vector<std::int16_t>{1, 2, 3}));
  EXPECT_EQ(second, (std::vector<std::int16_t>{4, 5, 6, 7, 8, 9, 10, 12}));
  inet.StateChanged = nullptr;
  ASSERT_TRUE(inet.Execute(server.Url("/page")));
  ASSERT_TRUE(WaitFor([&] { return !inet.StillExecuting(); }));
  EXPECT_EQ(ReadAll(inet, 1024), "<html><body>hello</body></html>");
}

TEST_F(InetTest, DestroyingTheInstanceInsideAHandlerIsSafe) {
  auto inet = std::make_unique<CurlInet>(host, Quick());
  inet->StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    if (s == 7) inet.reset();
  };
  ASSERT_TRUE(inet->Execute(server.Url("/page")));
  ASSERT_TRUE(WaitFor([&] { return inet == nullptr; }));
  for (int i = 0; i < 10; ++i) host.WaitEvents(1ms);
  EXPECT_EQ(states.back(), 7);
}

}  // namespace
}  // namespace zorvik::inettest

namespace zorvik::inettest {
namespace {

// Counts the times a wait found no busy source and fell back to waiting for
// the window system: each of those costs the GUI a whole wait time-out.
class CountingHost : public testing::FakeHost {
 public:
  int platformWaits = 0;

 protected:
  void WaitPlatform(std::chrono::milliseconds) override { ++platformWaits; }
};

TEST_F(InetTest, AWaitThatIsAnsweredByItsOwnPumpReturnsWithoutBlocking) {
  CountingHost waiting;
  CurlInet inet(waiting, Quick());
  bool ended = false;
  inet.StateChanged = [&](std::int16_t s) { ended = ended || s == 11 || s == 12; };
  // An address refused before any transfer: its whole run of states comes
  // out of the wait's first pump.
  for (const std::string& url : {std::string(), server.Url("/page/1"), std::string("ftp://x/"),
                                server.Url("/page/2")}) {
    ended = false;
    ASSERT_TRUE(inet.Execute(url));
    while (!ended) waiting.WaitEvents(50ms);
    EXPECT_EQ(inet.OpenURL(server.Url("/page"), Inet::kText), "<html><body>hello</body></html>");
  }
  EXPECT_EQ(waiting.platformWaits, 0);
}

}  // namespace
}  // namespace zorvik::inettest
