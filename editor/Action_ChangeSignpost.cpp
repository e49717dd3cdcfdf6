#include "Action_ChangeSignpost.h"

#include "LevelEditor.h"
#include "LogChannel.h"

void Action_ChangeSignpost::Apply(LevelEditor& editor)
{
    Signpost* signpost = editor.SignpostAt(target);
    if (signpost == nullptr)
    {
        ErrorLog << LogLocation(__FILE__, 9) << "Tried to apply a 'change signpost' action with a target of the wrong type.";
        ErrorLog.EndMessage();
        return;
    }
    signpost->text = newText;
}

void Action_ChangeSignpost::Undo(LevelEditor& editor)
{
    Signpost* signpost = editor.SignpostAt(target);
    if (signpost == nullptr)
    {
        ErrorLog << LogLocation(__FILE__, 19) << "Tried to undo a 'change signpost' action with a target of the wrong type.";
        ErrorLog.EndMessage();
        return;
    }
    signpost->text = oldText;
}

void Action_ChangeSignpost::ListChanged(const LevelEditor&, DynArray<uint32_t>& indices) const
{
    // A longer text costs the loader more.
    indices.PushBack(target);
}
