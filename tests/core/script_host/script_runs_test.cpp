// The running scripts as the offer to stop them sees them: when the window thread counts as kept
// from its messages, and stopping every script that runs, the nested ones and those started
// while the stop is carried out.

#include <gtest/gtest.h>

#include "core/script_host/script_runs.h"
#include "engine/engine.h"
#include "platform/fake/fake_system.h"

namespace dravik::core {
namespace {

class ScriptRunsTest : public ::testing::Test {
 protected:
  ScriptRunsTest() { runs.SetOnChange([this] { ++changes; }); }

  // "path since", or "" when the thread is not kept busy.
  std::string Busy() const {
    const std::optional<ScriptRuns::Busy> busy = runs.BusyScript();
    return busy ? busy->scriptPath + " " + std::to_string(busy->since) : "";
  }

  platform::FakePlatform fake;
  ScriptRuns runs{fake.clock, fake.application};
  engine::Script outer, inner;
  int changes = 0;
};

TEST_F(ScriptRunsTest, BusyFromTheStartOrTheLastWaitUntilTheNextWaitOrTheEnd) {
  EXPECT_EQ(Busy(), "");
  fake.clock.ticks = 10;
  {
    const ScriptRuns::Running running(runs, outer, "a.dk2");
    fake.clock.ticks = 20;
    EXPECT_EQ(Busy(), "a.dk2 10");
    {
      const ScriptRuns::Responsive waiting(runs);
      EXPECT_EQ(Busy(), "");
      fake.clock.ticks = 30;
      {
        // A mount from a handler inside the wait: its script keeps the thread busy again.
        const ScriptRuns::Running nested(runs, inner, "mount.dk2");
        fake.clock.ticks = 40;
        EXPECT_EQ(Busy(), "mount.dk2 30");
      }
      EXPECT_EQ(Busy(), "");
      fake.clock.ticks = 50;
    }
    EXPECT_EQ(Busy(), "a.dk2 50");
    {
      // A script started by a busy one (MountFile runs the mount script) goes on from its time.
      const ScriptRuns::Running nested(runs, inner, "mount.dk2");
      EXPECT_EQ(Busy(), "mount.dk2 50");
    }
    EXPECT_EQ(Busy(), "a.dk2 50");
  }
  EXPECT_EQ(Busy(), "");
  EXPECT_EQ(changes, 8);  // one for every start and end of a run or a wait
}

TEST_F(ScriptRunsTest, StopAllStopsEveryRunningScriptAndThoseStartedMeanwhile) {
  runs.StopAll();  // nothing runs: nothing to carry out, and later scripts run
  EXPECT_FALSE(runs.StopRequested());
  EXPECT_EQ(fake.application.wakes, 0);
  {
    const ScriptRuns::Running running(runs, outer, "a.dk2");
    EXPECT_FALSE(outer.StopRequested());
    const ScriptRuns::Responsive waiting(runs);
    runs.StopAll();
    EXPECT_TRUE(outer.StopRequested());
    EXPECT_TRUE(runs.StopRequested());
    EXPECT_EQ(fake.application.wakes, 1);  // the wait must not sleep on
    const ScriptRuns::Running started(runs, inner, "mount.dk2");
    EXPECT_TRUE(inner.StopRequested());
  }
  EXPECT_FALSE(runs.StopRequested());
  engine::Script next;
  const ScriptRuns::Running running(runs, next, "b.dk2");
  EXPECT_FALSE(next.StopRequested());
}

}  // namespace
}  // namespace dravik::core
