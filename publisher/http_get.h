// One GET as the installer makes it, through libcurl: HTTP/1.0, its user agent, no redirects, bounded waits.
#pragma once

#include <atomic>
#include <string>

#include "engine/list/sha256_digest.h"
#include "publisher/owners.h"

struct HttpAnswer {
    bool bAnswered = false;        // a status line came back
    std::string strError;          // why not, or why the body ended early
    long nStatus = 0;
    long long nContentLength = -1; // -1: no Content-Length header
    long long nReceived = 0;       // body bytes that came
    bool bTooLarge = false;        // the body went past the limit and was abandoned
    std::string body;              // kept only when asked for
    Sha256Digest digest{};         // of the body's bytes that came
};

class HttpGetter {
public:
    // A connect waits as long as the installer's tries; an answer that sends nothing for ioSeconds is abandoned.
    HttpGetter(long ioSeconds, std::atomic<long long>* bytesSeen);

    // keepBody: the answer holds the body, which may be at most maxBody bytes.
    HttpAnswer Get(const std::string& url, bool keepBody, long long maxBody = -1);

private:
    unique_curl m_curl;
    unique_curl_slist m_headers;
    long m_ioSeconds;
    std::atomic<long long>* m_bytesSeen;
};

// "scheme://host[:port]" and the object path ("/..."): false for an address without both.
bool SplitUrl(const std::string& url, std::string& origin, std::string& object);
