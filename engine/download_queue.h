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

// Who does what. The queue is given the lines to download, in the order the walk reaches them, and keeps
// at most N of them added and not yet placed, so that the disk never holds more than N unplaced files. The
// walk takes them back one by one in that order, and each TakeNext lets the next lines in; each taken
// download is a token that holds its file's key while the walk places the file and frees it when the token
// goes (placed or dropped). The queue's N fetcher threads run the added downloads in order, each download
// with all its calls; none starts while the install is paused or after a stop. Two downloads of one file
// (the same key) never run at once: the later waits until the earlier is taken back and its token gone,
// since both write one temporary file. When the queue goes it cancels what is still in flight (fetchers
// look at the flag between reads and between calls), waits for its fetchers and discards every download
// the walk did not take back: no fetcher outlives it.
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
    // What the queue needs of line entry: its request path and its file's key, equal for two request paths
    // that land on one file (see SameFileKey).
    struct Line {
        std::string requestPath;
        std::string fileKey;
    };
    using DescribeFn = std::function<Line(size_t entry)>;

    // A download taken back: its result, and its file's key held until the token goes. Move-only.
    class Taken {
    public:
        Taken(Taken&& other) noexcept;
        Taken& operator=(Taken&& other) noexcept;
        ~Taken() { Release(); }
        Taken(const Taken&) = delete;
        Taken& operator=(const Taken&) = delete;

        const Fetched& fetched() const { return m_fetched; }

    private:
        friend class CDownloadQueue;
        Taken(CDownloadQueue* queue, std::string fileKey, Fetched fetched)
            : m_queue(queue), m_fileKey(std::move(fileKey)), m_fetched(fetched) {}
        void Release() noexcept;

        CDownloadQueue* m_queue;   // null once released, or when nothing was taken (Abandoned)
        std::string m_fileKey;
        Fetched m_fetched;
    };

    // entries: the lines to download, in the order the walk takes them back; fetchers: N.
    CDownloadQueue(const IInstallHost& host, int fetchers, size_t bufferBytes, std::vector<size_t> entries,
                   DescribeFn describe, FetchFn fetch, DiscardFn discard);
    ~CDownloadQueue();
    CDownloadQueue(const CDownloadQueue&) = delete;
    CDownloadQueue& operator=(const CDownloadQueue&) = delete;

    // False when no fetcher thread could be started: the walk then fetches every line itself.
    bool HasFetchers() const { return !m_fetchers.empty(); }
    // Waits for the oldest download not yet taken back, which must be line entry's: taking lines out of
    // order, or one the queue was not given, is a fault of the caller (std::logic_error). A stop ends a
    // download in flight soon, and its result comes back as it is; one not yet started is Abandoned and
    // stays in the queue.
    Taken TakeNext(size_t entry);

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
    bool AddWhileRoom();       // under m_cs: lines in until N are added and not yet placed; true when any came
    void ReleaseKey(const std::string& fileKey) noexcept;

    const IInstallHost& m_host;
    const size_t m_bufferBytes;
    const size_t m_cap;                  // N
    const std::vector<size_t> m_entries;
    size_t m_nextEntry = 0;              // the next of m_entries to add
    DescribeFn m_describe;
    FetchFn m_fetch;
    DiscardFn m_discard;
    CCriticalSection m_cs;
    CConditionVariable m_changed;
    std::deque<Job> m_jobs;   // in the order added; the front is the next to take back
    bool m_bClosing = false;
    std::atomic<bool> m_cancelled{false};
    std::vector<std::string> m_placingKeys;   // the keys of the tokens the walk holds
    std::vector<unique_kernel_handle> m_fetchers;
};
