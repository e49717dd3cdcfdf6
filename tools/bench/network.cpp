// Figures for shared play: a host and 1 to 7 clients in this process on 127.0.0.1 play a shipped
// level for 600 frames at 60 frames a second, each machine with its own level and network
// manager. Prints the processor time of one `NetworkManager::Update` on the host and on a client
// (median and 99th percentile over all frames), and the bytes that the host sends each client and
// each client sends the host, per second.
//
// usage: ledrow_bench_network [--unpaced] [LEVEL_FILE]
//   --unpaced  runs the frames back to back instead of at 60 a second (the byte rates then count
//              fewer of the library's time-driven pings)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <enet/enet.h>

#include "Camera.h"
#include "Level.h"
#include "NetworkManager.h"
#include "PhysicsStep.h"

namespace
{
constexpr int Frames = 600;
constexpr double FrameSeconds = 1.0 / 60.0;

double ThreadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())))];
}

std::string FirstShippedLevel()
{
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(LEDROW_DATA_DIR "/Data/Levels", error))
        if (entry.path().extension() == ".lrl")
            found.push_back(entry.path().string());
    std::sort(found.begin(), found.end());
    return found.empty() ? std::string() : found.front();
}

struct Machine
{
    NetworkManager network;
    std::unique_ptr<Level> level;
    std::vector<double> updateMs;
};

struct Figures
{
    double hostMedian, hostP99, clientMedian, clientP99, hostBytesPerClient, clientBytes;
};

bool Figure(int clientCount, const std::string& levelPath, bool paced, Camera& camera, Figures& figures)
{
    Machine host;
    std::snprintf(host.network.playerNameEntry, sizeof(host.network.playerNameEntry), "Host");
    host.network.port = 0;
    host.network.StartServer();
    host.network.lobbyState = LobbyState::Hosting;
    if (host.network.host == nullptr)
        return false;
    std::vector<std::unique_ptr<Machine>> clients;
    for (int i = 0; i < clientCount; ++i)
    {
        auto client = std::make_unique<Machine>();
        std::snprintf(client->network.playerNameEntry, sizeof(client->network.playerNameEntry), "Client %d", i + 1);
        client->network.port = host.network.host->address.port;
        client->network.Join("127.0.0.1");
        client->network.lobbyState = LobbyState::Connecting;
        clients.push_back(std::move(client));
    }
    auto everyone = [&](auto each) {
        each(host);
        for (auto& client : clients)
            each(*client);
    };

    // The lobby fills, then the host starts the level for all.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto allJoined = [&] {
        for (auto& client : clients)
            if (client->network.ownPlayerNumber <= 0)
                return false;
        return true;
    };
    while (!allJoined() && std::chrono::steady_clock::now() < deadline)
    {
        everyone([](Machine& machine) { machine.network.Update(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::string levelName = levelPath.empty() ? std::string("Empty.lrl") : std::filesystem::path(levelPath).filename().string();
    if (!allJoined() || !host.network.AnnounceLevelStart(levelName))
        return false;
    auto startOwn = [&](Machine& machine, int32_t count, uint32_t index) {
        machine.level = std::make_unique<Level>(&camera);
        if (!levelPath.empty())
            machine.level->ReadFromFile(levelPath);
        machine.level->Start(count, index);
        machine.network.level = machine.level.get();
    };
    startOwn(host, host.network.GetPlayerCount(), 0);
    size_t started = 0;
    while (started < clients.size() && std::chrono::steady_clock::now() < deadline)
    {
        for (auto& client : clients)
        {
            const ClientResponseAction action = client->network.Update();
            if (action.type == ClientResponseType::StartGame)
            {
                startOwn(*client, action.playerCount, static_cast<uint32_t>(client->network.ownPlayerNumber));
                ++started;
            }
        }
        host.network.Update();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (started < clients.size())
        return false;

    const enet_uint32 hostSentBefore = host.network.host->totalSentData;
    std::vector<enet_uint32> clientSentBefore;
    for (auto& client : clients)
        clientSentBefore.push_back(client->network.host->totalSentData);

    const auto begin = std::chrono::steady_clock::now();
    for (int frame = 0; frame < Frames; ++frame)
    {
        everyone([&](Machine& machine) {
            const double before = ThreadCpuMilliseconds();
            machine.network.Update();
            machine.updateMs.push_back(ThreadCpuMilliseconds() - before);
            machine.level->Update(PhysicsStep::ScaledStep(PhysicsStep::DefaultFrameStep), nullptr);
            // Something to tell the others: the inputs change every half second.
            Player& own = *machine.level->localPlayer;
            own.rotateInput = (frame / 30) % 2 == 0 ? 1.0f : -1.0f;
            own.brakeHeld = (frame / 45) % 2 == 0;
        });
        if (paced)
            std::this_thread::sleep_until(begin + std::chrono::duration<double>(FrameSeconds * (frame + 1)));
    }
    const double seconds = paced ? std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count()
                                 : Frames * FrameSeconds;

    std::vector<double> clientUpdates;
    double clientBytes = 0.0;
    for (size_t i = 0; i < clients.size(); ++i)
    {
        clientUpdates.insert(clientUpdates.end(), clients[i]->updateMs.begin(), clients[i]->updateMs.end());
        clientBytes += static_cast<double>(clients[i]->network.host->totalSentData - clientSentBefore[i]);
    }
    figures.hostMedian = Percentile(host.updateMs, 0.5);
    figures.hostP99 = Percentile(host.updateMs, 0.99);
    figures.clientMedian = Percentile(clientUpdates, 0.5);
    figures.clientP99 = Percentile(clientUpdates, 0.99);
    figures.hostBytesPerClient = static_cast<double>(host.network.host->totalSentData - hostSentBefore) / seconds / clientCount;
    figures.clientBytes = clientBytes / seconds / clientCount;

    everyone([](Machine& machine) { machine.network.level = nullptr; });
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    bool paced = true;
    std::string levelPath;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--unpaced") == 0)
            paced = false;
        else
            levelPath = argv[i];
    }
    if (levelPath.empty())
        levelPath = FirstShippedLevel();
    if (enet_initialize() != 0)
    {
        std::printf("ENet did not initialise.\n");
        return 1;
    }
    std::printf("Shared play on 127.0.0.1, %d frames %s, level %s\n", Frames, paced ? "at 60 a second" : "back to back",
                levelPath.empty() ? "(none shipped: an empty level)" : levelPath.c_str());
    std::printf("processor time of one NetworkManager::Update, milliseconds; bytes sent per second per peer\n\n");
    std::printf("clients   host median     p99   client median     p99   host->each client   each client->host\n");
    Camera camera;
    for (int clients = 1; clients <= 7; ++clients)
    {
        Figures figures{};
        if (!Figure(clients, levelPath, paced, camera, figures))
        {
            std::printf("%7d   the lobby did not fill or start\n", clients);
            continue;
        }
        std::printf("%7d   %11.4f %7.4f   %13.4f %7.4f   %17.0f   %17.0f\n", clients, figures.hostMedian, figures.hostP99,
                    figures.clientMedian, figures.clientP99, figures.hostBytesPerClient, figures.clientBytes);
    }
    enet_deinitialize();
    return 0;
}
