#include "NetworkManager.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

#include <box2d/b2_body.h>
#include <box2d/b2_world.h>

#include "HandshakeGuard.h"
#include "Level.h"
#include "Player.h"
#include "PublicAddress.h"

namespace
{
// Peers get these time-outs as soon as they connect (not while a connection is attempted): a
// peer that stops answering is given up after about two seconds.
constexpr enet_uint32 TimeoutLimit = 3;
constexpr enet_uint32 TimeoutMinimumMs = 500;
constexpr enet_uint32 TimeoutMaximumMs = 2000;
constexpr size_t ChannelCount = 2;
constexpr enet_uint32 ConnectData = 5000;
// The largest record is 324 bytes; nothing a peer sends may make the library assemble or hold
// much more than that on its behalf.
constexpr size_t MaxPacketBytes = 1024;
constexpr size_t MaxWaitingBytes = 64 * 1024;
// Events handled in one frame at most: the rest wait for the next frame, so that a flood of
// datagrams cannot hold a frame up however fast it arrives.
constexpr int MaxEventsPerUpdate = 1024;
// A public address is a line of a few dozen characters at most.
constexpr size_t MaxPublicAddressLength = 64;

PlayerNetState StateOf(const Player& player)
{
    PlayerNetState state;
    const b2Vec2 position = player.body->GetPosition();
    const b2Vec2 velocity = player.body->GetLinearVelocity();
    state.positionX = position.x;
    state.positionY = position.y;
    state.velocityX = velocity.x;
    state.velocityY = velocity.y;
    state.angle = player.body->GetAngle();
    state.angularVelocity = player.body->GetAngularVelocity();
    state.jumpHeld = player.jumpHeld ? 1 : 0;
    state.rotateInput = player.rotateInput;
    state.brakeHeld = player.brakeHeld ? 1 : 0;
    state.fangHeld = player.fangHeld ? 1 : 0;
    return state;
}

int LastSocketError()
{
#if defined(_WIN32)
    return WSAGetLastError();
#else
    return errno;
#endif
}

// Why a host cannot be bound to `port`: the library keeps the system's answer to itself, so a
// plain socket is bound as the library binds its host (every address, no address reuse) to hear
// it. `fallback`, the error left over from the library's own attempt, serves when the port is
// free again by now.
std::string WhyPortCannotOpen(uint16_t port, int fallback)
{
    int error = 0;
    const ENetSocket probe = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
    if (probe == ENET_SOCKET_NULL)
    {
        error = LastSocketError();
    }
    else
    {
        ENetAddress any{};
        any.host = ENET_HOST_ANY;
        any.port = port;
        if (enet_socket_bind(probe, &any) < 0)
            error = LastSocketError();
        enet_socket_destroy(probe);
    }
    if (error == 0)
        error = fallback;
    return error != 0 ? std::system_category().message(error) : std::string("the system gave no reason");
}

std::string AddressText(const ENetAddress& address)
{
    char text[64] = {};
    if (enet_address_get_host_ip(&address, text, sizeof(text)) != 0)
        return "an unknown address";
    return text;
}
} // namespace

uint16_t NetworkManager::PortFromSetting(const char* setting)
{
    if (setting == nullptr || *setting == '\0')
        return DefaultPort;
    const std::string_view text(setting);
    uint32_t port = 0;
    const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (fault == std::errc() && end == text.data() + text.size() && port >= 1 && port <= UINT16_MAX)
        return static_cast<uint16_t>(port);
    WarningLog << LogLocation(__FILE__, 613) << PortSetting << " is \"" << CleanText(setting, text.size() + 1)
               << "\", which is no port from 1 to 65535; the game uses port " << DefaultPort << ".";
    WarningLog.EndMessage();
    return DefaultPort;
}

NetworkManager::~NetworkManager()
{
    Shutdown();
}

void NetworkManager::Shutdown()
{
    if (role == NetworkRole::Server)
        CloseServer();
    else if (role == NetworkRole::Client)
        Leave();
    DropHost();
}

