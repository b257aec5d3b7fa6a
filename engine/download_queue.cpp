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
    m_changed.WakeAll();
    for (const unique_kernel_handle& fetcher : m_fetchers)
        ::WaitForSingleObject(fetcher.get(), INFINITE);
    for (const Job& job : m_jobs)
        if (job.state == State::Done && job.result == Result::Ok)
            m_discard(job.requestPath);
}

bool CDownloadQueue::Add(const std::string& requestPath, const std::string& fileKey, size_t entry)
{
    {
        CSingleLock lock(m_cs);
        for (const Job& job : m_jobs)
            if (job.fileKey == fileKey)
                return false;
        m_jobs.push_back(Job{requestPath, fileKey, entry});
    }
    m_changed.WakeAll();
    return true;
}

int CDownloadQueue::Outstanding()
{
    CSingleLock lock(m_cs);
    return static_cast<int>(m_jobs.size());
}

CDownloadQueue::Result CDownloadQueue::TakeNext(DWORD* sendError)
{
    CSingleLock lock(m_cs);
    if (m_jobs.empty())
        return Result::Abandoned;
    while (m_jobs.front().state != State::Done) {
        if (m_host.QuitRequest() == 2)
            return Result::Abandoned;
        m_changed.Wait(m_cs, kPollMs);
    }
    const Job job = m_jobs.front();
    m_jobs.pop_front();
    *sendError = job.sendError;
    return job.result;
}

unsigned __stdcall CDownloadQueue::FetcherMain(void* self)
{
    try {
        static_cast<CDownloadQueue*>(self)->RunFetcher();
    } catch (...) {
        // no exception leaves the thread; a job it held stays Running and the walk's stop ends the wait
    }
    return 0;
}

CDownloadQueue::Job* CDownloadQueue::NextWaitingJob()
{
    for (Job& job : m_jobs)
        if (job.state == State::Waiting)
            return &job;
    return nullptr;
}

void CDownloadQueue::RunFetcher()
{
    std::vector<char> buffer(m_bufferBytes);
    CSingleLock lock(m_cs);
    for (;;) {
        Job* job = nullptr;
        // Paused: downloads in flight go on, no new one starts. Stopped or closing: none starts.
        while (!m_bClosing && m_host.QuitRequest() != 2 &&
               (m_host.QuitRequest() == 1 || (job = NextWaitingJob()) == nullptr))
            m_changed.Wait(m_cs, kPollMs);
        if (m_bClosing || m_host.QuitRequest() == 2)
            return;
        job->state = State::Running;
        const std::string requestPath = job->requestPath;   // the deque may grow meanwhile; the job stays
        const size_t entry = job->entry;
        DWORD sendError = 0;
        m_cs.Unlock();
        Result result = Result::Failed;
        try {
            result = m_fetch(requestPath, entry, buffer, &sendError);
        } catch (...) {
            result = Result::Failed;
        }
        m_cs.Lock();
        job->result = result;
        job->sendError = sendError;
        job->state = State::Done;
        m_changed.WakeAll();
    }
}
