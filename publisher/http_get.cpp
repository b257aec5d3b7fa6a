// One GET as the installer makes it, through libcurl: HTTP/1.0, its user agent, no redirects, bounded waits.
#include "publisher/http_get.h"

#include <stdexcept>

#include "engine/list/wire_rules.h"
#include "publisher/crypto.h"


namespace {

struct Transfer {
    HttpAnswer* answer;
    Sha256Stream* digest;
    bool keepBody;
    long long maxBody;
    std::atomic<long long>* bytesSeen;
};

size_t OnBody(char* data, size_t size, size_t count, void* context)
{
    Transfer& transfer = *static_cast<Transfer*>(context);
    const size_t bytes = size * count;
    HttpAnswer& answer = *transfer.answer;
    if (transfer.maxBody >= 0 && answer.nReceived + static_cast<long long>(bytes) > transfer.maxBody) {
        answer.bTooLarge = true;
        return 0;   // ends the transfer
    }
    answer.nReceived += static_cast<long long>(bytes);
    transfer.digest->Update(data, bytes);
    if (transfer.keepBody)
        answer.body.append(data, bytes);
    if (transfer.bytesSeen)
        *transfer.bytesSeen += static_cast<long long>(bytes);
    return bytes;
}

}  // namespace

HttpGetter::HttpGetter(long ioSeconds, std::atomic<long long>* bytesSeen)
    : m_curl(curl_easy_init()), m_ioSeconds(ioSeconds), m_bytesSeen(bytesSeen)
{
    if (!m_curl)
        throw std::runtime_error("libcurl could not start");
    // The installer's requests carry Host and User-Agent only.
    m_headers.reset(curl_slist_append(nullptr, "Accept:"));
}

HttpAnswer HttpGetter::Get(const std::string& url, bool keepBody, long long maxBody)
{
    HttpAnswer answer;
    Sha256Stream digest;
    Transfer transfer{&answer, &digest, keepBody, maxBody, m_bytesSeen};
    CURL* curl = m_curl.get();
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, m_headers.get());
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(kConnectTimeoutMs * kConnectTries));
    // Less than one byte a second for the whole time-out: the installer's read would have timed out.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, m_ioSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.nStatus);
    answer.bAnswered = answer.nStatus != 0;
    curl_off_t length = -1;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
        answer.nContentLength = length;
    if (code != CURLE_OK && !answer.bTooLarge)
        answer.strError = errorText[0] ? errorText : curl_easy_strerror(code);
    answer.digest = digest.Final();
    return answer;
}

bool SplitUrl(const std::string& url, std::string& origin, std::string& object)
{
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos || scheme == 0)
        return false;
    const size_t path = url.find('/', scheme + 3);
    if (path == std::string::npos || path == scheme + 3)
        return false;
    origin = url.substr(0, path);
    object = url.substr(path);
    return true;
}
