// The lobby window driven in a user-interface context without a window or GPU: the mouse is moved
// onto the window's buttons and fields, which are found by hovering, and keys and characters go
// in as the window library's back-end would feed them.
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <enet/enet.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include "HeadlessInterface.h"
#include "LogWatch.h"
#include "LoopbackLobby.h"
#include "TypedKeyOnTerminal.h"

using namespace net_testing;

namespace
{
constexpr int EnterKey = 13;

/// A host of the library's own on a free port of every address, as another program (a second
/// copy of the game, say) that holds the game's port.
struct HeldPort
{
    ENetHost* host = nullptr;
    uint16_t port = 0; ///< 0 when no port could be held

    HeldPort()
    {
        ENetAddress any{};
        host = enet_host_create(&any, 1, 1, 0, 0);
        port = host != nullptr ? host->address.port : 0;
    }
    ~HeldPort() { Release(); }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;

    void Release()
    {
        if (host != nullptr)
            enet_host_destroy(host);
        host = nullptr;
    }
};

class LobbyWindow : public LoopbackLobby
{
protected:
    NetworkManager lobby; ///< the manager whose window is driven
    std::optional<HeadlessInterface> userInterface;
    std::string shown; ///< every text and label that the window drew in the last frame

    void SetUp() override
    {
        LoopbackLobby::SetUp();
        userInterface.emplace(ImVec2(1280.0f, 800.0f));
        ImGuiIO& io = ImGui::GetIO();
        io.KeyMap[ImGuiKey_Enter] = EnterKey;
        io.ClipboardUserData = &shown;
        io.SetClipboardTextFn = [](void* into, const char* text) { *static_cast<std::string*>(into) = text; };
        lobby.port = 0;
        Frames(3); // the window fits its contents
    }

    void TearDown() override
    {
        lobby.Shutdown();
        userInterface.reset();
        LoopbackLobby::TearDown();
    }

    /// One user-interface frame with the lobby window, after a frame of the network.
    void Frame()
    {
        lobby.Update();
        LoopbackLobby::Frame();
        ImGui::NewFrame();
        // The library logs a window's texts until the window ends, then hands them over as the
        // clipboard's text.
        shown.clear();
        ImGui::LogToClipboard();
        lobby.DrawLobby();
        ImGui::Render();
    }

    bool Shows(const std::string& text) const { return shown.find(text) != std::string::npos; }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            Frame();
    }

    /// Where the item `label` of the lobby window is, found by moving the mouse down the window
    /// until the library reports it hovered. Fails the test when no such item is drawn.
    ImVec2 Find(const char* label)
    {
        ImGuiWindow* window = ImGui::FindWindowByName("Multiplayer...?");
        EXPECT_NE(window, nullptr);
        if (window == nullptr)
            return ImVec2(-1.0f, -1.0f);
        const ImGuiID id = ImHashStr(label, 0, window->ID);
        // Off the window first: an item that a click left under the mouse would still count as
        // hovered in the first frame of the search, wherever it starts.
        ImGui::GetIO().MousePos = ImVec2(window->Pos.x - 100.0f, window->Pos.y - 100.0f);
        Frames(2);
        for (float y = window->Pos.y; y < window->Pos.y + window->Size.y; y += 3.0f)
        {
            const ImVec2 at(window->Pos.x + 14.0f, y);
            ImGui::GetIO().MousePos = at;
            Frame();
            if (GImGui->HoveredIdPreviousFrame == id || GImGui->HoveredId == id)
                return at;
        }
        ADD_FAILURE() << "\"" << label << "\" is not drawn on page " << static_cast<uint32_t>(lobby.lobbyState);
        return ImVec2(-1.0f, -1.0f);
    }

    /// Presses and releases the left button at `at`.
    void ClickAt(ImVec2 at)
    {
        ImGuiIO& io = ImGui::GetIO();
        io.MousePos = at;
        Frame();
        io.MouseDown[0] = true;
        Frame();
        io.MouseDown[0] = false;
        Frame();
    }

