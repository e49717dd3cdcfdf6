// The lobby window of the network manager: one page per lobby state, drawn on the level-select
// screen. The protocol it drives is in NetworkManager.cpp.
#include "NetworkManager.h"

#include <algorithm>
#include <cstring>

#include <imgui.h>

void NetworkManager::DrawLobby()
{
    // First shown beside the level list rather than over it, and tall enough for the host's page;
    // the player may move and size it from there, and the library remembers where.
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(std::max(display.x * 0.5f, 60.0f), 60.0f), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(720.0f, 640.0f), ImGuiCond_FirstUseEver);
    ImGui::Begin("Multiplayer...?");
    switch (lobbyState)
    {
    case LobbyState::ChooseRole:
    {
        ImGui::TextUnformatted("Who are you?");
        ImGui::InputTextWithHint("##nameEntry", "<your name>", playerNameEntry, sizeof(playerNameEntry));
        const bool unnamed = playerNameEntry[0] == '\0';
        ImGui::BeginDisabled(unnamed);
        if (ImGui::Button("Start server"))
            lobbyState = LobbyState::SetUpServer;
        if (ImGui::Button("Join server"))
            lobbyState = LobbyState::SetUpJoin;
        ImGui::EndDisabled();
        break;
    }
    case LobbyState::SetUpServer:
        ImGui::TextUnformatted("Lobby name:");
        ImGui::InputTextWithHint("##lobbyName", "<name your game>", lobbyNameEntry, sizeof(lobbyNameEntry));
        if (ImGui::Button("Create server!"))
        {
            StartServer();
            // A lobby that nobody could join is no lobby: the page stays, says why, and the
            // button can be tried again.
            if (role == NetworkRole::Server)
                lobbyState = LobbyState::Hosting;
        }
        if (!serverFailure.empty())
            ImGui::TextWrapped("%s", serverFailure.c_str());
        if (ImGui::Button("Back"))
        {
            lobbyState = LobbyState::ChooseRole;
            std::memset(lobbyNameEntry, 0, sizeof(lobbyNameEntry));
            serverFailure.clear();
        }
        break;
    case LobbyState::SetUpJoin:
        ImGui::TextUnformatted("Server address:");
        ImGui::InputTextWithHint("##ipEntry", "<enter server IP>", serverAddressEntry, sizeof(serverAddressEntry));
        if (ImGui::Button("Join game!"))
        {
            // Only an attempt that is under way is worth waiting for.
            if (Join(serverAddressEntry))
                lobbyState = LobbyState::Connecting;
        }
        if (ImGui::Button("Back"))
        {
            lobbyState = LobbyState::SetUpServer;
            std::memset(serverAddressEntry, 0, sizeof(serverAddressEntry));
        }
        break;
    case LobbyState::Hosting:
        ImGui::TextUnformatted("Public IP detected as:");
        ImGui::TextUnformatted(publicAddress.c_str());
        DrawMessageArea();
        DrawChatEntry();
        ImGui::Separator();
        if (ImGui::Button("Close server"))
        {
            CloseServer();
            lobbyState = LobbyState::SetUpServer;
        }
        break;
    case LobbyState::Connecting:
        ImGui::TextUnformatted("Waiting for response from server...");
        break;
    case LobbyState::Joined:
        ImGui::TextUnformatted("In game...");
        DrawMessageArea();
        DrawChatEntry();
        if (ImGui::Button("Leave game"))
        {
            Leave();
            lobbyState = LobbyState::SetUpJoin;
        }
        break;
    default:
        break;
    }
    ImGui::End();
}

void NetworkManager::DrawMessageArea()
{
    ImGui::BeginChild("MessageArea", ImVec2(ImGui::GetContentRegionAvail().x, 260.0f), false,
                      ImGuiWindowFlags_AlwaysVerticalScrollbar);
    // Peers' texts are shown as they are, never read as a format.
    for (const std::string& line : messages)
        ImGui::TextWrapped("%s", line.c_str());
    ImGui::EndChild();
}

void NetworkManager::DrawChatEntry()
{
    // The field first: in a frame in which Enter sent the line, the button is not drawn.
    const bool entered = ImGui::InputText("##messageInput", messageEntry, sizeof(messageEntry),
                                          ImGuiInputTextFlags_EnterReturnsTrue);
    if (entered)
        ImGui::SetKeyboardFocusHere(-1); // keep typing the next line without clicking again
    if (entered || ImGui::Button("Send message"))
    {
        SendChat(messageEntry);
        std::memset(messageEntry, 0, sizeof(messageEntry));
    }
}
