#include "PacketRecords.h"

#include <algorithm>
#include <cmath>

#include "WorldBounds.h"

// The wire layout: every peer, whatever it was built with, reads these offsets.
static_assert(sizeof(PlayerNetState) == 36);
static_assert(offsetof(PlayerNetState, jumpHeld) == 24 && offsetof(PlayerNetState, rotateInput) == 28);
static_assert(offsetof(PlayerNetState, brakeHeld) == 32 && offsetof(PlayerNetState, fangHeld) == 33);
static_assert(sizeof(JoinPacket) == 68 && offsetof(JoinPacket, name) == 4);
static_assert(sizeof(PlayerJoinedPacket) == 72 && offsetof(PlayerJoinedPacket, name) == 8);
static_assert(sizeof(PlayerLeftPacket) == 72 && offsetof(PlayerLeftPacket, playerNumber) == 68);
static_assert(sizeof(WelcomePacket) == 72 && offsetof(WelcomePacket, lobbyName) == 8);
static_assert(sizeof(RenumberPacket) == 8);
static_assert(sizeof(ChatToServerPacket) == 260);
static_assert(sizeof(ChatPacket) == 324 && offsetof(ChatPacket, text) == 68);
static_assert(sizeof(StartGamePacket) == 72 && offsetof(StartGamePacket, playerCount) == 68);
static_assert(sizeof(EndGamePacket) == 4);
static_assert(sizeof(ClientStatePacket) == 40 && offsetof(ClientStatePacket, state) == 4);
static_assert(sizeof(PlayerStatePacket) == 44 && offsetof(PlayerStatePacket, state) == 8);
static_assert(sizeof(DepartedPacket) == 4);

namespace
{
bool Terminated(const char* field, size_t fieldSize)
{
    return std::memchr(field, '\0', fieldSize) != nullptr;
}

bool Within(float value, float limit)
{
    // Written so that a NaN compares false.
    return std::fabs(value) <= limit;
}
} // namespace

bool PlayerNetState::IsUsable() const
{
    return IsSaneCoordinate(positionX) && IsSaneCoordinate(positionY) && Within(velocityX, MaxNetSpeed) &&
           Within(velocityY, MaxNetSpeed) && Within(angle, MaxNetAngle) &&
           Within(angularVelocity, MaxNetAngularSpeed) && Within(rotateInput, 1.0f);
}

bool TextsTerminated(const JoinPacket& record)
{
    return Terminated(record.name, sizeof(record.name));
}

bool TextsTerminated(const PlayerJoinedPacket& record)
{
    return Terminated(record.name, sizeof(record.name));
}

bool TextsTerminated(const PlayerLeftPacket& record)
{
    return Terminated(record.name, sizeof(record.name));
}

bool TextsTerminated(const WelcomePacket& record)
{
    return Terminated(record.lobbyName, sizeof(record.lobbyName));
}

bool TextsTerminated(const ChatToServerPacket& record)
{
    return Terminated(record.text, sizeof(record.text));
}

bool TextsTerminated(const ChatPacket& record)
{
    return Terminated(record.name, sizeof(record.name)) && Terminated(record.text, sizeof(record.text));
}

bool TextsTerminated(const StartGamePacket& record)
{
    return Terminated(record.levelName, sizeof(record.levelName));
}

void CopyText(char* field, size_t fieldSize, std::string_view text)
{
    if (fieldSize == 0)
        return;
    // A NUL inside the text ends it, as it would for the peer that reads the field.
    text = text.substr(0, std::min(text.find('\0'), text.size()));
    size_t length = std::min(text.size(), fieldSize - 1);
    if (length < text.size())
    {
        // Back off over UTF-8 continuation bytes so that the cut falls between two characters.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0u) == 0x80u)
            --length;
    }
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, fieldSize - length);
}

std::string CleanText(const char* field, size_t fieldSize)
{
    const void* end = std::memchr(field, '\0', fieldSize);
    const size_t length = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - field) : fieldSize;
    std::string text(field, length);
    for (char& c : text)
    {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20u || byte == 0x7Fu)
            c = '?';
    }
    return text;
}

bool IsShareableLevelName(std::string_view name)
{
    constexpr std::string_view extension = ".lrl";
    if (name.size() <= extension.size() || name.size() >= NameFieldSize)
        return false;
    if (name.substr(name.size() - extension.size()) != extension || name.front() == '.')
        return false;
    for (char c : name)
    {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || c == ':' || byte < 0x20u || byte == 0x7Fu)
            return false;
    }
    return true;
}