    void Click(const char* label) { ClickAt(Find(label)); }

    void Type(const std::string& text)
    {
        for (char c : text)
            ImGui::GetIO().AddInputCharacter(static_cast<unsigned char>(c));
        Frame();
    }
};
} // namespace

TEST_F(LobbyWindow, HostingAndJoiningNeedANameOfOneCharacterOrMore)
{
    CopyText(lobby.playerNameEntry, "x");
    Frames(2);
    const ImVec2 start = Find("Start server");
    const ImVec2 join = Find("Join server");
    const ImVec2 name = Find("##nameEntry");

    lobby.playerNameEntry[0] = '\0';
    Frames(2);
    ClickAt(start);
    EXPECT_EQ(lobby.lobbyState, LobbyState::ChooseRole) << "hosting is disabled without a name";
    ClickAt(join);
    EXPECT_EQ(lobby.lobbyState, LobbyState::ChooseRole) << "joining is disabled without a name";

    ClickAt(name);
    Type(std::string(70, 'n'));
    EXPECT_EQ(std::strlen(lobby.playerNameEntry), 63u) << "a name holds at most 63 characters";
    ClickAt(start);
    EXPECT_EQ(lobby.lobbyState, LobbyState::SetUpServer);
}

TEST_F(LobbyWindow, BackButtonsLeadToTheirPagesAndEmptyTheirFields)
{
    CopyText(lobby.playerNameEntry, "Hana");
    Frames(2);
    Click("Join server");
    ASSERT_EQ(lobby.lobbyState, LobbyState::SetUpJoin);
    Click("##ipEntry");
    Type("127.000.000.001.12345");
    EXPECT_STREQ(lobby.serverAddressEntry, "127.000.000.001.123") << "an address holds at most 19 characters";
    Click("Back");
    EXPECT_EQ(lobby.lobbyState, LobbyState::SetUpServer) << "back from joining leads to the server set-up";
    EXPECT_STREQ(lobby.serverAddressEntry, "");

    Click("##lobbyName");
    Type("Den");
    EXPECT_STREQ(lobby.lobbyNameEntry, "Den");
    Click("Back");
    EXPECT_EQ(lobby.lobbyState, LobbyState::ChooseRole);
    EXPECT_STREQ(lobby.lobbyNameEntry, "");
    EXPECT_STREQ(lobby.playerNameEntry, "Hana") << "the name stays";
}

TEST_F(LobbyWindow, HostingChatsThroughTheFieldAndClosesTheServer)
{
    CopyText(lobby.playerNameEntry, "Hana");
    CopyText(lobby.lobbyNameEntry, "Den");
    lobby.lobbyState = LobbyState::SetUpServer;
    Frames(2);
    Click("Create server!");
    ASSERT_EQ(lobby.lobbyState, LobbyState::Hosting);
    ASSERT_EQ(lobby.role, NetworkRole::Server);

    // Enter sends the line and empties the field in the same frame; typing goes on without a click.
    Click("##messageInput");
    Type("hello");
    ImGuiIO& io = ImGui::GetIO();
    io.KeysDown[EnterKey] = true;
    Frame();
    EXPECT_EQ(Lines(lobby).back(), "Hana: hello");
    EXPECT_STREQ(lobby.messageEntry, "");
    io.KeysDown[EnterKey] = false;
    Frames(2);
    Type("again");
    EXPECT_STREQ(lobby.messageEntry, "again");
    Click("Send message");
    EXPECT_EQ(Lines(lobby).back(), "Hana: again");
    EXPECT_STREQ(lobby.messageEntry, "");
    Click("##messageInput");
    Type(std::string(300, 'c'));
    EXPECT_EQ(std::strlen(lobby.messageEntry), 255u) << "a chat line holds at most 255 characters";

    // A peer's line is shown as text, never read as a format.
    lobby.AddChatMessage("Mallory", "%s%s%s%n%n");
    Frames(2);

    Click("Close server");
    EXPECT_EQ(lobby.lobbyState, LobbyState::SetUpServer);
    EXPECT_EQ(lobby.role, NetworkRole::None);
    EXPECT_EQ(lobby.host, nullptr);
}

