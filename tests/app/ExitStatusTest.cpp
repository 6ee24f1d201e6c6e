#include "app/CommandLine.h"
#include "app/ExitStatus.h"
#include <gtest/gtest.h>

using namespace sf;

TEST(ExitStatus, OnceAfterAFailedCreationStepIsTwoBeforeAnythingElse)
{
    EXPECT_EQ(RunExitStatus({true, true, false, true}), 2);
    EXPECT_EQ(RunExitStatus({true, true, true, false}), 2);
    EXPECT_EQ(RunExitStatus({false, true, false, true}), kExitOk); // a run that goes on is not cut short
}

TEST(ExitStatus, MissingHostAndMissingMapServer)
{
    EXPECT_EQ(RunExitStatus({false, false, true, true}), kExitNoMapServer);
    EXPECT_EQ(RunExitStatus({true, false, false, false}), kExitNoMapServer);
    EXPECT_EQ(RunExitStatus({false, false, false, false}), kExitOk); // only --once asks for a map server
    EXPECT_EQ(RunExitStatus({true, false, false, true}), kExitOk);
}

TEST(ExitStatus, EveryFetchFailedOnlyForOnce)
{
    EXPECT_EQ(RunExitStatus({true, false, false, true, 3, 3}), kExitAllFetchesFailed);
    EXPECT_EQ(RunExitStatus({true, false, false, true, 3, 2}), kExitOk);
    EXPECT_EQ(RunExitStatus({true, false, false, true, 0, 0}), kExitOk); // nothing was due
    EXPECT_EQ(RunExitStatus({false, false, false, true, 3, 3}), kExitOk);
    // A missing map server outranks the failed fetches.
    EXPECT_EQ(RunExitStatus({true, false, false, false, 3, 3}), kExitNoMapServer);
}
