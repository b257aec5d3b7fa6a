// Downloads that run ahead of the walk: up to N requests in flight, each into its own temporary file.
#include "engine/download_queue.h"

#include <process.h>

#include "engine/install_host.h"

namespace {
// How often a waiting thread looks at the pause and stop request again.
constexpr DWORD kPollMs = 100;
}  // namespace

CDownloadQueue::CDownloadQueue(const IInstallHost& host, int fetchers, size_t bufferBytes, FetchFn fetch,
                               DiscardFn discard)
    : m_host(host), m_bufferBytes(bufferBytes), m_fetch(std::move(fetch)), m_discard(std::move(discard))
{
    for (int i = 0; i < fetchers; ++i) {
        const uintptr_t thread = ::_beginthreadex(nullptr, 0, &CDownloadQueue::FetcherMain, this, 0, nullptr);
        if (thread == 0)
            break;   // fewer fetchers still fetch everything, only less at once
        m_fetchers.emplace_back(reinterpret_cast<HANDLE>(thread));
        ::SetThreadPriority(m_fetchers.back().get(), THREAD_PRIORITY_BELOW_NORMAL);
    }
}

CDownloadQueue::~CDownloadQueue()
{
    {
        CSingleLock lock(m_cs);
        m_bClosing = true;
    }
    m_cancelled = true;
    m_changed.WakeAll();
    for (const unique_kernel_handle& fetcher : m_fetchers)
        ::WaitForSingleObject(fetcher.get(), INFINITE);
    for (const Job& job : m_jobs)
        if (job.state == State::Done && job.fetched.result == Result::Ok)
            m_discard(job.requestPath);
}

void CDownloadQueue::Add(const std::string& requestPath, const std::string& fileKey, size_t entry)
{
    {
        CSingleLock lock(m_cs);
        Job job;
        job.requestPath = requestPath;
        job.fileKey = fileKey;
        job.entry = entry;
        m_jobs.push_back(job);
    }
    m_changed.WakeAll();
}

int CDownloadQueue::Outstanding()
{
    CSingleLock lock(m_cs);
    return static_cast<int>(m_jobs.size());
}

CDownloadQueue::Fetched CDownloadQueue::TakeNext(size_t entry)
{
    CSingleLock lock(m_cs);
    if (!m_placingKey.empty()) {
        m_placingKey.clear();   // the walk placed the last one: a later download of that file may start
        m_changed.WakeAll();
    }
    if (m_jobs.empty() || m_jobs.front().entry != entry)
        return Fetched{Result::Failed, 0};
    while (m_jobs.front().state != State::Done) {
        // One in flight sees the stop itself and ends soon; one not yet started never will.
        if (m_host.QuitRequest() == kQuitStop && m_jobs.front().state == State::Waiting)
            return Fetched{Result::Abandoned, 0};
        m_changed.Wait(m_cs, kPollMs);
    }
    const Job job = m_jobs.front();
    m_jobs.pop_front();
    m_placingKey = job.fileKey;
    return job.fetched;
}

unsigned __stdcall CDownloadQueue::FetcherMain(void* self)
{
    try {
        static_cast<CDownloadQueue*>(self)->RunFetcher();
    } catch (...) {
        // No exception leaves the thread. One can come only before a job is taken (a fetch's own are caught
        // with its job): the job stays Waiting, for another fetcher or the walk's stop.
    }
    return 0;
}

CDownloadQueue::Job* CDownloadQueue::NextStartableJob()
{
    for (auto job = m_jobs.begin(); job != m_jobs.end(); ++job) {
        if (job->state != State::Waiting)
            continue;
        // A download of a file that an earlier one still writes, or that the walk is placing, waits.
        bool fileBusy = job->fileKey == m_placingKey;
        for (auto earlier = m_jobs.begin(); earlier != job && !fileBusy; ++earlier)
            fileBusy = earlier->fileKey == job->fileKey;
        if (!fileBusy)
            return &*job;
    }
    return nullptr;
}

void CDownloadQueue::RunFetcher()
{
    std::vector<char> buffer(m_bufferBytes);
    CSingleLock lock(m_cs);
    for (;;) {
        Job* job = nullptr;
        // Paused: downloads in flight go on, no new one starts. Stopped or closing: none starts.
        while (!m_bClosing && m_host.QuitRequest() != kQuitStop &&
               (m_host.QuitRequest() == kQuitPause || (job = NextStartableJob()) == nullptr))
            m_changed.Wait(m_cs, kPollMs);
        if (m_bClosing || m_host.QuitRequest() == kQuitStop)
            return;
        const std::string requestPath = job->requestPath;   // the deque may grow meanwhile; the job stays
        const size_t entry = job->entry;
        job->state = State::Running;
        m_cs.Unlock();
        Fetched fetched;
        try {
            fetched = m_fetch(requestPath, entry, buffer, m_cancelled);
        } catch (...) {
            fetched = Fetched{Result::Failed, 0};
        }
        m_cs.Lock();
        job->fetched = fetched;
        job->state = State::Done;
        m_changed.WakeAll();
    }
}
