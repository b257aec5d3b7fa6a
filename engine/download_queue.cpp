// Downloads that run ahead of the walk: up to N requests in flight, each into its own temporary file.
#include "engine/download_queue.h"

#include <process.h>

#include <algorithm>
#include <stdexcept>

#include "engine/install_host.h"

namespace {
// How often a waiting thread looks at the pause and stop request again.
constexpr DWORD kPollMs = 100;
}  // namespace

CDownloadQueue::CDownloadQueue(const IInstallHost& host, int fetchers, size_t bufferBytes, std::vector<size_t> entries,
                               DescribeFn describe, FetchFn fetch, DiscardFn discard)
    : m_host(host), m_bufferBytes(bufferBytes), m_cap(static_cast<size_t>(std::max(fetchers, 1))),
      m_entries(std::move(entries)), m_describe(std::move(describe)), m_fetch(std::move(fetch)),
      m_discard(std::move(discard))
{
    {
        CSingleLock lock(m_cs);
        AddWhileRoom();
    }
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

bool CDownloadQueue::AddWhileRoom()
{
    const size_t before = m_jobs.size();
    // The walk's tokens are unplaced files too: they count against N with the downloads not yet taken.
    while (m_nextEntry < m_entries.size() && m_jobs.size() + m_placingKeys.size() < m_cap) {
        const size_t entry = m_entries[m_nextEntry++];
        Line line = m_describe(entry);
        Job job;
        job.requestPath = std::move(line.requestPath);
        job.fileKey = std::move(line.fileKey);
        job.entry = entry;
        m_jobs.push_back(std::move(job));
    }
    return m_jobs.size() != before;
}

CDownloadQueue::Taken CDownloadQueue::TakeNext(size_t entry)
{
    CSingleLock lock(m_cs);
    // The walk asks for its next file only once it has placed the last and is not paused: a line let in
    // here never starts between a placing and the pause that the placing's step may bring.
    if (AddWhileRoom())
        m_changed.WakeAll();   // idle fetchers start the lines let in at once, not at their next poll
    if (m_jobs.empty() || m_jobs.front().entry != entry)
        throw std::logic_error("the walk takes its downloads back in the order the queue was given them");
    while (m_jobs.front().state != State::Done) {
        // One in flight sees the stop itself and ends soon; one not yet started never will.
        if (m_host.QuitRequest() == kQuitStop && m_jobs.front().state == State::Waiting)
            return Taken(nullptr, std::string(), Fetched{Result::Abandoned, 0});
        m_changed.Wait(m_cs, kPollMs);
    }
    Job job = std::move(m_jobs.front());
    m_jobs.pop_front();
    m_placingKeys.push_back(job.fileKey);
    return Taken(this, std::move(job.fileKey), job.fetched);
}

void CDownloadQueue::ReleaseKey(const std::string& fileKey) noexcept
{
    {
        CSingleLock lock(m_cs);
        const auto held = std::find(m_placingKeys.begin(), m_placingKeys.end(), fileKey);
        if (held != m_placingKeys.end())
            m_placingKeys.erase(held);
    }
    m_changed.WakeAll();   // a later download of that file may start
}

CDownloadQueue::Taken::Taken(Taken&& other) noexcept
    : m_queue(other.m_queue), m_fileKey(std::move(other.m_fileKey)), m_fetched(other.m_fetched)
{
    other.m_queue = nullptr;
}

CDownloadQueue::Taken& CDownloadQueue::Taken::operator=(Taken&& other) noexcept
{
    if (this != &other) {
        Release();
        m_queue = other.m_queue;
        m_fileKey = std::move(other.m_fileKey);
        m_fetched = other.m_fetched;
        other.m_queue = nullptr;
    }
    return *this;
}

void CDownloadQueue::Taken::Release() noexcept
{
    if (m_queue != nullptr)
        m_queue->ReleaseKey(m_fileKey);
    m_queue = nullptr;
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
        bool fileBusy = std::find(m_placingKeys.begin(), m_placingKeys.end(), job->fileKey) != m_placingKeys.end();
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
