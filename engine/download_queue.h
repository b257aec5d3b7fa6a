// Downloads that run ahead of the walk: up to N requests in flight, each into its own temporary file.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/critical_section.h"
#include "platform/handles.h"

class IInstallHost;

// Who does what. The walk adds the downloads of the lines ahead (at most N not yet taken, so the disk
// never holds more than N unplaced files) and takes them back one by one in the order added, then places
// each file itself. The queue's N fetcher threads start the added downloads in that order; none starts
// while the install is paused or after a stop. A download that was never taken back (the walk ended
// early) is discarded when the queue goes, which waits for its fetchers first: no fetcher outlives it.
class CDownloadQueue {
public:
    enum class Result { Ok, Failed, SendFailed, Abandoned };
    // Fetches one request path (of manifest line `entry`) into its temporary file with the fetcher's
    // own buffer; on failure it leaves no temporary file. Runs on a fetcher thread.
    using FetchFn = std::function<Result(const std::string& requestPath, size_t entry, std::vector<char>& buffer,
                                         DWORD* sendError)>;
    // Removes the temporary file of a fetched download that the walk did not take back.
    using DiscardFn = std::function<void(const std::string& requestPath)>;

    CDownloadQueue(const IInstallHost& host, int fetchers, size_t bufferBytes, FetchFn fetch, DiscardFn discard);
    ~CDownloadQueue();
    CDownloadQueue(const CDownloadQueue&) = delete;
    CDownloadQueue& operator=(const CDownloadQueue&) = delete;

    // False when a download of the same file (the same key) is still outstanding: both would write one
    // temporary file. The walk then fetches that line itself when it gets there.
    bool Add(const std::string& requestPath, const std::string& fileKey, size_t entry);
    // Downloads added and not yet taken back.
    int Outstanding();
    // False when no fetcher thread could be started: the walk then fetches every line itself.
    bool HasFetchers() const { return !m_fetchers.empty(); }
    // Waits for the oldest download not yet taken back. Abandoned when a stop came first (the download
    // itself is then left to the queue's end).
    Result TakeNext(DWORD* sendError);

private:
    enum class State { Waiting, Running, Done };
    struct Job {
        std::string requestPath;
        std::string fileKey;
        size_t entry = 0;
        State state = State::Waiting;
        Result result = Result::Failed;
        DWORD sendError = 0;
    };

    static unsigned __stdcall FetcherMain(void* self);
    void RunFetcher();
    Job* NextWaitingJob();   // under m_cs

    const IInstallHost& m_host;
    const size_t m_bufferBytes;
    FetchFn m_fetch;
    DiscardFn m_discard;
    CCriticalSection m_cs;
    CConditionVariable m_changed;
    std::deque<Job> m_jobs;   // in the order added; the front is the next to take back
    bool m_bClosing = false;
    std::vector<unique_kernel_handle> m_fetchers;
};
