#include "InputNames.h"
#include "LogChannel.h"

int main()
{
    // First, so that the list of bindable names is there even when start-up fails later on.
    WriteControlInfo();
    InfoLog << "Quorvane Ledrow starting.";
    InfoLog.EndMessage();
    return 0;
}
