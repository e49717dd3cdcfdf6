#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "ByteBlob.h"
#include "ShapeFixtures.h"
#include "ShapePoint.h"
#include "WorldShape.h"

namespace
{
/// A blob holding what `write` appends, turned round for reading from the start of the payload.
template <typename Writer>
void WriteThenRead(ByteBlob& blob, Writer write)
{
    blob.WriteHeader();
    write(blob);
    blob.readingMode = true;
    blob.readCursor = ByteBlob::HeaderSize;
}

ShapePoint PointWith(glm::vec2 position, glm::vec2 handleA, glm::vec2 handleB, bool isCorner)
{
    ShapePoint point;
    point.position = position;
    point.handleA = handleA;
    point.handleB = handleB;
    point.isCorner = isCorner;
    return point;
}

float Read32(const uint8_t* bytes)
{
    float value;
    std::memcpy(&value, bytes, 4);
    return value;
}

uint32_t ReadU32(const uint8_t* bytes)
{
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}
} // namespace

TEST(ShapePointRecord, HoldsThirtyFourBytesInFieldOrder)
{
    ShapePoint point = PointWith({1.5f, -2.0f}, {3.0f, 4.0f}, {-5.0f, 6.25f}, false);
    point.isSpline = true;
    point.surfaceType = SurfaceType::Bouncer;
    point.nextSegment = reinterpret_cast<ShapeSegment*>(0x1234); // links are never stored
    ByteBlob blob;
    blob.WriteHeader();
    point.Serialise(blob);
    ASSERT_EQ(blob.size, ByteBlob::HeaderSize + 34u);
    EXPECT_EQ(blob.GetPayloadCount(), 34u);
    const uint8_t* record = blob.data + ByteBlob::HeaderSize;
    EXPECT_EQ(ReadU32(record), 2u);
    EXPECT_EQ(Read32(record + 4), 1.5f);
    EXPECT_EQ(Read32(record + 8), -2.0f);
    EXPECT_EQ(Read32(record + 12), 3.0f);
    EXPECT_EQ(Read32(record + 16), 4.0f);
    EXPECT_EQ(Read32(record + 20), -5.0f);
    EXPECT_EQ(Read32(record + 24), 6.25f);
    EXPECT_EQ(record[28], 1u);
    EXPECT_EQ(ReadU32(record + 29), 7u);
    EXPECT_EQ(record[33], 0u);
}

TEST(ShapePointRecord, ReadsBackEveryStoredFieldAndNoLinks)
{
    ShapePoint written = PointWith({0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}, false);
    written.isSpline = true;
    written.surfaceType = SurfaceType::MagneticRepulsor;
    ByteBlob blob;
    WriteThenRead(blob, [&](ByteBlob& b) { written.Serialise(b); });

    ShapePoint read;
    ShapeSegment segment;
    read.previousSegment = &segment;
    ASSERT_TRUE(read.Deserialise(blob));
    EXPECT_EQ(read.position, written.position);
    EXPECT_EQ(read.handleA, written.handleA);
    EXPECT_EQ(read.handleB, written.handleB);
    EXPECT_TRUE(read.isSpline);
    EXPECT_EQ(read.surfaceType, SurfaceType::MagneticRepulsor);
    EXPECT_FALSE(read.isCorner);
    EXPECT_EQ(read.previousSegment, &segment);
    EXPECT_EQ(blob.BytesLeft(), 0u);
}

TEST(ShapePointRecord, OtherTagConsumesNothingAndAShortRecordLeavesThePointAlone)
{
    ByteBlob other;
    WriteThenRead(other, [](ByteBlob& b) { b.WriteU32(3); });
    ShapePoint point;
    EXPECT_FALSE(point.Deserialise(other));
    EXPECT_EQ(other.BytesLeft(), 4u);

    ByteBlob cut;
    WriteThenRead(cut, [](ByteBlob& b) {
        b.WriteU32(2);
        b.WriteVec2({9.0f, 9.0f});
        b.WriteVec2({9.0f, 9.0f});
    });
    point.position = {1.0f, 1.0f};
    try
    {
        point.Deserialise(cut);
        FAIL() << "a record cut short must raise";
    }
    catch (const ByteBlobError& error)
    {
        EXPECT_STREQ(error.what(), ByteBlob::TooFewBytesMessage);
    }
    EXPECT_EQ(point.position, glm::vec2(1.0f, 1.0f));
}