ClientResponseAction NetworkManager::Update()
{
    ClientResponseAction result;
    if (host == nullptr)
        return result;

    const int32_t interval = std::max(stateSendInterval, 1);
    if (frameCounter % interval == 0)
        SendOwnState();
    // Wraps to a multiple of every interval rather than overflowing.
    frameCounter = frameCounter == INT32_MAX ? 0 : frameCounter + 1;

    ENetEvent event;
    for (int handled = 0; handled < MaxEventsPerUpdate && host != nullptr; ++handled)
    {
        if (enet_host_service(host, &event, 0) <= 0)
            break;
        switch (event.type)
        {
        case ENET_EVENT_TYPE_CONNECT:
            HandleConnect(event.peer);
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            HandleDisconnect(event.peer);
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            if (event.channelID != 0)
                LogDrop(WarningLog, 601, "Dropped a packet on channel " + std::to_string(event.channelID) +
                                             "; records travel on channel 0 only.");
            else
                result.Merge(HandlePacket(event.packet->data, event.packet->dataLength, event.peer), dropLog);
            enet_packet_destroy(event.packet);
            break;
        default:
            break;
        }
    }

    if (role == NetworkRole::Server && host != nullptr)
    {
        DropPeersThatNeverJoined();
        HandshakeGuard::ShortenHandshakes(*host);
    }
    if (role == NetworkRole::Server && level == nullptr)
        TidyLobby();
    return result;
}

void NetworkManager::StartServer()
{
    // Whatever host an earlier connection left behind goes first: numbering counts the peers of
    // the current host only.
    Shutdown();

    address.host = ENET_HOST_ANY;
    address.port = port;
    errno = 0;
    host = enet_host_create(&address, MaxClients, ChannelCount, 0, 0);
    if (host == nullptr)
    {
        const int libraryError = errno;
        // Said before the line that waits for a key, so that the reason is on the console while
        // it waits; the lobby's set-up page shows it too, and "Create server!" can be tried again.
        std::ostringstream failure;
        failure << "The server could not open UDP port " << port << ": " << WhyPortCannotOpen(port, libraryError)
                << ". Another program (a second copy of the game, say) may hold it; " << PortSetting
                << " picks another port.";
        serverFailure = failure.str();
        WarningLog << LogLocation(__FILE__, 614) << serverFailure;
        WarningLog.EndMessage();
        ErrorLog << LogLocation(__FILE__, 147) << "Failed to create server.";
        ErrorLog.EndMessage();
        return;
    }
    serverFailure.clear();
    LimitHost();
    // Strangers' connection requests are answered on the host's side alone: a client's host
    // has nobody to guard against.
    host->intercept = HandshakeGuard::Intercept;
    role = NetworkRole::Server;
    ownName = playerNameEntry;
    ownPlayerNumber = 0;
    lobbyName = lobbyNameEntry;
    ReadPublicAddress();
}

void NetworkManager::CloseServer()
{
    if (role != NetworkRole::Server)
    {
        ErrorLog << LogLocation(__FILE__, 164) << "Attempted to close a server but machine isn't acting as one!";
        ErrorLog.EndMessage();
        return;
    }
    if (host != nullptr)
    {
        // Every client hears at once that the lobby is gone, rather than after its time-out.
        for (size_t i = 0; i < host->peerCount; ++i)
            if (host->peers[i].state == ENET_PEER_STATE_CONNECTED)
                enet_peer_disconnect_now(&host->peers[i], 0);
        enet_host_destroy(host);
        host = nullptr;
    }
    peers.clear(); // their handles died with the host
    role = NetworkRole::None;
}

