#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "Font.h"
#include "GlyphTable.h"
#include "LevelObjectTesting.h"
#include "LineLayout.h"
#include "Mesh.h"
#include "Signpost.h"

using namespace testing_support;

namespace
{
bool SameSignpost(const Signpost& a, const Signpost& b)
{
    return a.text == b.text && a.position == b.position && a.boxCornerA == b.boxCornerA && a.boxCornerB == b.boxCornerB &&
           a.previewText == b.previewText && a.previewPosition == b.previewPosition && a.showPreview == b.showPreview &&
           a.selected == b.selected;
}

// As the editor places one at (x, y).
Signpost PlacedAt(glm::vec2 at, std::string text = "Your Text Here")
{
    return Signpost(std::move(text), at, at + glm::vec2(-1.5f, -1.0f), at + glm::vec2(1.5f, -2.0f));
}

std::vector<uint8_t> SignpostRecord(glm::vec2 position, glm::vec2 a, glm::vec2 b, const std::string& text)
{
    return RecordBytes().U32(8).Vec2(position).Vec2(a).Vec2(b).U32(0).U32(static_cast<uint32_t>(text.size())).Text(text).bytes;
}
} // namespace

TEST(Signpost, RecordIsThirtySixBytesPlusTheTextAndRoundTrips)
{
    const struct
    {
        std::string text;
        size_t size;
    } cases[] = {{"", 36}, {"Hello", 41}, {std::string("a\0b\n\xff", 5), 41}, {std::string(1000, 'x'), 1036}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.size);
        Signpost signpost(c.text, {1.0f, -2.0f}, {-0.5f, -3.0f}, {2.5f, -4.0f});
        const std::vector<uint8_t> record = PayloadOf(signpost);
        EXPECT_EQ(record.size(), c.size);
        EXPECT_EQ(record, SignpostRecord({1.0f, -2.0f}, {-0.5f, -3.0f}, {2.5f, -4.0f}, c.text));

        ByteBlob blob;
        LoadPayload(blob, record);
        Signpost read;
        read.text = "old text";
        read.previewText = "kept";
        read.showPreview = true;
        ASSERT_TRUE(read.Deserialise(blob));
        EXPECT_EQ(read.text, c.text);
        EXPECT_EQ(read.position, signpost.position);
        EXPECT_EQ(read.boxCornerA, signpost.boxCornerA);
        EXPECT_EQ(read.boxCornerB, signpost.boxCornerB);
        EXPECT_EQ(read.previewText, "kept") << "preview fields are the editor's";
        EXPECT_TRUE(read.showPreview);
        EXPECT_EQ(blob.BytesLeft(), 0u);
        EXPECT_EQ(PayloadOf(read), record);
    }
}

TEST(Signpost, CutRecordsLeaveItAlone)
{
    Signpost original = PlacedAt({2.0f, 3.0f}, "Mind the gap");
    original.previewText = "preview";
    ExpectCutRecordsLeaveObjectAndCursor(PayloadOf(original), original, SameSignpost);
}

TEST(Signpost, TextLengthBeyondTheFileIsRefusedBeforeReading)
{
    for (uint32_t length : {6u, 0x7FFFFFFFu, 0xFFFFFFFFu})
    {
        SCOPED_TRACE(length);
        std::vector<uint8_t> record = RecordBytes().U32(8).Vec2({0, 0}).Vec2({0, 0}).Vec2({0, 0}).U32(0).U32(length).Text("abcde").bytes;
        ByteBlob blob;
        LoadPayload(blob, record);
        Signpost signpost = PlacedAt({1, 1});
        const Signpost before = signpost;
        try
        {
            signpost.Deserialise(blob);
            ADD_FAILURE() << "a text running past the end was read";
        }
        catch (const ByteBlobError& error)
        {
            EXPECT_STREQ(error.what(), ByteBlob::TooFewBytesMessage);
        }
        EXPECT_TRUE(SameSignpost(signpost, before));
        EXPECT_EQ(blob.readCursor, ByteBlob::HeaderSize);
    }
}

TEST(Signpost, TextWithoutItsStringTagIsRefusedAndLogged)
{
    // A damaged record: where the text's tag 0 should be there is a 3.
    std::vector<uint8_t> record = SignpostRecord({0, 0}, {0, 0}, {0, 0}, "abc");
    record[28] = 3;
    ByteBlob blob;
    LoadPayload(blob, record);
    Signpost signpost = PlacedAt({5, 5});
    const Signpost before = signpost;
    const LogWatches logs;
    EXPECT_FALSE(signpost.Deserialise(blob));
    EXPECT_TRUE(SameSignpost(signpost, before));
    EXPECT_EQ(blob.readCursor, ByteBlob::HeaderSize);
    logs.ExpectOneWarning("[Signpost.cpp:57]");
}

