// Downloads that run ahead of the walk: up to N requests in flight, each into its own temporary file.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/critical_section.h"
#include "platform/handles.h"

class IInstallHost;

// Who does what. The walk adds the downloads of the lines ahead (at most N not yet taken, so the disk
// never holds more than N unplaced files) and takes them back one by one in the order added, then places
// each file itself. The queue's N fetcher threads run the added downloads in that order, each download
// with all its calls; none starts while the install is paused or after a stop. Two downloads of one file
// (the same key) never run at once: the later waits until the earlier is taken back and placed, since
// both write one temporary file. When the queue goes it cancels what is still in flight (fetchers look
// at the flag between reads and between calls), waits for its fetchers and discards every download the
// walk did not take back: no fetcher outlives it.
class CDownloadQueue {
public:
    enum class Result {
        Ok,           // the temporary file holds the whole file
        Failed,       // its calls are used up
        ServerLost,   // no call reached the server, or one send took the whole time-out
        Abandoned,    // a stop or the queue's end came first
        Kept,         // the file in place is already the signed one: nothing was fetched
    };
    struct Fetched {
        Result result = Result::Failed;
        DWORD sendError = 0;   // the last failed send's error, 0 when every call was answered
    };
    // Fetches one request path (of manifest line `entry`) into its temporary file with the fetcher's
    // own buffer, making every call the file gets; on failure it leaves no temporary file. It ends
    // soon after cancelled is set. Runs on a fetcher thread.
    using FetchFn = std::function<Fetched(const std::string& requestPath, size_t entry, std::vector<char>& buffer,
                                          const std::atomic<bool>& cancelled)>;
    // Removes the temporary file of a fetched download that the walk did not take back.
    using DiscardFn = std::function<void(const std::string& requestPath)>;

    CDownloadQueue(const IInstallHost& host, int fetchers, size_t bufferBytes, FetchFn fetch, DiscardFn discard);
    ~CDownloadQueue();
    CDownloadQueue(const CDownloadQueue&) = delete;
    CDownloadQueue& operator=(const CDownloadQueue&) = delete;

    // fileKey: equal for two request paths that land on one file (see SameFileKey).
    void Add(const std::string& requestPath, const std::string& fileKey, size_t entry);
    // Downloads added and not yet taken back.
    int Outstanding();
    // False when no fetcher thread could be started: the walk then fetches every line itself.
    bool HasFetchers() const { return !m_fetchers.empty(); }
    // Waits for the oldest download not yet taken back, which must be line entry's (Failed if it is not).
    // A stop ends a download in flight soon, and its result comes back as it is; one not yet started
    // is Abandoned. Its file's key stays taken until the next TakeNext: the walk places it meanwhile.
    Fetched TakeNext(size_t entry);

private:
    enum class State { Waiting, Running, Done };
    struct Job {
        std::string requestPath;
        std::string fileKey;
        size_t entry = 0;
        State state = State::Waiting;
        Fetched fetched;
    };

    static unsigned __stdcall FetcherMain(void* self);
    void RunFetcher();
    Job* NextStartableJob();   // under m_cs

    const IInstallHost& m_host;
    const size_t m_bufferBytes;
    FetchFn m_fetch;
    DiscardFn m_discard;
    CCriticalSection m_cs;
    CConditionVariable m_changed;
    std::deque<Job> m_jobs;   // in the order added; the front is the next to take back
    bool m_bClosing = false;
    std::atomic<bool> m_cancelled{false};
    std::string m_placingKey;   // the key of the download the walk took last and is placing
    std::vector<unique_kernel_handle> m_fetchers;
};