bool NetworkManager::Join(const std::string& addressText)
{
    Shutdown();
    ownName = playerNameEntry;
    ownPlayerNumber = -1;

    host = enet_host_create(nullptr, 1, ChannelCount, 0, 0);
    if (host == nullptr)
    {
        ErrorLog << LogLocation(__FILE__, 180) << "Failed to create client host.";
        ErrorLog.EndMessage();
        return false;
    }
    LimitHost();
    // An address that does not resolve would leave the previous one in place, and the attempt
    // would go to some other machine.
    if (enet_address_set_host(&address, addressText.c_str()) != 0)
    {
        WarningLog << LogLocation(__FILE__, 186) << "Could not find the server address \""
                   << CleanText(addressText.c_str(), addressText.size() + 1) << "\".";
        WarningLog.EndMessage();
        return false;
    }
    address.port = port;
    // The attempt keeps the library's own time-out: a connected peer's two seconds would give up
    // on a join after a few lost handshake datagrams. The connect event sets the peer's.
    if (enet_host_connect(host, &address, ChannelCount, ConnectData) == nullptr)
    {
        ErrorLog << LogLocation(__FILE__, 191) << "Failed to create client - something else happened.";
        ErrorLog.EndMessage();
        return false;
    }
    return true;
}

void NetworkManager::Leave()
{
    if (role != NetworkRole::Client)
    {
        ErrorLog << LogLocation(__FILE__, 201) << "Attempted to leave a server but machine isn't a client!";
        ErrorLog.EndMessage();
        return;
    }
    if (!peers.empty())
        enet_peer_disconnect(peers.begin()->first, 0);
    role = NetworkRole::None;
}

void NetworkManager::SendChat(const std::string& text)
{
    char field[ChatFieldSize];
    CopyText(field, text);
    if (role == NetworkRole::Server)
    {
        AddChatMessage(ownName, CleanText(field));
        ChatPacket record;
        CopyText(record.name, ownName);
        CopyText(record.text, field);
        BroadcastPacket(record);
    }
    else if (role == NetworkRole::Client)
    {
        ChatToServerPacket record;
        CopyText(record.text, field);
        SendPacketToServer(record);
    }
}

int32_t NetworkManager::GetPlayerCount()
{
    if (role == NetworkRole::Server)
        return static_cast<int32_t>(peers.size()) + 1;
    if (role == NetworkRole::Client)
    {
        ErrorLog << LogLocation(__FILE__, 547)
                 << "GetPlayerCount() is intended to be called on the server machine. The client machines don't know "
                    "the player count necessarily.";
        ErrorLog.EndMessage();
    }
    return 1;
}

ClientResponseAction NetworkManager::HandlePacket(const uint8_t* data, size_t length, ENetPeer* from)
{
    if (data == nullptr || length < sizeof(uint32_t))
    {
        LogDrop(WarningLog, 602,
                length == 0 ? std::string("Dropped an empty packet.")
                            : "Dropped a packet of " + std::to_string(length) + " bytes, too short for a record.");
        return {};
    }
    uint32_t type = 0;
    std::memcpy(&type, data, sizeof(type));
    switch (role)
    {
    case NetworkRole::Server:
        return HandleServerPacket(type, data, length, from);
    case NetworkRole::Client:
        return HandleClientPacket(type, data, length);
    default:
        LogDrop(ErrorLog, 472, "Received packet, not in multplayer?");
        return {};
    }
}