TEST(Signpost, BlobInTheWrongModeIsNeitherReadNorWritten)
{
    Signpost signpost = PlacedAt({1, 1}, "text");
    ByteBlob writing;
    writing.WriteHeader();
    signpost.Serialise(writing);
    Signpost other;
    EXPECT_FALSE(other.Deserialise(writing));
    EXPECT_TRUE(other.text.empty());

    ByteBlob reading;
    LoadPayload(reading, {});
    try
    {
        signpost.Serialise(reading);
        ADD_FAILURE() << "wrote to a blob being read";
    }
    catch (const ByteBlobError& error)
    {
        EXPECT_STREQ(error.what(), ByteBlob::WriteInReadModeMessage);
    }
    EXPECT_EQ(reading.size, ByteBlob::HeaderSize);
}

TEST(Signpost, PositionAndBoxMustLieWithinTheWorld)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(PlacedAt({0, 0}).IsSane());
    EXPECT_FALSE(Signpost("", {nan, 0}, {0, 0}, {0, 0}).IsSane());
    EXPECT_FALSE(Signpost("", {0, 0}, {0, 2e6f}, {0, 0}).IsSane());
    EXPECT_FALSE(Signpost("", {0, 0}, {0, 0}, {std::numeric_limits<float>::infinity(), 0}).IsSane());
}

TEST(Signpost, PicksWithinHalfAUnit)
{
    Signpost signpost = PlacedAt({0.0f, 0.0f});
    EXPECT_FALSE(signpost.HitTestPoint({0.5f, 0.0f}));
    EXPECT_TRUE(signpost.HitTestPoint({0.49f, 0.0f}));
    EXPECT_TRUE(signpost.HitTestPoint({0.0f, -0.49f}));
    EXPECT_FALSE(signpost.HitTestPoint({0.0f, -1.5f})) << "the box is not picked";
    EXPECT_TRUE(signpost.HitTestRect(0.4f, 1.0f, -1.0f, 1.0f));
    EXPECT_FALSE(signpost.HitTestRect(0.5f, 1.0f, -1.0f, 1.0f));
}

TEST(Signpost, RotatingCarriesTheBoxRoundUpright)
{
    Signpost signpost = PlacedAt({0.0f, 0.0f});
    signpost.Rotate({0.0f, 0.0f}, 1.5707963f);
    ExpectNear(signpost.position, {0.0f, 0.0f});
    ExpectNear(signpost.boxCornerA, {-3.0f, 0.5f});
    ExpectNear(signpost.boxCornerB, {0.0f, -0.5f});

    Signpost away = PlacedAt({1.0f, 0.0f});
    away.Rotate({0.0f, 0.0f}, 1.5707963f);
    ExpectNear(away.position, {0.0f, -1.0f});
    ExpectNear(away.boxCornerB - away.boxCornerA, {3.0f, -1.0f});
}

TEST(Signpost, MovingHidesThePreview)
{
    Signpost signpost = PlacedAt({1.0f, 1.0f});
    signpost.previewText = "editing";
    signpost.previewPosition = {4.0f, 4.0f};
    signpost.showPreview = true;
    EXPECT_EQ(signpost.ShownText(), "editing");
    EXPECT_EQ(signpost.ShownPosition(), glm::vec2(4.0f, 4.0f));

    signpost.Translate({0.5f, -1.0f});
    EXPECT_FALSE(signpost.showPreview);
    EXPECT_EQ(signpost.position, glm::vec2(1.5f, 0.0f));
    EXPECT_EQ(signpost.boxCornerA, glm::vec2(0.0f, -1.0f));
    EXPECT_EQ(signpost.boxCornerB, glm::vec2(3.0f, -2.0f));
    EXPECT_EQ(signpost.ShownText(), "Your Text Here");
    EXPECT_EQ(signpost.ShownPosition(), signpost.position);
}

