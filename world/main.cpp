#include "LogChannel.h"

int main()
{
    InfoLog << "Quorvane Ledrow starting.";
    InfoLog.EndMessage();
    return 0;
}