ClientResponseAction NetworkManager::HandleServerPacket(uint32_t type, const uint8_t* data, size_t length, ENetPeer* from)
{
    const auto sender = peers.find(from);
    const bool known = sender != peers.end() && sender->second.connected;
    const auto unknownSender = [&] {
        LogDrop(WarningLog, 604, "Dropped a record of type " + std::to_string(type) + " from a peer that is not in this lobby.");
    };

    switch (type)
    {
    case PacketJoin:
    {
        JoinPacket record;
        if (!Read(data, length, record))
            break;
        if (!known)
        {
            unknownSender();
            break;
        }
        PeerInfo& info = sender->second;
        if (info.playerNumber != -1)
        {
            LogDrop(WarningLog, 611, "Dropped a second join record from player " + std::to_string(info.playerNumber) + ".");
            break;
        }
        info.name = CleanText(record.name);
        info.playerNumber = FreePlayerNumber(from);
        HandshakeGuard::ClearAwaitingJoin(*from);
        AddMessage(info.name + " has joined the server.");

        WelcomePacket welcome;
        welcome.playerNumber = static_cast<uint32_t>(info.playerNumber);
        CopyText(welcome.lobbyName, lobbyName);
        SendPacketToClient(from, welcome);
        PlayerJoinedPacket joined;
        joined.playerNumber = static_cast<uint32_t>(info.playerNumber);
        CopyText(joined.name, info.name);
        BroadcastPacket(joined);
        break;
    }
    case PacketChatToServer:
    {
        ChatToServerPacket record;
        if (!Read(data, length, record))
            break;
        if (!known)
        {
            unknownSender();
            break;
        }
        const std::string text = CleanText(record.text);
        AddChatMessage(sender->second.name, text);
        ChatPacket chat;
        CopyText(chat.name, sender->second.name);
        CopyText(chat.text, text);
        BroadcastPacket(chat);
        break;
    }
    case PacketClientState:
    {
        if (level == nullptr)
            break; // late states of a level that has ended
        ClientStatePacket record;
        if (!Read(data, length, record))
            break;
        if (!known)
        {
            unknownSender();
            break;
        }
        const int32_t number = sender->second.playerNumber;
        if (!InLevel(number, "a state from player"))
            break;
        Player* player = RemotePlayer(number);
        if (player == nullptr)
            break; // departed: its last states may still be on their way
        if (!UsableState(record.state, number, "a state from player"))
            break;
        ApplyState(*player, record.state);
        PlayerStatePacket relay;
        relay.playerNumber = static_cast<uint32_t>(number);
        relay.state = record.state;
        BroadcastPacket(relay);
        break;
    }
    case PacketDeparted:
    {
        if (level == nullptr)
            break; // the answer of every client to the end of a level
        DepartedPacket record;
        if (!Read(data, length, record))
            break;
        if (!known)
        {
            unknownSender();
            break;
        }
        const PeerInfo info = sender->second;
        enet_peer_disconnect(from, 0);
        peers.erase(sender);
        InfoLog << "Server received word that player " << info.playerNumber << " departed.";
        InfoLog.EndMessage();
        DepartPlayer(info.playerNumber);
        BroadcastLeft(info);
        break;
    }
    default:
        LogDrop(ErrorLog, 388, "Received bad packet type for server.");
        break;
    }
    return {};
}

