#include "LevelStart.h"

#include <cmath>

#include "ByteBlob.h"
#include "FigureGeometry.h"
#include "LineRenderer.h"
#include "LogChannel.h"
#include "RecordReading.h"
#include "Utilities.h"
#include "WorldBounds.h"

void LevelStart::WriteFields(ByteBlob& blob) const
{
    blob.WriteVec2(position);
    blob.WriteFloat(reserved);
}

void LevelStart::ReadFields(ByteBlob& blob)
{
    ReadRecordOrRewind(blob, blob.readCursor, [&] {
        const glm::vec2 readPosition = blob.ReadVec2();
        const float readReserved = blob.ReadFloat();
        position = readPosition;
        reserved = readReserved;
    });
}

bool LevelStart::IsSane() const
{
    return IsSanePoint(position);
}

void LevelStart::Draw(LineRenderer& lines) const
{
    DrawLevelStartMarker(position, lines, selected ? SelectedColour : EditorColour);
}

bool LevelStart::HitTestPoint(glm::vec2 point)
{
    const glm::vec2 d = point - position;
    return std::sqrt(d.x * d.x + d.y * d.y) < Radius;
}

bool LevelStart::HitTestRect(float minX, float maxX, float minY, float maxY)
{
    return CircleTouchesRect(minX, maxX, minY, maxY, position, Radius);
}

void LevelStart::Rotate(glm::vec2 centre, float angle)
{
    position = RotatePoint(position, centre, angle);
}

void LevelStart::Translate(glm::vec2 offset)
{
    position += offset;
}

void LevelStart::DrawRotatePreview(LineRenderer& lines, glm::vec2 centre, float angle)
{
    DrawLevelStartMarker(RotatePoint(position, centre, angle), lines, PreviewColour);
}

void LevelStart::DrawTranslatePreview(LineRenderer& lines, glm::vec2 offset)
{
    DrawLevelStartMarker(position + offset, lines, PreviewColour);
}

Selectable* LevelStart::Clone()
{
    ErrorLog << LogLocation(__FILE__, 45) << "Attempted to clone a level start object - this shouldn't happen.";
    ErrorLog.EndMessage();
    return nullptr;
}

void DrawLevelStartMarker(glm::vec2 position, LineRenderer& lines, const glm::vec3& colour)
{
    lines.currentColour = colour;
    lines.AddCircle(position, LevelStart::Radius, colour, 64);
    glm::vec2 corners[3];
    for (int i = 0; i < 3; ++i)
    {
        const float angle = FigureCornerAngles[i];
        corners[i] = position + FigureCornerRadius * glm::vec2(std::cos(angle), std::sin(angle));
    }
    for (const glm::vec2& corner : corners)
        lines.AddCircle(corner, FigureCornerCircleRadius, colour, 24);
    for (const glm::vec2& corner : corners)
        lines.AddStripPoint(corner);
    lines.CloseStrip();
}
