#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "LevelObjectTesting.h"
#include "LevelStart.h"

using namespace testing_support;

namespace
{
const glm::vec3 StartGrey{0.8f, 0.8f, 0.8f};

// Marker layout: the outer circle, the three corner circles, then the triangle.
constexpr size_t OuterSegments = 64;
constexpr size_t CornerSegments = 24;
constexpr size_t TriangleStart = OuterSegments + 3 * CornerSegments;
constexpr size_t MarkerSegments = TriangleStart + 3;

// The player's corners at angle 0, relative to its centre.
const glm::vec2 Corners[3] = {{0.0f, 0.2f}, {-0.17320508f, -0.1f}, {0.17320508f, -0.1f}};

void ExpectMarkerAt(const LineRenderer& lines, size_t first, glm::vec2 centre, glm::vec3 colour)
{
    ExpectSegmentsColoured(lines, first, MarkerSegments, colour);
    ExpectNear(SegmentAt(lines, first).from, centre + glm::vec2(0.0f, 0.2f));
    for (size_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(i);
        ExpectNear(SegmentAt(lines, first + OuterSegments + CornerSegments * i).from, centre + Corners[i] + glm::vec2(0.0f, 0.1f));
        const Segment edge = SegmentAt(lines, first + TriangleStart + i);
        ExpectNear(edge.from, centre + Corners[i]);
        ExpectNear(edge.to, centre + Corners[(i + 1) % 3]);
    }
}
} // namespace

TEST(LevelStart, NewStartIsAtTheOriginUnselected)
{
    LevelStart start;
    EXPECT_EQ(start.position, glm::vec2(0.0f, 0.0f));
    EXPECT_EQ(start.reserved, 0.0f);
    EXPECT_FALSE(start.selected);
    EXPECT_EQ(start.GetSelectableType(), SelectableLevelStart);
}

TEST(LevelStart, FieldsRoundTripWithTheReservedValue)
{
    LevelStart start;
    start.position = {-3.5f, 12.0f};
    start.reserved = 0.75f;
    ByteBlob written;
    written.WriteHeader();
    start.WriteFields(written);
    const std::vector<uint8_t> bytes(written.data + ByteBlob::HeaderSize, written.data + written.size);
    EXPECT_EQ(bytes, RecordBytes().Vec2({-3.5f, 12.0f}).F32(0.75f).bytes);

    ByteBlob blob;
    LoadPayload(blob, bytes);
    LevelStart read;
    read.ReadFields(blob);
    EXPECT_EQ(read.position, start.position);
    EXPECT_EQ(read.reserved, 0.75f);

    ByteBlob again;
    again.WriteHeader();
    read.WriteFields(again);
    EXPECT_EQ(std::vector<uint8_t>(again.data + ByteBlob::HeaderSize, again.data + again.size), bytes);
}

TEST(LevelStart, CutFieldsLeaveItAndTheCursorAlone)
{
    const std::vector<uint8_t> bytes = RecordBytes().Vec2({1, 2}).F32(3).bytes;
    for (size_t cut = 0; cut < bytes.size(); ++cut)
    {
        SCOPED_TRACE(cut);
        ByteBlob blob;
        LoadPayload(blob, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
        LevelStart start;
        start.position = {9, 9};
        EXPECT_THROW(start.ReadFields(blob), ByteBlobError);
        EXPECT_EQ(start.position, glm::vec2(9, 9));
        EXPECT_EQ(start.reserved, 0.0f);
        EXPECT_EQ(blob.readCursor, ByteBlob::HeaderSize);
    }
}

TEST(LevelStart, OnlyPositionsWithinTheWorldAreSane)
{
    LevelStart start;
    EXPECT_TRUE(start.IsSane());
    start.position = {0.0f, std::numeric_limits<float>::quiet_NaN()};
    EXPECT_FALSE(start.IsSane());
    start.position = {-2e6f, 0.0f};
    EXPECT_FALSE(start.IsSane());
}

TEST(LevelStart, PicksWithinTheFigure)
{
    LevelStart start;
    start.position = {1.0f, 1.0f};
    EXPECT_TRUE(start.HitTestPoint({1.19f, 1.0f}));
    EXPECT_TRUE(start.HitTestPoint({1.0f, 0.81f}));
    LevelStart atOrigin;
    EXPECT_FALSE(atOrigin.HitTestPoint({0.2f, 0.0f}));
    EXPECT_FALSE(atOrigin.HitTestPoint({0.0f, -0.25f}));
    EXPECT_TRUE(atOrigin.HitTestRect(0.19f, 1.0f, -1.0f, 1.0f));
    EXPECT_FALSE(atOrigin.HitTestRect(0.2f, 1.0f, -1.0f, 1.0f));
}

TEST(LevelStart, RotatesOnlyItsPosition)
{
    LevelStart start;
    start.position = {2.0f, 3.0f};
    start.reserved = 5.0f;
    start.Rotate({2.0f, 3.0f}, 1.0f);
    EXPECT_EQ(start.position, glm::vec2(2.0f, 3.0f));
    start.Rotate({1.0f, 3.0f}, 1.5707963f);
    ExpectNear(start.position, {1.0f, 2.0f});
    EXPECT_EQ(start.reserved, 5.0f);
    start.Translate({0.5f, 0.5f});
    ExpectNear(start.GetPosition(), {1.5f, 2.5f});
}

TEST(LevelStart, MarkerIsAnUprightFigureInACircle)
{
    LevelStart start;
    start.position = {1.0f, 2.0f};
    LineRenderer lines;
    start.Draw(lines);
    ASSERT_EQ(lines.SegmentCount(), MarkerSegments);
    ExpectMarkerAt(lines, 0, start.position, StartGrey);
    EXPECT_EQ(lines.currentColour, StartGrey);

    LineRenderer selected;
    start.selected = true;
    start.Draw(selected);
    ExpectSegmentsColoured(selected, 0, MarkerSegments, SelectedColour);
}

TEST(LevelStart, PreviewsDrawTheMarkerUprightWhereItWouldGo)
{
    LevelStart start;
    start.position = {1.0f, 0.0f};
    LineRenderer lines;
    start.DrawRotatePreview(lines, {0.0f, 0.0f}, 1.5707963f);
    start.DrawTranslatePreview(lines, {0.0f, 2.0f});
    ASSERT_EQ(lines.SegmentCount(), 2 * MarkerSegments);
    ExpectMarkerAt(lines, 0, {0.0f, -1.0f}, PreviewColour);
    ExpectMarkerAt(lines, MarkerSegments, {1.0f, 2.0f}, PreviewColour);
    EXPECT_EQ(start.position, glm::vec2(1.0f, 0.0f));
}

TEST(LevelStart, CloneIsRefusedWithOneErrorLine)
{
    LevelStart start;
    const uint32_t errorsBefore = ErrorLineCount();
    EXPECT_EQ(start.Clone(), nullptr);
    EXPECT_EQ(ErrorLineCount(), errorsBefore + 1);
    EXPECT_EQ(LastErrorLine(), "[LevelStart.cpp:45]Attempted to clone a level start object - this shouldn't happen.");
}
