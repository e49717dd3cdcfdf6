#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include <enet/enet.h>

/// The first u32 of every record on the wire; anything else is not a record of this game.
enum PacketType : uint32_t
{
    PacketJoin = 0,
    PacketPlayerJoined = 1,
    PacketPlayerLeft = 2,
    PacketWelcome = 3,
    PacketRenumber = 4,
    PacketChatToServer = 5,
    PacketChat = 6,
    PacketStartGame = 7,
    PacketEndGame = 8,
    PacketClientState = 9,
    PacketPlayerState = 10,
    PacketDeparted = 11,
};

/// Bytes of the text fields: names and level names (63 characters and a NUL), chat lines (255).
inline constexpr size_t NameFieldSize = 64;
inline constexpr size_t ChatFieldSize = 256;

/// The limits of a received player state, on top of what the physics world allows for positions
/// (`MaxWorldCoordinate`): no figure in play turns or moves anywhere near these, and a body given
/// more loses every digit of precision in the solver.
inline constexpr float MaxNetSpeed = 1.0e4f;           ///< world units per second, per axis
inline constexpr float MaxNetAngle = 1.0e6f;           ///< radians, either way
inline constexpr float MaxNetAngularSpeed = 1.0e4f;    ///< radians per second

/// One player's state as it travels: its body and the inputs that steer it (36 bytes, natural
/// alignment, no hidden padding). Floats are little-endian IEEE single precision.
struct PlayerNetState
{
    float positionX = 0.0f; ///< world units
    float positionY = 0.0f;
    float velocityX = 0.0f; ///< world units per second
    float velocityY = 0.0f;
    float angle = 0.0f;           ///< radians
    float angularVelocity = 0.0f; ///< radians per second
    uint8_t jumpHeld = 0;         ///< 0 or 1; any other value reads as held
    uint8_t padding0[3] = {0, 0, 0};
    float rotateInput = 0.0f; ///< -1, 0 or 1
    uint8_t brakeHeld = 0;
    uint8_t fangHeld = 0;
    uint8_t padding1[2] = {0, 0};

    /// True when every number may be given to a physics body: finite, the position inside the
    /// world, speeds and angle within the limits above, the rotate input within -1 to 1.
    bool IsUsable() const;
};

// Every record is sent as its bytes, so each struct is exactly its wire layout. The two
// constants say how it travels: `Type` is its first field, `Flags` its ENet delivery.

/// Client to server on connecting: who the new player is.
struct JoinPacket
{
    static constexpr uint32_t Type = PacketJoin;
    static constexpr enet_uint32 Flags = ENET_PACKET_FLAG_RELIABLE;
    uint32_t type = Type;
    char name[NameFieldSize] = {};
};

/// Server to every client: a player joined the lobby.
struct PlayerJoinedPacket
{
    static constexpr uint32_t Type = PacketPlayerJoined;
    static constexpr enet_uint32 Flags = ENET_PACKET_FLAG_RELIABLE;
    uint32_t type = Type;
    uint32_t playerNumber = 0;
    char name[NameFieldSize] = {};
};

/// Server to every client: a player left (the number comes after the name on the wire).
struct PlayerLeftPacket
{
    static constexpr uint32_t Type = PacketPlayerLeft;
    static constexpr enet_uint32 Flags = ENET_PACKET_FLAG_RELIABLE;
    uint32_t type = Type;
    char name[NameFieldSize] = {};
    uint32_t playerNumber = 0;
};

/// Server to a client that has just joined: its number and the lobby's name.
struct WelcomePacket
{
    static constexpr uint32_t Type = PacketWelcome;
    static constexpr enet_uint32 Flags = ENET_PACKET_FLAG_RELIABLE;
    uint32_t type = Type;
    uint32_t playerNumber = 0;
    char lobbyName[NameFieldSize] = {};
};

/// Server to one client: its number changed because someone before it left the lobby.
struct RenumberPacket
{
    static constexpr uint32_t Type = PacketRenumber;
    static constexpr enet_uint32 Flags = ENET_PACKET_FLAG_RELIABLE;
    uint32_t type = Type;
    uint32_t newPlayerNumber = 0;
};

/// Client to server: one chat line, which the server then sends to everybody.
struct ChatToServerPacket
{
    static constexpr uint32_t Type = PacketChatToServer;
    static constexpr enet_uint32 Flags = ENET_PACKET_FLAG_RELIABLE;
    uint32_t type = Type;
    char text[ChatFieldSize] = {};
};