TEST_F(LobbyWindow, AServerThatCouldNotBeCreatedKeepsTheSetUpPageToTryAgain)
{
    HeldPort held;
    ASSERT_NE(held.port, 0);
    lobby.port = held.port;
    CopyText(lobby.playerNameEntry, "Hana");
    CopyText(lobby.lobbyNameEntry, "Den");
    lobby.lobbyState = LobbyState::SetUpServer;
    Frames(2);
    // The one line that waits for a key takes one of these, and only one.
    const std::string keys = "kkkk\n";
    TypedKeyOnTerminal console(keys);
    ASSERT_TRUE(console.Ready());
    const LogWatch errors(ErrorLog);
    const LogWatch warnings(WarningLog);

    Click("Create server!");
    EXPECT_EQ(lobby.lobbyState, LobbyState::SetUpServer);
    EXPECT_EQ(lobby.role, NetworkRole::None);
    EXPECT_EQ(errors.Lines(), std::vector<std::string>{"[NetworkManager.cpp:147]Failed to create server."});
    ASSERT_EQ(warnings.Lines().size(), 1u);
    const std::string why = "The server could not open UDP port " + std::to_string(held.port) + ": ";
    EXPECT_NE(warnings.Lines()[0].find(why), std::string::npos) << warnings.Lines()[0];
    EXPECT_TRUE(Shows(why)) << shown;

    // Leaving the page forgets the line.
    Click("Back");
    Click("Start server");
    ASSERT_EQ(lobby.lobbyState, LobbyState::SetUpServer);
    Frame();
    EXPECT_TRUE(Shows("Create server!")) << shown;
    EXPECT_FALSE(Shows(why)) << shown;

    // Once the other program lets the port go, the same button hosts on it.
    held.Release();
    Click("Create server!");
    ASSERT_EQ(lobby.lobbyState, LobbyState::Hosting);
    ASSERT_EQ(lobby.role, NetworkRole::Server);
    EXPECT_EQ(lobby.host->address.port, lobby.port);
    Frame();
    EXPECT_TRUE(Shows("Public IP detected as:")) << shown;
    EXPECT_FALSE(Shows(why)) << shown;
    EXPECT_EQ(errors.Lines().size(), 1u);
    EXPECT_EQ(console.Unread(), keys.substr(1));
}

TEST_F(LobbyWindow, JoiningWaitsForTheHostThenLeaves)
{
    Host();
    CopyText(lobby.playerNameEntry, "Ada");
    lobby.lobbyState = LobbyState::SetUpJoin;
    lobby.port = server.host->address.port;
    Frames(2);
    Click("##ipEntry");
    Type("127.0.0.1");
    Click("Join game!");
    EXPECT_TRUE(lobby.lobbyState == LobbyState::Connecting || lobby.lobbyState == LobbyState::Joined);
    ASSERT_TRUE(Pump([&] {
        Frame();
        return lobby.ownPlayerNumber == 1;
    }));
    EXPECT_EQ(lobby.lobbyState, LobbyState::Joined);
    EXPECT_EQ(Lines(lobby).back(), "Welcome to Den, Ada. You are player 1.");

    Click("Leave game");
    EXPECT_EQ(lobby.lobbyState, LobbyState::SetUpJoin);
    EXPECT_EQ(lobby.role, NetworkRole::None);
    ASSERT_TRUE(Pump([&] {
        Frame();
        return server.peers.empty();
    }));
    EXPECT_EQ(Lines(server).back(), "Ada has left the server.");
}
