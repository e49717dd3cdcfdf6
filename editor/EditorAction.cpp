#include "EditorAction.h"

#include "LevelEditor.h"
#include "LogChannel.h"

WorldShape* EditorAction::TargetShape(LevelEditor& editor, uint32_t target, const std::string& where, const char* fault)
{
    WorldShape* shape = editor.ShapeAt(target);
    if (shape == nullptr)
    {
        ErrorLog << where << fault;
        ErrorLog.EndMessage();
    }
    return shape;
}