TEST(WorldShapeRecord, RoundTripsByteForByte)
{
    WorldShape shape = SmoothRing(5, 2.0f, {SurfaceType::Plain, SurfaceType::Jagged, SurfaceType::Bouncer});
    shape.points[1].isCorner = true;
    shape.points[3].isSpline = false;
    ByteBlob first;
    WriteThenRead(first, [&](ByteBlob& b) { shape.Serialise(b); });
    ASSERT_EQ(first.GetPayloadCount(), 4u + 5u * 34u);

    WorldShape read;
    ASSERT_TRUE(read.Deserialise(first));
    EXPECT_EQ(first.BytesLeft(), 0u);
    ASSERT_EQ(read.points.count, 5u);
    EXPECT_EQ(read.segments.count, 0u) << "reading does not compile";

    ByteBlob second;
    second.WriteHeader();
    read.Serialise(second);
    ASSERT_EQ(second.size, first.size);
    EXPECT_EQ(std::memcmp(first.data, second.data, first.size), 0);
}

TEST(WorldShapeRecord, EmptyAndOnePointShapesAndShapesInARow)
{
    WorldShape empty;
    WorldShape single;
    single.AddPoint({-1.0f, 0.0f}, {0.0f, 0.0f}, {0.0f, 1.0f}, false, true);
    ByteBlob blob;
    WriteThenRead(blob, [&](ByteBlob& b) {
        empty.Serialise(b);
        single.Serialise(b);
        b.WriteU32(5); // whatever record follows
    });
    EXPECT_EQ(blob.GetPayloadCount(), 4u + (4u + 34u) + 4u);

    WorldShape read = SmoothRing(3, 1.0f); // reading replaces whatever points were there
    ASSERT_TRUE(read.Deserialise(blob));
    EXPECT_EQ(read.points.count, 0u);
    EXPECT_EQ(blob.BytesLeft(), 38u + 4u) << "the next shape's tag stays unread";
    ASSERT_TRUE(read.Deserialise(blob));
    EXPECT_EQ(read.points.count, 1u);
    EXPECT_FALSE(read.Deserialise(blob));
    EXPECT_EQ(read.points.count, 0u);
    EXPECT_EQ(blob.BytesLeft(), 4u);
}

TEST(ShapePointHandles, UpdateHandlesRepairsWhatAFileCanHold)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const glm::vec2 previous{-4.0f, 0.0f};
    const glm::vec2 next{0.0f, 4.0f};
    const struct
    {
        const char* name;
        glm::vec2 handleA, handleB;
        bool isCorner;
        glm::vec2 expectedA, expectedB;
    } cases[] = {
        // B on the point: a quarter of the way to the next point; a smooth A turns away from it.
        {"B on point, smooth", {-2.0f, 0.0f}, {0.0f, 0.0f}, false, {0.0f, -2.0f}, {0.0f, 1.0f}},
        {"B on point, corner", {-2.0f, 0.0f}, {0.0f, 0.0f}, true, {-2.0f, 0.0f}, {0.0f, 1.0f}},
        {"B within 0.001", {-2.0f, 0.0f}, {0.0005f, 0.0f}, true, {-2.0f, 0.0f}, {0.0f, 1.0f}},
        {"A not a number, corner", {nan, 0.0f}, {0.0f, 3.0f}, true, {-1.0f, 0.0f}, {0.0f, 3.0f}},
        {"A infinite, smooth", {-inf, 0.0f}, {0.0f, 3.0f}, false, {-1.0f, 0.0f}, {3.0f, 0.0f}},
        // Both on the point: quarter way to each neighbour, then a smooth point is centred.
        {"both on point, corner", {0.0f, 0.0f}, {0.0f, 0.0f}, true, {-1.0f, 0.0f}, {0.0f, 1.0f}},
        {"both on point, smooth", {0.0f, 0.0f}, {0.0f, 0.0f}, false, {-0.5f, -0.5f}, {0.5f, 0.5f}},
        {"fine handles stay", {-2.0f, 0.0f}, {0.0f, 3.0f}, false, {-2.0f, 0.0f}, {0.0f, 3.0f}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ShapePoint point = PointWith({0.0f, 0.0f}, c.handleA, c.handleB, c.isCorner);
        point.UpdateHandles(previous, next);
        ExpectVecNear(point.handleA, c.expectedA);
        ExpectVecNear(point.handleB, c.expectedB);
        EXPECT_EQ(point.isCorner, c.isCorner);
    }
}

TEST(ShapePointHandles, ReadingAShapeRepairsItsHandlesFromTheNeighbours)
{
    WorldShape written;
    written.AddPoint({0.0f, 0.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}, true, true);
    written.AddPoint({4.0f, 0.0f}, {4.0f, 0.0f}, {4.0f, 0.0f}, true, true);
    written.AddPoint({0.0f, 4.0f}, {0.0f, 4.0f}, {0.0f, 4.0f}, true, true);
    ByteBlob blob;
    WriteThenRead(blob, [&](ByteBlob& b) { written.Serialise(b); });
    WorldShape read;
    ASSERT_TRUE(read.Deserialise(blob));
    ExpectVecNear(read.points[0].handleA, {0.0f, 1.0f}); // towards point 2, wrapping back
    ExpectVecNear(read.points[0].handleB, {1.0f, 0.0f});
    ExpectVecNear(read.points[2].handleB, {0.0f, 3.0f}); // towards point 0, wrapping forward
}

