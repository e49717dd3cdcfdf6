#include <chrono>

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include "Camera.h"
#include "FrameMaths.h"
#include "FramePacer.h"

TEST(FrameMaths, FrameStepIsOneOverTheRefreshRateWithAFallbackForNone)
{
    EXPECT_EQ(FrameStepFor(144), 1.0f / 144.0f);
    EXPECT_EQ(FrameStepFor(60), 1.0f / 60.0f);
    EXPECT_EQ(FrameStepFor(0), 1.0f / 60.0f);
    EXPECT_EQ(FrameStepFor(-5), 1.0f / 60.0f);
}

TEST(FrameMaths, CursorToNormalisedAndMovement)
{
    const int width = 1920;
    const int height = 1280;
    const float aspect = 1.5f;
    EXPECT_EQ(*WindowToNormalised(0, 0, width, height), glm::vec2(-1.0f, 1.0f));
    EXPECT_EQ(*WindowToNormalised(960, 640, width, height), glm::vec2(0.0f, 0.0f));
    EXPECT_EQ(*WindowToNormalised(1920, 1280, width, height), glm::vec2(1.0f, -1.0f));
    EXPECT_FALSE(WindowToNormalised(5, 5, width, 0).has_value());
    EXPECT_FALSE(WindowToNormalised(5, 5, 0, height).has_value());

    const glm::vec2 centre = *WindowToNormalised(960, 640, width, height);
    // Half the window's height straight up, then half its width to the right.
    EXPECT_EQ(MouseMovement(*WindowToNormalised(960, 0, width, height), centre, aspect), glm::vec2(0.0f, 1.0f));
    EXPECT_EQ(MouseMovement(*WindowToNormalised(1920, 640, width, height), centre, aspect), glm::vec2(aspect, 0.0f));
}

TEST(Camera, ViewRectProjectionAndItsInverse)
{
    Camera camera;
    camera.centreX = 4.0f;
    camera.centreY = -2.0f;
    camera.viewHeight = 8.0f;
    float rect[4];
    camera.GetViewRect(rect);
    EXPECT_FLOAT_EQ(rect[0], -2.0f); // 4 - 8 * 1.5 / 2
    EXPECT_FLOAT_EQ(rect[1], 10.0f);
    EXPECT_FLOAT_EQ(rect[2], -6.0f);
    EXPECT_FLOAT_EQ(rect[3], 2.0f);

    const glm::mat4 projection = camera.GetViewProjection();
    const float l = rect[0], r = rect[1], b = rect[2], t = rect[3];
    EXPECT_FLOAT_EQ(projection[0][0], 2.0f / (r - l));
    EXPECT_FLOAT_EQ(projection[1][1], 2.0f / (t - b));
    EXPECT_FLOAT_EQ(projection[2][2], -1.0f);
    EXPECT_FLOAT_EQ(projection[3][0], -(r + l) / (r - l));
    EXPECT_FLOAT_EQ(projection[3][1], -(t + b) / (t - b));
    EXPECT_FLOAT_EQ(projection[3][3], 1.0f);

    const glm::vec2 bottomLeft = camera.NormalisedToWorld({-1.0f, -1.0f});
    const glm::vec2 topRight = camera.NormalisedToWorld({1.0f, 1.0f});
    const glm::vec2 middle = camera.NormalisedToWorld({0.0f, 0.0f});
    EXPECT_NEAR(bottomLeft.x, l, 1e-5f);
    EXPECT_NEAR(bottomLeft.y, b, 1e-5f);
    EXPECT_NEAR(topRight.x, r, 1e-5f);
    EXPECT_NEAR(topRight.y, t, 1e-5f);
    EXPECT_NEAR(middle.x, 4.0f, 1e-5f);
    EXPECT_NEAR(middle.y, -2.0f, 1e-5f);
}

TEST(Camera, AspectRatioFollowsTheFramebufferButSurvivesAZeroSize)
{
    Camera camera;
    camera.SetAspectRatioFrom(1280, 720);
    EXPECT_FLOAT_EQ(camera.aspectRatio, 1280.0f / 720.0f);
    for (const auto& size : {std::pair{1280, 0}, std::pair{0, 0}, std::pair{0, 720}})
    {
        camera.SetAspectRatioFrom(size.first, size.second);
        EXPECT_FLOAT_EQ(camera.aspectRatio, 1280.0f / 720.0f);
    }
    const glm::vec2 world = camera.NormalisedToWorld({0.5f, 0.5f});
    EXPECT_TRUE(std::isfinite(world.x) && std::isfinite(world.y));
}

TEST(FramePacer, WaitsOutTheRestOfEachPeriodAndNeverRacesToCatchUp)
{
    using namespace std::chrono_literals;
    using Clock = FramePacer::Clock;
    FramePacer pacer(0.010); // 10 ms frames
    const Clock::time_point start{};
    struct Step
    {
        std::chrono::microseconds frameEnd; // since start
        std::chrono::microseconds wait;
    };
    const Step steps[] = {
        {0us, 0us},        // the first frame starts the schedule
        {2000us, 8000us},  // a quick frame (no vertical sync) waits for the rest of its 10 ms
        {20000us, 0us},    // exactly on time
        {33000us, 0us},    // 3 ms late: no wait, the next frame makes it up
        {36000us, 4000us}, // back on the schedule of 40 ms
        {75000us, 0us},    // more than a whole frame late: the schedule restarts at 75 ms
        {76000us, 9000us}, // next deadline 85 ms, not the missed ones
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.frameEnd.count());
        EXPECT_EQ(pacer.NextWait(start + step.frameEnd), Clock::duration(step.wait));
    }
}
