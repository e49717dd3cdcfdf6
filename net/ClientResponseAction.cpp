#include "ClientResponseAction.h"

#include "LogChannel.h"
#include "LogRateLimit.h"

void ClientResponseAction::Merge(const ClientResponseAction& other, LogRateLimit& log)
{
    if (type == ClientResponseType::None)
    {
        *this = other;
        return;
    }
    if (other.type == ClientResponseType::None)
        return;
    log.Write(ErrorLog, LogLocation(__FILE__, 17) +
                  "We somehow managed to both start and end a game within a single frame, this would be bad news.");
}