ClientResponseAction NetworkManager::HandleClientPacket(uint32_t type, const uint8_t* data, size_t length)
{
    ClientResponseAction action;
    switch (type)
    {
    case PacketPlayerJoined:
    {
        PlayerJoinedPacket record;
        if (Read(data, length, record) && static_cast<int64_t>(record.playerNumber) != ownPlayerNumber)
            AddMessage(CleanText(record.name) + " has joined the server.");
        break;
    }
    case PacketPlayerLeft:
    {
        PlayerLeftPacket record;
        if (!Read(data, length, record))
            break;
        AddLeftMessage(CleanText(record.name));
        // A player who joined during the level has no place in it, and leaves nothing behind.
        if (RemotePlayer(record.playerNumber) != nullptr)
        {
            DepartPlayer(record.playerNumber);
            InfoLog << "Client received word that " << record.playerNumber << " departed.";
            InfoLog.EndMessage();
        }
        break;
    }
    case PacketWelcome:
    {
        WelcomePacket record;
        if (!Read(data, length, record))
            break;
        if (!ClientNumber(record.playerNumber, "a welcome naming player"))
            break;
        lobbyName = CleanText(record.lobbyName);
        ownPlayerNumber = static_cast<int32_t>(record.playerNumber);
        AddMessage("Welcome to " + lobbyName + ", " + ownName + ". You are player " + std::to_string(ownPlayerNumber) + ".");
        break;
    }
    case PacketRenumber:
    {
        RenumberPacket record;
        if (!Read(data, length, record))
            break;
        if (!ClientNumber(record.newPlayerNumber, "a new number"))
            break;
        ownPlayerNumber = static_cast<int32_t>(record.newPlayerNumber);
        AddMessage("You are now player number " + std::to_string(ownPlayerNumber) + ".");
        break;
    }
    case PacketChat:
    {
        ChatPacket record;
        if (Read(data, length, record))
            AddChatMessage(CleanText(record.name), CleanText(record.text));
        break;
    }
    case PacketStartGame:
    {
        StartGamePacket record;
        if (!Read(data, length, record))
            break;
        const std::string name = record.levelName;
        if (!IsShareableLevelName(name))
        {
            LogDrop(WarningLog, 607, "Dropped the start of a level named \"" + CleanText(record.levelName) +
                                         "\", which is no level file name.");
            break;
        }
        if (record.playerCount < 1 || record.playerCount > static_cast<uint32_t>(MaxClients) + 1)
        {
            LogDrop(WarningLog, 608, "Dropped the start of " + name + " with " + std::to_string(record.playerCount) +
                                         " players, more than a lobby holds.");
            break;
        }
        const int32_t count = static_cast<int32_t>(record.playerCount);
        if (ownPlayerNumber < 0 || ownPlayerNumber >= count)
        {
            // This client arrived after the host counted its players, or its number is out of
            // date: it has no player in that level and waits for the next one.
            const std::string line = "The host started " + name + " for " + std::to_string(count) +
                                     " player(s) without a place for player " + std::to_string(ownPlayerNumber) +
                                     "; wait here for the next level.";
            AddMessage(line);
            break;
        }
        action.type = ClientResponseType::StartGame;
        action.levelName = name;
        action.playerCount = count;
        break;
    }
    case PacketEndGame:
        action.type = ClientResponseType::EndGame;
        break;
    case PacketPlayerState:
    {
        if (level == nullptr)
            break;
        PlayerStatePacket record;
        if (!Read(data, length, record))
            break;
        if (static_cast<int64_t>(record.playerNumber) == ownPlayerNumber)
            break; // our own state, relayed back to us
        if (!InLevel(record.playerNumber, "a state of player"))
            break;
        Player* player = RemotePlayer(record.playerNumber);
        if (player == nullptr)
            break;
        if (!UsableState(record.state, record.playerNumber, "a state of player"))
            break;
        ApplyState(*player, record.state);
        break;
    }
    default:
        LogDrop(ErrorLog, 467, "Received bad packet type for client.");
        break;
    }
    return action;
}

template <typename Record>
bool NetworkManager::Read(const uint8_t* data, size_t length, Record& record)
{
    switch (ReadRecord(data, length, record))
    {
    case RecordFault::None:
        return true;
    case RecordFault::TooShort:
        LogDrop(WarningLog, 602, "Dropped a record of type " + std::to_string(Record::Type) + ": " + std::to_string(length) +
                                     " bytes where " + std::to_string(sizeof(Record)) + " are needed.");
        return false;
    case RecordFault::UnterminatedText:
        LogDrop(WarningLog, 603, "Dropped a record of type " + std::to_string(Record::Type) + ": a text without its terminating NUL.");
        return false;
    }
    return false;
}

void NetworkManager::AddLeftMessage(const std::string& name)
{
    AddMessage(name + " has left the server.");
}

void NetworkManager::AddChatMessage(const std::string& name, const std::string& text)
{
    AddMessage(name + ": " + text);
}

void NetworkManager::ReshufflePlayers(int32_t departedNumber)
{
    if (role != NetworkRole::Server)
    {
        ErrorLog << LogLocation(__FILE__, 491) << "Only a server should be reshuffling players, something is broken.";
        ErrorLog.EndMessage();
    }
    for (auto& [peer, info] : peers)
    {
        if (info.playerNumber <= departedNumber)
            continue;
        --info.playerNumber;
        RenumberPacket record;
        record.newPlayerNumber = static_cast<uint32_t>(info.playerNumber);
        SendPacketToClient(peer, record);
    }
}

bool NetworkManager::AnnounceLevelStart(const std::string& levelName)
{
    if (role != NetworkRole::Server)
        return true;
    if (!IsShareableLevelName(levelName))
    {
        const std::string line = "\"" + CleanText(levelName.c_str(), levelName.size() + 1) +
                                 "\" cannot be played together: a shared level needs a file name of at most " +
                                 std::to_string(NameFieldSize - 1) + " characters ending in \".lrl\".";
        AddMessage(line);
        InfoLog << line;
        InfoLog.EndMessage();
        return false;
    }
    StartGamePacket record;
    CopyText(record.levelName, levelName);
    record.playerCount = static_cast<uint32_t>(GetPlayerCount());
    BroadcastPacket(record);
    return true;
}

