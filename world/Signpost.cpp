#include "Signpost.h"

#include <cmath>

#include "ByteBlob.h"
#include "LineLayout.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "Mesh.h"
#include "RecordReading.h"
#include "SerialisableString.h"
#include "Utilities.h"
#include "WorldBounds.h"

namespace
{
constexpr int32_t MarkerSegments = 64;
} // namespace

void Signpost::Serialise(ByteBlob& blob)
{
    blob.WriteU32(TypeId);
    blob.WriteVec2(position);
    blob.WriteVec2(boxCornerA);
    blob.WriteVec2(boxCornerB);
    SerialisableString stored(text);
    stored.Serialise(blob);
}

bool Signpost::Deserialise(ByteBlob& blob)
{
    const uint32_t recordStart = blob.readCursor;
    if (!blob.CheckType(TypeId))
        return false;
    bool textTagMissing = false;
    ReadRecordOrRewind(blob, recordStart, [&] {
        const glm::vec2 readPosition = blob.ReadVec2();
        const glm::vec2 readCornerA = blob.ReadVec2();
        const glm::vec2 readCornerB = blob.ReadVec2();
        // A record that ends before its text is cut short, not damaged.
        if (blob.BytesLeft() < sizeof(uint32_t))
            throw ByteBlobError(ByteBlob::TooFewBytesMessage);
        SerialisableString stored;
        if (!stored.Deserialise(blob))
        {
            textTagMissing = true;
            return;
        }
        position = readPosition;
        boxCornerA = readCornerA;
        boxCornerB = readCornerB;
        text = std::move(stored.text);
    });
    if (textTagMissing)
    {
        // Reading on would take the text's bytes for records; stop here as at any record that
        // breaks the file's order.
        blob.readCursor = recordStart;
        WarningLog << LogLocation(__FILE__, 57) << "Signpost record is damaged: its text is not a string record.";
        WarningLog.EndMessage();
        return false;
    }
    return true;
}

bool Signpost::IsSane() const
{
    return IsSanePoint(position) && IsSanePoint(boxCornerA) && IsSanePoint(boxCornerB);
}

void Signpost::DrawMarker(LineRenderer& lines, const float (&view)[4]) const
{
    if (!CircleTouchesRect(view[0], view[1], view[2], view[3], position, MarkerRadius))
        return;
    lines.AddCircle(position, MarkerRadius, selected ? SelectedColour : MarkerColour, MarkerSegments);
}

uint32_t Signpost::AppendTexts(const DynArray<Signpost>& signposts, DynArray<LineLayout>& layouts, Mesh& mesh, const GlyphTable& glyphs,
                               const float (&view)[4])
{
    layouts.Resize(signposts.count);
    uint32_t added = 0;
    for (uint32_t i = 0; i < signposts.count && added < MaxFrameTextQuads; ++i)
    {
        const Signpost& signpost = signposts[i];
        added += mesh.AddTextInView(signpost.ShownText(), signpost.ShownPosition(), TextScale, glyphs, view, MaxFrameTextQuads - added,
                                    &layouts[i]);
    }
    return added;
}

bool Signpost::HitTestPoint(glm::vec2 point)
{
    const glm::vec2 d = point - position;
    return std::sqrt(d.x * d.x + d.y * d.y) < MarkerRadius;
}

bool Signpost::HitTestRect(float minX, float maxX, float minY, float maxY)
{
    return CircleTouchesRect(minX, maxX, minY, maxY, position, MarkerRadius);
}

void Signpost::Rotate(glm::vec2 centre, float angle)
{
    position = RotatePoint(position, centre, angle);
    const glm::vec2 boxCentre = (boxCornerA + boxCornerB) * 0.5f;
    const glm::vec2 halfDiagonal = boxCornerA - boxCentre;
    const glm::vec2 turnedCentre = RotatePoint(boxCentre, centre, angle);
    boxCornerA = turnedCentre + halfDiagonal;
    boxCornerB = turnedCentre - halfDiagonal;
}

void Signpost::Translate(glm::vec2 offset)
{
    position += offset;
    boxCornerA += offset;
    boxCornerB += offset;
    showPreview = false;
}

void Signpost::DrawRotatePreview(LineRenderer&, glm::vec2, float)
{
}

void Signpost::DrawTranslatePreview(LineRenderer& lines, glm::vec2 offset)
{
    lines.AddCircle(position + offset, MarkerRadius, PreviewColour, MarkerSegments);
}

Selectable* Signpost::Clone()
{
    Signpost* copy = new Signpost(text, position, boxCornerA, boxCornerB);
    copy->previewPosition = previewPosition;
    return copy;
}
