#include "Action_ChangeSpline.h"

#include "LevelEditor.h"
#include "LogChannel.h"

Action_ChangeSpline::Action_ChangeSpline(uint32_t selectableIndex, int32_t point, uint32_t value, LevelEditor& editor)
    : newValue(value), target(selectableIndex), pointIndex(point)
{
    WorldShape* shape = editor.ShapeAt(target);
    if (shape == nullptr)
    {
        ErrorLog << LogLocation(__FILE__, 9) << "Tried to add a 'change spline' action with a target of the wrong type.";
        ErrorLog.EndMessage();
        return;
    }
    if (shape->points.count > 0)
        oldType = static_cast<uint32_t>(shape->PointAt(pointIndex).surfaceType);
}

void Action_ChangeSpline::Apply(LevelEditor& editor)
{
    WorldShape* shape = editor.ShapeAt(target);
    if (shape == nullptr)
    {
        ErrorLog << LogLocation(__FILE__, 19) << "Tried to apply a 'change spline' action with a target of the wrong type.";
        ErrorLog.EndMessage();
        return;
    }
    if (shape->points.count == 0)
        return;
    ShapePoint& point = shape->PointAt(pointIndex);
    if (newValue == ToggleSpline)
        point.isSpline = !point.isSpline;
    else
        point.surfaceType = static_cast<SurfaceType>(newValue);
    shape->Compile();
}

void Action_ChangeSpline::Undo(LevelEditor& editor)
{
    WorldShape* shape = editor.ShapeAt(target);
    if (shape == nullptr)
    {
        ErrorLog << LogLocation(__FILE__, 37) << "Tried to undo a 'change spline' action with a target of the wrong type.";
        ErrorLog.EndMessage();
        return;
    }
    if (shape->points.count == 0)
        return;
    ShapePoint& point = shape->PointAt(pointIndex);
    if (newValue == ToggleSpline)
        point.isSpline = !point.isSpline;
    else
        point.surfaceType = static_cast<SurfaceType>(oldType);
    shape->Compile();
}

void Action_ChangeSpline::ListChanged(const LevelEditor&, DynArray<uint32_t>& indices) const
{
    indices.PushBack(target);
}
