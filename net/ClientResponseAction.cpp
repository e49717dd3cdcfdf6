#include "ClientResponseAction.h"

#include "LogChannel.h"

void ClientResponseAction::Merge(const ClientResponseAction& other)
{
    if (type == ClientResponseType::None)
    {
        *this = other;
        return;
    }
    if (other.type == ClientResponseType::None)
        return;
    ErrorLog << LogLocation(__FILE__, 17)
             << "We somehow managed to both start and end a game within a single frame, this would be bad news.";
    ErrorLog.EndMessage();
}