TEST(Signpost, MarkerAndPreviews)
{
    Signpost signpost = PlacedAt({1.0f, 2.0f});
    LineRenderer lines;
    lines.currentColour = {0.1f, 0.2f, 0.3f};
    signpost.DrawRotatePreview(lines, {0.0f, 0.0f}, 1.0f);
    EXPECT_EQ(lines.SegmentCount(), 0u);

    signpost.DrawTranslatePreview(lines, {1.0f, 0.0f});
    ASSERT_EQ(lines.SegmentCount(), 64u);
    ExpectSegmentsColoured(lines, 0, 64, PreviewColour);
    ExpectNear(SegmentAt(lines, 0).from, {2.0f, 2.5f});
    ExpectNear(lines.currentColour, {0.1f, 0.2f, 0.3f});
    EXPECT_EQ(signpost.position, glm::vec2(1.0f, 2.0f));

    for (bool selected : {false, true})
    {
        LineRenderer marker;
        signpost.selected = selected;
        signpost.DrawMarker(marker, EverywhereView);
        ASSERT_EQ(marker.SegmentCount(), 64u);
        ExpectSegmentsColoured(marker, 0, 64, selected ? SelectedColour : glm::vec3(1.0f, 0.0f, 0.0f));
        ExpectNear(SegmentAt(marker, 0).from, {1.0f, 2.5f});
    }
}

TEST(Signpost, CopiesKeepEverythingAndClonesDropTheEditorState)
{
    Signpost signpost = PlacedAt({1.0f, 2.0f}, "Sign");
    signpost.selected = true;
    signpost.previewText = "Sig";
    signpost.previewPosition = {3.0f, 3.0f};
    signpost.showPreview = true;

    Signpost copy;
    copy = signpost;
    EXPECT_TRUE(SameSignpost(copy, signpost));
    Signpost& alias = copy;
    copy = alias;
    EXPECT_TRUE(SameSignpost(copy, signpost));

    Selectable* clone = signpost.Clone();
    ASSERT_NE(clone, nullptr);
    ASSERT_EQ(clone->GetSelectableType(), SelectableSignpost);
    std::unique_ptr<Signpost> cloned(static_cast<Signpost*>(clone));
    EXPECT_EQ(cloned->text, "Sign");
    EXPECT_EQ(cloned->position, signpost.position);
    EXPECT_EQ(cloned->boxCornerA, signpost.boxCornerA);
    EXPECT_EQ(cloned->boxCornerB, signpost.boxCornerB);
    EXPECT_FALSE(cloned->selected);
    EXPECT_TRUE(cloned->previewText.empty());
    EXPECT_FALSE(cloned->showPreview);
    EXPECT_EQ(cloned->GetLinkType(), LinkSignpost);
    EXPECT_EQ(cloned->GetTypeId(), 8u);
}

// The text channel's share of a level: each signpost's shown text as far as the view shows it,
// and no more than a frame's worth for all of them together, however much they hold.
TEST(Signpost, TextsAddWhatTheViewShowsUpToAFramesWorth)
{
    Font font;
    font.glyphs['B'] = Glyph{0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    font.glyphs['A'] = Glyph{0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f}; // stays on the pen
    const GlyphTable glyphs(font);
    const float view[4] = {-10.0f, 10.0f, -10.0f, 10.0f};

    DynArray<Signpost> signposts;
    signposts.PushBack(PlacedAt({0.0f, 0.0f}, "BBB"));
    Signpost edited = PlacedAt({100.0f, 0.0f}, "BB");
    edited.previewText = "B";
    edited.previewPosition = {1.0f, 1.0f};
    edited.showPreview = true;
    signposts.PushBack(edited);
    signposts.PushBack(PlacedAt({0.0f, 500.0f}, std::string(100000, 'B')));
    DynArray<LineLayout> layouts;
    Mesh mesh;
    EXPECT_EQ(Signpost::AppendTexts(signposts, layouts, mesh, glyphs, view), 4u);
    EXPECT_EQ(layouts.count, signposts.count);
    ASSERT_EQ(mesh.vertices.count, 24u);
    EXPECT_EQ(mesh.vertices[18].x, 1.0f) << "the preview at its position, in place of the text";
    EXPECT_EQ(mesh.vertices[6].x, Signpost::TextScale) << "the second glyph one advance at the text's scale on";

    // Texts stacked on one spot: the frame's share ends within the second of them.
    DynArray<Signpost> stacked;
    for (int i = 0; i < 3; ++i)
        stacked.PushBack(PlacedAt({0.0f, 0.0f}, std::string(Signpost::MaxFrameTextQuads / 2 + 1, 'A')));
    Mesh full;
    EXPECT_EQ(Signpost::AppendTexts(stacked, layouts, full, glyphs, view), Signpost::MaxFrameTextQuads);
    EXPECT_EQ(full.vertices.count, 6u * Signpost::MaxFrameTextQuads);
}
