#include "PublicAddress.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include <curl/curl.h>
#include <dlfcn.h>

#include "LogChannel.h"
#include "Utilities.h"

namespace
{
// An address is a few dozen bytes; a longer answer is not one, and reading it all would let the
// service fill memory.
constexpr size_t MaxAnswerBytes = 256;
constexpr long ConnectTimeoutSeconds = 5;
constexpr long FetchTimeoutSeconds = 10;
// Longest that a transfer waits for its sockets between two looks at whether the process is
// exiting; an exit's wake-up ends the wait at once.
constexpr int PollMilliseconds = 1000;
// Longest that an exit waits for a fetch to leave the transfer library. It leaves within a few
// milliseconds of being woken; this only bounds an exit should it not.
constexpr auto ExitWait = std::chrono::seconds(2);

// What an exit and the fetches share. Made once on the main thread and never freed, so that no
// static destructor can take it from a fetch that is still running when the process exits.
struct FetchGate
{
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;             // fetches between their start and their end
    bool exiting = false;        // no fetch starts any more, and those under way stop
    std::vector<CURLM*> waiting; // the transfers of the running fetches, to wake them
};
FetchGate* gate = nullptr;

size_t CollectAnswer(char* bytes, size_t size, size_t count, void* answer)
{
    std::string& text = *static_cast<std::string*>(answer);
    const size_t length = size * count;
    if (text.size() + length > MaxAnswerBytes)
        return 0; // stops the transfer with an error
    text.append(bytes, length);
    return length;
}

// Runs on the main thread at exit, before the static destructors and the TLS library's own exit
// handler, which were registered earlier and so run later: every fetch under way is woken and
// leaves the transfer library before anything it uses is torn down.
void StopFetchesAtExit(int status)
{
    std::unique_lock<std::mutex> lock(gate->mutex);
    gate->exiting = true;
    for (CURLM* transfer : gate->waiting)
        curl_multi_wakeup(transfer);
    if (gate->idle.wait_for(lock, ExitWait, [] { return gate->running == 0; }))
        return;
    // Tearing the libraries down under the fetch would crash it: the process ends here instead,
    // with the status it was given. Every log line is on disk already.
    WarningLog << LogLocation(__FILE__, 65) << "The public-address fetch did not stop; the process ends without tidying up.";
    WarningLog.EndMessage();
    std::fflush(nullptr);
    std::_Exit(status);
}

/// Counts a fetch as running for as long as it lives, unless the process is exiting already.
class RunningFetch
{
public:
    RunningFetch()
    {
        if (gate == nullptr)
            return;
        std::lock_guard<std::mutex> lock(gate->mutex);
        admitted = !gate->exiting;
        if (admitted)
            ++gate->running;
    }
    ~RunningFetch()
    {
        if (!admitted)
            return;
        std::lock_guard<std::mutex> lock(gate->mutex);
        --gate->running;
        gate->idle.notify_all();
    }
    RunningFetch(const RunningFetch&) = delete;
    RunningFetch& operator=(const RunningFetch&) = delete;

    /// False when the transfer library was never set up or the process is exiting.
    bool Admitted() const { return admitted; }
    static bool Exiting()
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        return gate->exiting;
    }

private:
    bool admitted = false;
};

// The TLS library keeps state for each thread that used it and frees it as the thread ends, which
// would be while an exit tears the library down. Freed here instead, on the fetch's own thread,
// before the exit hears that the fetch is over. Looked up rather than linked: the TLS library is
// whichever the transfer library was built with, and one without this call keeps nothing.
void EndTlsUseOnThisThread()
{
    using ThreadStop = void (*)();
    static const auto stop = reinterpret_cast<ThreadStop>(dlsym(RTLD_DEFAULT, "OPENSSL_thread_stop"));
    if (stop != nullptr)
        stop();
}

// Runs one transfer, woken by an exit; CURLE_ABORTED_BY_CALLBACK when the exit stopped it.
CURLcode Transfer(CURL* easy)
{
    CURLM* transfer = curl_multi_init();
    if (transfer == nullptr)
        return CURLE_OUT_OF_MEMORY;
    curl_multi_add_handle(transfer, easy);
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->waiting.push_back(transfer);
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (;;)
    {
        if (RunningFetch::Exiting())
            break;
        int active = 0;
        if (curl_multi_perform(transfer, &active) != CURLM_OK)
        {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (active == 0)
        {
            int left = 0;
            const CURLMsg* message = curl_multi_info_read(transfer, &left);
            result = message != nullptr && message->msg == CURLMSG_DONE ? message->data.result : CURLE_FAILED_INIT;
            break;
        }
        if (curl_multi_poll(transfer, nullptr, 0, PollMilliseconds, nullptr) != CURLM_OK)
        {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->waiting.erase(std::find(gate->waiting.begin(), gate->waiting.end(), transfer));
    }
    curl_multi_remove_handle(transfer, easy);
    curl_multi_cleanup(transfer);
    return result;
}
} // namespace

std::string PublicAddressUrl()
{
    const char* configured = std::getenv("LEDROW_PUBLIC_ADDRESS_URL");
    return configured != nullptr && configured[0] != '\0' ? configured : DefaultPublicAddressUrl;
}

bool PreparePublicAddressFetch()
{
    if (gate != nullptr)
        return true;
    // The library's set-up is not safe beside any other use of it: here, before any fetch.
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return false;
    gate = new FetchGate;
    // Registered after the set-up, so that it runs before the exit handler that the TLS library
    // registered during it. The library itself is never cleaned up: a fetch may still run.
#if defined(__GLIBC__)
    on_exit([](int status, void*) { StopFetchesAtExit(status); }, nullptr);
#else
    std::atexit([] { StopFetchesAtExit(EXIT_FAILURE); });
#endif
    return true;
}

void FetchPublicAddress()
{
    FetchPublicAddressTo(PublicAddressUrl(), PublicAddressFile, FetchTimeoutSeconds);
}

bool FetchPublicAddressTo(const std::string& url, const std::string& path, long timeoutSeconds)
{
    const RunningFetch running;
    if (!running.Admitted())
        return false;
    CURL* curl = curl_easy_init();
    if (curl == nullptr)
        return false;
    std::string answer;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    // No signals: this runs on a thread of its own, and a name lookup must not raise SIGALRM in
    // the game's main thread.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // A name lookup still under way when an exit stops the fetch is left to end by itself rather
    // than waited for.
    curl_easy_setopt(curl, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, std::min(ConnectTimeoutSeconds, timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectAnswer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    const CURLcode result = Transfer(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    EndTlsUseOnThisThread();
    // Only an answer is an address: a redirection or an empty reply would wipe a good one.
    if (result != CURLE_OK || status != 200 || answer.empty())
        return false;

    // Replaced whole, so that hosting never reads half an answer.
    return ReplaceFileWhole(path, {answer});
}
