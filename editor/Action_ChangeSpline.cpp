#include "Action_ChangeSpline.h"

#include "LevelEditor.h"
#include "LogChannel.h"

Action_ChangeSpline::Action_ChangeSpline(uint32_t selectableIndex, int32_t point, uint32_t value, LevelEditor& editor)
    : newValue(value), target(selectableIndex), pointIndex(point)
{
    WorldShape* shape = TargetShape(editor, target, LogLocation(__FILE__, 9),
                                    "Tried to add a 'change spline' action with a target of the wrong type.");
    if (shape != nullptr && shape->points.count > 0)
        oldType = static_cast<uint32_t>(shape->PointAt(pointIndex).surfaceType);
}

void Action_ChangeSpline::Apply(LevelEditor& editor)
{
    Set(editor, newValue, LogLocation(__FILE__, 19),
        "Tried to apply a 'change spline' action with a target of the wrong type.");
}

void Action_ChangeSpline::Undo(LevelEditor& editor)
{
    // Toggling the spline flag again reverts it.
    Set(editor, oldType, LogLocation(__FILE__, 37),
        "Tried to undo a 'change spline' action with a target of the wrong type.");
}

void Action_ChangeSpline::Set(LevelEditor& editor, uint32_t surfaceType, const std::string& where, const char* fault)
{
    WorldShape* shape = TargetShape(editor, target, where, fault);
    if (shape == nullptr || shape->points.count == 0)
        return;
    ShapePoint& point = shape->PointAt(pointIndex);
    if (newValue == ToggleSpline)
        point.isSpline = !point.isSpline;
    else
        point.surfaceType = static_cast<SurfaceType>(surfaceType);
    shape->Compile();
}

void Action_ChangeSpline::ListChanged(const LevelEditor&, DynArray<uint32_t>& indices) const
{
    indices.PushBack(target);
}