/// Server to every client: one chat line and who said it.
struct ChatPacket
{
    static constexpr uint32_t Type = PacketChat;
    static constexpr enet_uint32 Flags = ENET_PACKET_FLAG_RELIABLE;
    uint32_t type = Type;
    char name[NameFieldSize] = {};
    char text[ChatFieldSize] = {};
};

/// Server to every client: play this level file (a name in "Data/Levels/") with this many players.
struct StartGamePacket
{
    static constexpr uint32_t Type = PacketStartGame;
    static constexpr enet_uint32 Flags = ENET_PACKET_FLAG_RELIABLE;
    uint32_t type = Type;
    char levelName[NameFieldSize] = {};
    uint32_t playerCount = 0;
};

/// Server to every client: the level is over.
struct EndGamePacket
{
    static constexpr uint32_t Type = PacketEndGame;
    static constexpr enet_uint32 Flags = ENET_PACKET_FLAG_RELIABLE;
    uint32_t type = Type;
};

/// Client to server, every third frame of play: the client's own player.
struct ClientStatePacket
{
    static constexpr uint32_t Type = PacketClientState;
    static constexpr enet_uint32 Flags = 0; // unreliable, sequenced: a late state is no use
    uint32_t type = Type;
    PlayerNetState state;
};

/// Server to every client, every third frame of play and for every state it receives.
struct PlayerStatePacket
{
    static constexpr uint32_t Type = PacketPlayerState;
    static constexpr enet_uint32 Flags = 0;
    uint32_t type = Type;
    uint32_t playerNumber = 0;
    PlayerNetState state;
};

/// Client to server: this player left the level by itself.
struct DepartedPacket
{
    static constexpr uint32_t Type = PacketDeparted;
    static constexpr enet_uint32 Flags = ENET_PACKET_FLAG_RELIABLE;
    uint32_t type = Type;
};

/// Why a received record cannot be used as it stands.
enum class RecordFault
{
    None,
    TooShort,        ///< fewer bytes than the record of its type
    UnterminatedText ///< a text field without a NUL inside its width
};

/// True when every text field of `record` has its NUL inside the field.
bool TextsTerminated(const JoinPacket& record);
bool TextsTerminated(const PlayerJoinedPacket& record);
bool TextsTerminated(const PlayerLeftPacket& record);
bool TextsTerminated(const WelcomePacket& record);
bool TextsTerminated(const ChatToServerPacket& record);
bool TextsTerminated(const ChatPacket& record);
bool TextsTerminated(const StartGamePacket& record);
/// Records without text fields.
template <typename Record>
bool TextsTerminated(const Record&)
{
    return true;
}

/// Copies the received bytes into `record` when they hold one whole record of its type with
/// every text terminated; `record` is untouched otherwise. The bytes need no alignment and may be
/// longer than the record (what follows it is ignored). Nothing outside `length` is read.
template <typename Record>
RecordFault ReadRecord(const uint8_t* data, size_t length, Record& record)
{
    if (data == nullptr || length < sizeof(Record))
        return RecordFault::TooShort;
    Record copy;
    std::memcpy(&copy, data, sizeof(Record));
    if (!TextsTerminated(copy))
        return RecordFault::UnterminatedText;
    record = copy;
    return RecordFault::None;
}

/// Fills a text field with `text`, cut to the field's width less its NUL (at a character
/// boundary, so that a UTF-8 name is never left with half a character), and zeroes the rest.
void CopyText(char* field, size_t fieldSize, std::string_view text);
template <size_t N>
void CopyText(char (&field)[N], std::string_view text)
{
    CopyText(field, N, text);
}

/// The text of a received field (which must hold its NUL) made safe to show and to log: control
/// characters, line breaks among them, become '?', so that no peer can forge a log line.
std::string CleanText(const char* field, size_t fieldSize);
template <size_t N>
std::string CleanText(const char (&field)[N])
{
    return CleanText(field, N);
}

/// True when `name` may name a level file received from the host: it fits the start record,
/// ends in ".lrl", and is a bare file name (no folder, no way out of "Data/Levels/", no control
/// characters, not hidden).
bool IsShareableLevelName(std::string_view name);
