// The public-address fetch against a small web server of the test's own on loopback, hosting
// reading what it wrote, and the process exiting while a fetch runs.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <enet/enet.h>
#include <gtest/gtest.h>

#include "NetworkManager.h"
#include "PublicAddress.h"
#include "TestFiles.h"

namespace
{
/// Answers one request on 127.0.0.1 with `response` (raw HTTP), or with nothing for as long as
/// the test lasts when `response` is empty. Keeps the request line it received.
class LoopbackWebServer
{
public:
    explicit LoopbackWebServer(std::string responseText) : response(std::move(responseText))
    {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(listener, 1);
        socklen_t length = sizeof(address);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        worker = std::thread([this] { Serve(); });
    }

    ~LoopbackWebServer()
    {
        stop = true;
        shutdown(listener, SHUT_RDWR);
        close(listener);
        worker.join();
    }

    std::string Url(const std::string& path = "/raw") const { return "http://127.0.0.1:" + std::to_string(port) + path; }
    std::string RequestLine() const { return request.substr(0, request.find("\r\n")); }

private:
    void Serve()
    {
        const int connection = accept(listener, nullptr, nullptr);
        if (connection < 0)
            return;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos)
        {
            const ssize_t got = recv(connection, buffer, sizeof(buffer), 0);
            if (got <= 0)
                break;
            request.append(buffer, static_cast<size_t>(got));
        }
        if (!response.empty())
            send(connection, response.data(), response.size(), MSG_NOSIGNAL);
        else
            while (!stop)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        close(connection);
    }

    std::string response;
    int listener = -1;
    uint16_t port = 0;
    std::thread worker;
    std::string request;
    std::atomic<bool> stop{false};
};

/// A web service on 127.0.0.1 that takes every connection and never says a word: a fetch of it
/// waits in its handshake until it gives up.
class SilentWebServer
{
public:
    SilentWebServer()
    {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        // Never accepted: the connections wait in the queue, and their handshakes unanswered.
        listen(listener, 256);
        socklen_t length = sizeof(address);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~SilentWebServer() { close(listener); }

    std::string Url(const std::string& scheme) const { return scheme + "://127.0.0.1:" + std::to_string(port) + "/raw"; }

private:
    int listener = -1;
    uint16_t port = 0;
};

std::string Ok(const std::string& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

TEST(PublicAddress, TheAnswerToRawBecomesTheFileThatHostingReads)
{
    ASSERT_TRUE(PreparePublicAddressFetch());
    LoopbackWebServer service(Ok("203.0.113.7\n"));
    ASSERT_TRUE(FetchPublicAddressTo(service.Url(), PublicAddressFile, 5));
    EXPECT_EQ(service.RequestLine(), "GET /raw HTTP/1.1");
    EXPECT_EQ(ReadFile(PublicAddressFile), "203.0.113.7\n");

    ASSERT_EQ(enet_initialize(), 0);
    NetworkManager host;
    host.port = 0;
    host.StartServer();
    ASSERT_EQ(host.role, NetworkRole::Server);
    EXPECT_EQ(host.publicAddress, "203.0.113.7");

    // Read again at every start of hosting; a line ending of either kind and anything a hostile
    // service slipped in are not shown.
    WriteFile(PublicAddressFile, "198.51.100.2\r\nsecond line\n");
    host.StartServer();
    EXPECT_EQ(host.publicAddress, "198.51.100.2");
    WriteFile(PublicAddressFile, std::string("1.2.3.4\x1b[2J") + std::string(500, '9'));
    host.StartServer();
    EXPECT_EQ(host.publicAddress.substr(0, 12), "1.2.3.4?[2J9");
    EXPECT_LE(host.publicAddress.size(), 64u);
    // Without the file the address stays as it was.
    std::remove(PublicAddressFile);
    host.StartServer();
    EXPECT_EQ(host.publicAddress.substr(0, 7), "1.2.3.4");
    host.Shutdown();
    enet_deinitialize();
}

TEST(PublicAddress, AFailedFetchLeavesTheFileAsItWas)
{
    struct Case
    {
        const char* what;
        std::string response; ///< empty: the service never answers
    };
    ASSERT_TRUE(PreparePublicAddressFetch());
    const Case cases[] = {
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found"},
        {"an answer far too long for an address", Ok(std::string(100000, '7'))},
        {"no answer at all", ""},
        {"a redirection elsewhere", "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:9/raw\r\nContent-Length: 0\r\n\r\n"},
    };
    for (const Case& c : cases)
    {
        WriteFile(PublicAddressFile, "192.0.2.1\n");
        LoopbackWebServer service(c.response);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(FetchPublicAddressTo(service.Url(), PublicAddressFile, 1)) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.what << ": the fetch hung";
        EXPECT_EQ(ReadFile(PublicAddressFile), "192.0.2.1\n") << c.what;
    }
    // Nobody listening, and addresses that are no web address at all.
    for (const char* url : {"http://127.0.0.1:9/raw", "file:///etc/hostname", "not a url"})
    {
        EXPECT_FALSE(FetchPublicAddressTo(url, PublicAddressFile, 1)) << url;
        EXPECT_EQ(ReadFile(PublicAddressFile), "192.0.2.1\n") << url;
    }
}

TEST(PublicAddress, TheServiceComesFromTheEnvironmentWhenSet)
{
    const char* saved = std::getenv("LEDROW_PUBLIC_ADDRESS_URL");
    const std::string kept = saved != nullptr ? saved : "";
    setenv("LEDROW_PUBLIC_ADDRESS_URL", "http://127.0.0.1:9/raw", 1);
    EXPECT_EQ(PublicAddressUrl(), "http://127.0.0.1:9/raw");
    setenv("LEDROW_PUBLIC_ADDRESS_URL", "", 1);
    EXPECT_EQ(PublicAddressUrl(), DefaultPublicAddressUrl);
    // Put back before anything could fetch: nothing in the tests reaches past loopback.
    if (saved != nullptr)
        setenv("LEDROW_PUBLIC_ADDRESS_URL", kept.c_str(), 1);
    else
        unsetenv("LEDROW_PUBLIC_ADDRESS_URL");
}

// The game starts the fetch at start-up and may be closed at once: the exit must never tear the
// transfer and TLS libraries down under the fetch thread. Each exit is a child process that starts
// the fetch as the game does and exits a few milliseconds later, at a different moment of the
// fetch's set-up, connection or TLS handshake each time.
TEST(PublicAddress, AnExitAtAnyMomentOfAFetchEndsThePlainWay)
{
    const SilentWebServer service;
    for (const char* scheme : {"https", "http"})
    {
        for (int moment = 0; moment < 24; ++moment)
        {
            std::fflush(nullptr); // the child's exit would write out a copy of what is buffered here
            const pid_t child = fork();
            if (child == 0)
            {
                setenv("LEDROW_PUBLIC_ADDRESS_URL", service.Url(scheme).c_str(), 1);
                PreparePublicAddressFetch();
                std::thread(FetchPublicAddress).detach();
                std::this_thread::sleep_for(std::chrono::milliseconds(moment % 12 * 2));
                std::exit(3);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3)
                << scheme << " exit " << moment << ": "
                << (WIFSIGNALED(status) ? strsignal(WTERMSIG(status)) : "status " + std::to_string(WEXITSTATUS(status)));
        }
    }
    // Each exit woke its fetch, rather than ending the process for want of it stopping.
    EXPECT_EQ(ReadFile("Warning_log.txt").find("did not stop"), std::string::npos);
}
