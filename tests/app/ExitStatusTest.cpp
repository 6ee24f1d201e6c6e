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