void NetworkManager::MissSharedLevel(const std::string& levelName, const std::string& why)
{
    const std::string line = "The host started " + CleanText(levelName.c_str(), levelName.size() + 1) +
                             ", which this machine cannot play: " + why + "; wait here for the next level.";
    AddMessage(line);
    LogDrop(WarningLog, 612, line);
}

void NetworkManager::AnnounceLevelEnd()
{
    if (role == NetworkRole::Server)
        BroadcastPacket(EndGamePacket{});
}

void NetworkManager::AnnounceDeparture()
{
    if (role != NetworkRole::Client)
        return;
    SendPacketToServer(DepartedPacket{});
    InfoLog << "This player departed - informing server.";
    InfoLog.EndMessage();
}

void NetworkManager::LeaveLobby()
{
    Shutdown();
    lobbyState = LobbyState::ChooseRole;
    serverFailure.clear();
}

bool NetworkManager::CanChooseLevel(const std::string& levelName) const
{
    if (role == NetworkRole::Client)
        return false;
    return role != NetworkRole::Server || IsShareableLevelName(levelName);
}

void NetworkManager::SendBytes(ENetPeer* peer, const void* bytes, size_t size, enet_uint32 flags)
{
    if (peer == nullptr)
        return;
    ENetPacket* packet = enet_packet_create(bytes, size, flags);
    if (packet == nullptr)
        return;
    // A peer that is not connected (any more) takes nothing; the packet is then still ours.
    if (enet_peer_send(peer, 0, packet) < 0)
        enet_packet_destroy(packet);
}

void NetworkManager::BroadcastBytes(const void* bytes, size_t size, enet_uint32 flags)
{
    if (host == nullptr)
        return;
    ENetPacket* packet = enet_packet_create(bytes, size, flags);
    if (packet != nullptr)
        enet_host_broadcast(host, 0, packet); // destroys the packet when no peer took it
}

void NetworkManager::DropHost()
{
    if (host != nullptr)
    {
        // What is queued (a farewell among it) goes out before the host does.
        enet_host_flush(host);
        enet_host_destroy(host);
        host = nullptr;
    }
    peers.clear();
}

void NetworkManager::LimitHost()
{
    host->maximumPacketSize = MaxPacketBytes;
    host->maximumWaitingData = MaxWaitingBytes;
}

void NetworkManager::ReadPublicAddress()
{
    std::ifstream file(PublicAddressFile, std::ios::binary);
    if (!file.is_open())
        return;
    char buffer[MaxPublicAddressLength + 1] = {};
    file.read(buffer, MaxPublicAddressLength);
    std::string line(buffer, static_cast<size_t>(file.gcount()));
    line = line.substr(0, line.find_first_of("\r\n"));
    publicAddress = CleanText(line.c_str(), line.size() + 1);
}

void NetworkManager::SendOwnState()
{
    if (level == nullptr || (role != NetworkRole::Server && role != NetworkRole::Client))
        return;
    const Player* own = level->localPlayer;
    if (own == nullptr || own->departed || own->body == nullptr)
        return;
    if (role == NetworkRole::Client)
    {
        ClientStatePacket record;
        record.state = StateOf(*own);
        SendPacketToServer(record);
    }
    else
    {
        PlayerStatePacket record;
        record.playerNumber = 0;
        record.state = StateOf(*own);
        BroadcastPacket(record);
    }
}

void NetworkManager::DropPeersThatNeverJoined()
{
    const double now = LogRateLimit::Now();
    for (auto entry = peers.begin(); entry != peers.end();)
    {
        const PeerInfo& info = entry->second;
        if (!info.connected || info.playerNumber >= 0 || now - info.connectedAt < joinDeadline)
        {
            ++entry;
            continue;
        }
        ENetPeer* peer = entry->first;
        const std::string from = AddressText(peer->address);
        // At once, so that the slot is free for the next request; it was never announced, so
        // nobody hears of it and no number moves.
        enet_peer_disconnect_now(peer, 0);
        HandshakeGuard::ClearAwaitingJoin(*peer);
        entry = peers.erase(entry);
        std::ostringstream line;
        line << LogLocation(__FILE__, 615) << "Dropped a connection from " << from << " that sent no join record within "
             << joinDeadline << " seconds.";
        connectionLog.Write(WarningLog, line.str());
    }
}

