#include "PublicAddress.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <curl/curl.h>

namespace
{
// An address is a few dozen bytes; a longer answer is not one, and reading it all would let the
// service fill memory.
constexpr size_t MaxAnswerBytes = 256;
constexpr long ConnectTimeoutSeconds = 5;
constexpr long FetchTimeoutSeconds = 10;

size_t CollectAnswer(char* bytes, size_t size, size_t count, void* answer)
{
    std::string& text = *static_cast<std::string*>(answer);
    const size_t length = size * count;
    if (text.size() + length > MaxAnswerBytes)
        return 0; // stops the transfer with an error
    text.append(bytes, length);
    return length;
}
} // namespace

std::string PublicAddressUrl()
{
    const char* configured = std::getenv("LEDROW_PUBLIC_ADDRESS_URL");
    return configured != nullptr && configured[0] != '\0' ? configured : DefaultPublicAddressUrl;
}

void FetchPublicAddress()
{
    FetchPublicAddressTo(PublicAddressUrl(), PublicAddressFile, FetchTimeoutSeconds);
}

bool FetchPublicAddressTo(const std::string& url, const std::string& path, long timeoutSeconds)
{
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
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, std::min(ConnectTimeoutSeconds, timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectAnswer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    // Only an answer is an address: a redirection or an empty reply would wipe a good one.
    if (result != CURLE_OK || status != 200 || answer.empty())
        return false;

    // Written aside and renamed over the file, so that hosting never reads half an answer.
    const std::string partial = path + ".part";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file.write(answer.data(), static_cast<std::streamsize>(answer.size()));
        if (!file.good())
            return false;
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0)
    {
        std::remove(partial.c_str());
        return false;
    }
    return true;
}
