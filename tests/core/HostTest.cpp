#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/FakeHost.h"

namespace zorvik {
namespace {

using namespace std::chrono_literals;

struct CountingSource : EventSource {
  bool Pump() override {
    ++pumps;
    return progress;
  }
  bool Active() const override { return active; }
  void WaitForActivity(std::chrono::milliseconds timeout) override {
    ++waits;
    lastTimeout = timeout;
  }
  int pumps = 0, waits = 0;
  std::chrono::milliseconds lastTimeout{};
  bool active = false, progress = false;
};

TEST(HostTest, YieldsPumpAtMostOncePerInterval) {
  testing::FakeHost host(std::chrono::microseconds(50ms));
  CountingSource source;
  host.AddEventSource(&source);
  for (int i = 0; i < 100000; ++i) host.DoEvents();
  EXPECT_EQ(host.YieldCount(), 100000u);
  EXPECT_LE(source.pumps, 3) << "a tight loop of yields must not pump each time";
  std::this_thread::sleep_for(60ms);
  const int before = source.pumps;
  for (int i = 0; i < 5000; ++i) host.DoEvents();
  EXPECT_GT(source.pumps, before) << "after the interval a yield pumps again";
}

TEST(HostTest, WaitingBlocksOnABusySourceAndAlwaysPumps) {
  testing::FakeHost host(std::chrono::microseconds(50ms));
  CountingSource source;
  host.AddEventSource(&source);
  host.WaitEvents(10ms);
  EXPECT_EQ(source.waits, 0) << "an idle source is not waited on";
  EXPECT_EQ(source.pumps, 2);
  source.active = true;
  host.WaitEvents(10ms);
  EXPECT_EQ(source.waits, 1);
  EXPECT_EQ(source.pumps, 4);
  source.progress = true;
  host.WaitEvents(10ms);
  EXPECT_EQ(source.waits, 1) << "a pump that brought news ends the wait at once";
  EXPECT_EQ(source.pumps, 5);
  source.progress = false;
  host.SetLongestBlock(3ms);
  host.WaitEvents(10ms);
  EXPECT_EQ(source.lastTimeout, 3ms) << "a window host keeps each block short";
}

// Whether the sources are busy is checked through Qt's loop in the QtHost tests.
TEST(HostTest, IdleTimePumpsTheSourcesWithoutTheWindowSystem) {
  testing::FakeHost host;
  CountingSource source;
  host.AddEventSource(&source);
  host.PumpEventSources();
  EXPECT_EQ(source.pumps, 1);
  EXPECT_EQ(host.PumpCount(), 0u);
}

TEST(HostTest, ASourceMayRemoveItselfWhileBeingPumped) {
  testing::FakeHost host;
  CountingSource second;
  struct SelfRemoving : EventSource {
    Host* host = nullptr;
    int pumps = 0;
    bool Pump() override {
      ++pumps;
      host->RemoveEventSource(this);
      host->DoEvents();  // a handler that yields inside the pump
      return true;
    }
    bool Active() const override { return false; }
    void WaitForActivity(std::chrono::milliseconds) override {}
  } first;
  first.host = &host;
  host.AddEventSource(&first);
  host.AddEventSource(&second);
  host.DoEvents();
  host.DoEvents();
  EXPECT_EQ(first.pumps, 1);
  EXPECT_EQ(second.pumps, 3) << "the nested yield and both outer yields reach the second source";
}

}  // namespace
}  // namespace zorvik