void NetworkManager::HandleConnect(ENetPeer* peer)
{
    // The slot may have held a peer before: whatever the library left in its `data` goes.
    HandshakeGuard::ClearAwaitingJoin(*peer);
    if (lobbyState == LobbyState::Hosting)
    {
        connectionLog.Write(InfoLog, "A new client connected!");
        // A slot of the host's that a client lost during a level is a new client now.
        const auto stale = peers.find(peer);
        if (stale != peers.end() && !stale->second.connected)
            peers.erase(stale);
        PeerInfo fresh;
        fresh.connectedAt = LogRateLimit::Now();
        const auto entry = peers.emplace(peer, fresh).first;
        if (entry->second.playerNumber < 0)
            HandshakeGuard::MarkAwaitingJoin(*peer);
        enet_peer_timeout(peer, TimeoutLimit, TimeoutMinimumMs, TimeoutMaximumMs);
    }
    else if (lobbyState == LobbyState::Connecting)
    {
        InfoLog << "Successfully joined a game!";
        InfoLog.EndMessage();
        role = NetworkRole::Client;
        lobbyState = LobbyState::Joined;
        peers.emplace(peer, PeerInfo{});
        enet_peer_timeout(peer, TimeoutLimit, TimeoutMinimumMs, TimeoutMaximumMs);
        JoinPacket record;
        CopyText(record.name, playerNameEntry);
        SendPacketToServer(record);
    }
    else
    {
        LogDrop(ErrorLog, 261, "Connection created outside UI lobby - currently shouldn't happen.");
        // Nobody here will talk to it: let it know rather than keep its slot taken.
        enet_peer_disconnect(peer, 0);
    }
}

void NetworkManager::HandleDisconnect(ENetPeer* peer)
{
    HandshakeGuard::ClearAwaitingJoin(*peer);
    const auto entry = peers.find(peer);
    if (level != nullptr)
    {
        if (role == NetworkRole::Server)
        {
            if (entry == peers.end() || !entry->second.connected)
                return;
            InfoLog << "A player has quit the game.";
            InfoLog.EndMessage();
            // Numbers do not change during a level: the entry stays until the lobby is back.
            entry->second.connected = false;
            DepartPlayer(entry->second.playerNumber);
            BroadcastLeft(entry->second);
        }
        else if (role == NetworkRole::Client)
        {
            InfoLog << "You've been disconnected from the game.";
            InfoLog.EndMessage();
            Leave();
            lobbyState = LobbyState::SetUpJoin;
        }
        return;
    }

    if (lobbyState == LobbyState::Hosting)
    {
        if (entry == peers.end())
            return;
        const PeerInfo info = entry->second;
        peers.erase(entry);
        // A client that had not joined yet was never announced and holds no number: it goes
        // without a word and nobody moves down for it.
        if (info.playerNumber > 0)
        {
            BroadcastLeft(info);
            AddLeftMessage(info.name);
            ReshufflePlayers(info.playerNumber);
        }
        connectionLog.Write(InfoLog, "Someone disconnected!");
    }
    else if (lobbyState == LobbyState::Connecting)
    {
        InfoLog << "Attempt to connect to server failed!";
        InfoLog.EndMessage();
        lobbyState = LobbyState::SetUpJoin;
    }
    else if (lobbyState == LobbyState::Joined && role == NetworkRole::Client && entry != peers.end())
    {
        // The page stays until the player leaves it, but says why nothing happens any more.
        AddMessage("Lost the connection to the server.");
        InfoLog << "Lost the connection to the server.";
        InfoLog.EndMessage();
    }
}

