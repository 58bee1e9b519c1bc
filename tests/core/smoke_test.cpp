// Placeholder so the core suite exists; replaced by the frame-loop tests.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "runtime/frame_loop.h"

TEST(FrameLoop, EscapeOnFirstQueryEndsAfterOneFrame)
{
    fake::reset();
    fake::escapeFromQuery = 1;
    EXPECT_EQ(runDemo(), 0);
    EXPECT_EQ(fake::presented.size(), 1u);
}