TEST(ShapePointHandles, AlignmentTurnsTheOtherHandleAndSparesCorners)
{
    ShapePoint smooth = PointWith({1.0f, 1.0f}, {1.0f, 3.0f}, {4.0f, 1.0f}, false);
    smooth.AlignHandleA();
    ExpectVecNear(smooth.handleA, {-1.0f, 1.0f}); // length 2 kept, away from B
    smooth.handleA = {1.0f, 0.0f};
    smooth.AlignHandleB();
    ExpectVecNear(smooth.handleB, {1.0f, 4.0f});

    ShapePoint corner = PointWith({1.0f, 1.0f}, {1.0f, 3.0f}, {4.0f, 1.0f}, true);
    corner.AlignHandleA();
    corner.AlignHandleB();
    EXPECT_EQ(corner.handleA, glm::vec2(1.0f, 3.0f));
    EXPECT_EQ(corner.handleB, glm::vec2(4.0f, 1.0f));

    // A partner on the point has no direction to turn against: the handle stays, finite.
    ShapePoint degenerate = PointWith({1.0f, 1.0f}, {1.0f, 3.0f}, {1.0f, 1.0f}, false);
    degenerate.AlignHandleA();
    EXPECT_EQ(degenerate.handleA, glm::vec2(1.0f, 3.0f));
}

TEST(ShapePointHandles, SharpCornersAreTurnsOfMoreThanTheThreshold)
{
    const struct
    {
        const char* name;
        glm::vec2 handleA, handleB;
        bool sharp;
    } cases[] = {
        {"right angle", {-1.0f, 0.0f}, {0.0f, 1.0f}, true},
        {"both handles on one side", {1.0f, 1.0f}, {1.0f, -1.0f}, true},
        {"straight through", {-1.0f, 0.0f}, {3.0f, 0.0f}, false},
        {"slight bend", {-1.0f, 0.0f}, {1.0f, 0.2f}, false},
        {"handle on the point", {0.0f, 0.0f}, {0.0f, 1.0f}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        // The corner flag plays no part.
        for (bool isCorner : {false, true})
            EXPECT_EQ(PointWith({0.0f, 0.0f}, c.handleA, c.handleB, isCorner).IsSharpCorner(), c.sharp);
    }
}

TEST(ShapePointHandles, InsideWorldRejectsWhatOnlyADamagedFileHolds)
{
    EXPECT_TRUE(PointWith({1e5f, -1e5f}, {0.0f, 0.0f}, {1e6f, 0.0f}, true).IsInsideWorld());
    EXPECT_FALSE(PointWith({2e6f, 0.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}, true).IsInsideWorld());
    EXPECT_FALSE(PointWith({0.0f, 0.0f}, {std::nanf(""), 0.0f}, {0.0f, 0.0f}, true).IsInsideWorld());
    EXPECT_FALSE(
        PointWith({0.0f, 0.0f}, {0.0f, 0.0f}, {0.0f, std::numeric_limits<float>::infinity()}, true).IsInsideWorld());
}

TEST(ShapePointHandles, AMovedHandleIsTurnedOnlyWhileItStaysInsideTheWorld)
{
    // A smooth point on the world's edge: turned to face its partner, the moved handle would land
    // half a million units beyond the edge, so it stays where the quarter rule put it.
    ShapePoint point = PointWith({1.0e6f, 0.0f}, {1.0e6f - 1.0f, 0.0f}, {3.0e6f, 0.0f}, false);
    EXPECT_EQ(point.RepairUnusedHandles({1.0e6f, 5.0f}, {-1.0e6f, 0.0f}, true, false), 1u);
    EXPECT_EQ(point.handleA, glm::vec2(1.0e6f - 1.0f, 0.0f));
    EXPECT_EQ(point.handleB, glm::vec2(5.0e5f, 0.0f));
    EXPECT_TRUE(point.IsInsideWorld());

    // Handles that a curve uses are never moved, however far they lie; the loader refuses those.
    ShapePoint used = PointWith({0.0f, 0.0f}, {-3.0e6f, 0.0f}, {3.0e6f, 0.0f}, false);
    EXPECT_EQ(used.RepairUnusedHandles({-1.0f, 0.0f}, {1.0f, 0.0f}, true, true), 0u);
    EXPECT_EQ(used.handleA, glm::vec2(-3.0e6f, 0.0f));
    EXPECT_EQ(used.handleB, glm::vec2(3.0e6f, 0.0f));
}