Player* NetworkManager::RemotePlayer(int64_t number)
{
    if (level == nullptr || number < 0 || number >= static_cast<int64_t>(level->players.count))
        return nullptr;
    Player& player = level->players[static_cast<uint32_t>(number)];
    if (&player == level->localPlayer || player.departed || player.body == nullptr)
        return nullptr;
    return &player;
}

void NetworkManager::ApplyState(Player& player, const PlayerNetState& state)
{
    player.ApplyNetworkState({state.positionX, state.positionY}, {state.velocityX, state.velocityY}, state.angle,
                             state.angularVelocity);
    player.SetJump(state.jumpHeld != 0);
    player.SetBrake(state.brakeHeld != 0);
    player.rotateInput = state.rotateInput;
    player.fangHeld = state.fangHeld != 0;
}

void NetworkManager::BroadcastLeft(const PeerInfo& info)
{
    // A peer that never sent its join record was never announced and holds no number.
    if (info.playerNumber <= 0)
        return;
    PlayerLeftPacket left;
    CopyText(left.name, info.name);
    left.playerNumber = static_cast<uint32_t>(info.playerNumber);
    BroadcastPacket(left);
}

void NetworkManager::DepartPlayer(int64_t number)
{
    Player* player = RemotePlayer(number);
    if (player == nullptr)
        return;
    player->departed = true;
    if (level->world != nullptr)
        level->world->DestroyBody(player->body);
    player->body = nullptr;
    for (b2Fixture*& fixture : player->circleFixtures)
        fixture = nullptr;
}

int32_t NetworkManager::FreePlayerNumber(ENetPeer* except) const
{
    for (int32_t number = 1;; ++number)
    {
        bool taken = false;
        for (const auto& [peer, info] : peers)
            taken = taken || (peer != except && info.playerNumber == number);
        if (!taken)
            return number;
    }
}

void NetworkManager::TidyLobby()
{
    for (auto entry = peers.begin(); entry != peers.end();)
        entry = entry->second.connected ? std::next(entry) : peers.erase(entry);

    // Departures during a level leave gaps, which the next level would count wrongly.
    std::vector<std::pair<int32_t, ENetPeer*>> joined;
    for (const auto& [peer, info] : peers)
        if (info.playerNumber > 0)
            joined.emplace_back(info.playerNumber, peer);
    std::sort(joined.begin(), joined.end());
    for (size_t i = 0; i < joined.size(); ++i)
    {
        const int32_t number = static_cast<int32_t>(i) + 1;
        if (joined[i].first == number)
            continue;
        peers[joined[i].second].playerNumber = number;
        RenumberPacket record;
        record.newPlayerNumber = static_cast<uint32_t>(number);
        SendPacketToClient(joined[i].second, record);
    }
}

void NetworkManager::AddMessage(std::string line)
{
    if (lobbyLog.Admit(LogRateLimit::Now()))
    {
        InfoLog << "Lobby: " << line;
        InfoLog.EndMessage();
    }
    if (messages.count >= MaxMessages)
        messages.RemoveAt(0);
    messages.PushBack(std::move(line));
}

void NetworkManager::LogDrop(LogChannel& channel, int line, const std::string& text)
{
    dropLog.Write(channel, LogLocation(__FILE__, line) + text);
}

bool NetworkManager::InLevel(int64_t number, const std::string& what)
{
    if (number >= 0 && number < static_cast<int64_t>(level->players.count))
        return true;
    LogDrop(WarningLog, 605, "Dropped " + what + " " + std::to_string(number) + ", who has no player in the level in play.");
    return false;
}

bool NetworkManager::UsableState(const PlayerNetState& state, int64_t number, const std::string& what)
{
    if (state.IsUsable())
        return true;
    LogDrop(WarningLog, 606, "Dropped " + what + " " + std::to_string(number) + " with numbers outside the world.");
    return false;
}

bool NetworkManager::ClientNumber(uint32_t number, const std::string& what)
{
    if (number >= 1 && number <= static_cast<uint32_t>(MaxClients))
        return true;
    LogDrop(WarningLog, 610, "Dropped " + what + " " + std::to_string(number) + ", which no client of a lobby can be.");
    return false;
}
