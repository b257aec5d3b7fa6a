// qelmora-check: fetches a live update server as the installer will and says whether an install would succeed.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/digest_list.h"
#include "engine/list_audit.h"
#include "engine/manifest_reader.h"
#include "publisher/crypto.h"
#include "publisher/gbk_names.h"
#include "publisher/http_get.h"

namespace {

// The installer reads at most this much of list.txt.
constexpr long long kMaxManifestBytes = 64LL * 1024 * 1024;
constexpr long kConnectSeconds = 10;
constexpr int kMaxJobs = 64;

struct Options {
    std::string strUrl;
    std::string strKeyPath;
    int nJobs = 4;
    long nTimeoutSeconds = 30;
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--key" && i + 1 < argc) {
            options.strKeyPath = argv[++i];
        } else if (arg == "--jobs" && i + 1 < argc) {
            options.nJobs = std::atoi(argv[++i]);
            if (options.nJobs < 1 || options.nJobs > kMaxJobs)
                return false;
        } else if (arg == "--timeout" && i + 1 < argc) {
            options.nTimeoutSeconds = std::atol(argv[++i]);
            if (options.nTimeoutSeconds < 1 || options.nTimeoutSeconds > 3600)
                return false;
        } else if (!arg.empty() && arg[0] != '-' && options.strUrl.empty()) {
            options.strUrl = arg;
        } else {
            return false;
        }
    }
    return !options.strUrl.empty();
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...)
{
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// What the installer would make of one answer: empty when it would keep the body, else why not.
std::string AnswerProblem(const HttpAnswer& answer)
{
    if (!answer.bAnswered)
        return "no answer: " + answer.strError;
    if (answer.nStatus < 200 || answer.nStatus > 299)
        return Format("status %ld", answer.nStatus);
    if (answer.bTooLarge)
        return "too large";
    if (answer.nContentLength >= 0 && answer.nReceived != answer.nContentLength)
        return Format("short body: %lld of %lld bytes", answer.nReceived, answer.nContentLength);
    if (!answer.strError.empty())
        return "body cut off: " + answer.strError;
    return std::string();
}

struct LineResult {
    std::string strReport;
    bool bProblem = false;
    long long nBytes = 0;
    bool bFetched = false;
};

// Prints report lines in order while the progress line, on a terminal only, says how far the run is.
class Reporter {
public:
    explicit Reporter(size_t files) : m_files(files), m_terminal(::isatty(STDOUT_FILENO) == 1) {}

    void Line(const std::string& text)
    {
        ClearProgress();
        std::printf("%s\n", text.c_str());
    }
    void Progress(size_t filesDone, long long bytes)
    {
        if (!m_terminal)
            return;
        std::printf("\r\033[Kchecking: %zu of %zu files, %lld bytes", filesDone, m_files, bytes);
        std::fflush(stdout);
        m_shown = true;
    }
    void ClearProgress()
    {
        if (m_shown)
            std::printf("\r\033[K");
        m_shown = false;
    }

private:
    size_t m_files;
    bool m_terminal;
    bool m_shown = false;
};

// The signed digests, when a key is given: bound to the fetched lines, or the reason the installer would
// fetch nothing.
struct SignedDigests {
    DigestList list;
    bool bUsable = false;
};

void CheckSignedDigests(HttpGetter& getter, const std::string& base, EVP_PKEY* key,
                        const std::vector<ListEntry>& entries, const std::vector<size_t>& fetched,
                        SignedDigests& signedDigests, Reporter& reporter, int& problems)
{
    const HttpAnswer digests = getter.Get(base + "list.sha256", true, kMaxManifestBytes);
    const HttpAnswer signature = getter.Get(base + "list.sha256.sig", true, 64 * 1024);
    std::string problem = AnswerProblem(digests);
    if (!problem.empty())
        problem = "list.sha256: " + problem;
    else if (!(problem = AnswerProblem(signature)).empty())
        problem = "list.sha256.sig: " + problem;
    else if (!VerifySha256(key, digests.body, signature.body))
        problem = "list.sha256.sig is not a signature of list.sha256 by this key";
    else if (!signedDigests.list.Read(digests.body.data(), digests.body.size()))
        problem = "list.sha256 has a line that is not 64 lowercase hex digits, two spaces and a name";
    else if (!signedDigests.list.Bind(entries, fetched))
        problem = Format("list.sha256 names other lines than the %zu fetched lines of list.txt, or in another order",
                         fetched.size());
    if (!problem.empty()) {
        reporter.Line("FAILED   " + problem + "; the installer would fetch nothing");
        ++problems;
        return;
    }
    signedDigests.bUsable = true;
    reporter.Line(Format("signed   list.sha256: %zu lines, the signature verifies", signedDigests.list.size()));
}

LineResult CheckFile(HttpGetter& getter, const std::string& origin, const std::string& prefix, size_t index,
                     const std::vector<ListEntry>& entries, const SignedDigests* digests)
{
    const std::string& line = entries[index].strText;
    const std::string shown = Cp936ForDisplay(line);
    const HttpAnswer answer = getter.Get(origin + WireObject(prefix, line), false);
    LineResult result;
    result.bFetched = true;
    std::string problem = AnswerProblem(answer);
    if (problem.empty() && digests && digests->bUsable) {
        const Sha256Digest* expected = digests->list.DigestOf(index);
        if (!expected || *expected != answer.digest)
            problem = "SHA-256 differs from list.sha256";
    }
    if (!problem.empty()) {
        result.bProblem = true;
        result.strReport = "FAILED   " + shown + ": " + problem;
        return result;
    }
    result.nBytes = answer.nReceived;
    if (answer.nContentLength < 0) {
        result.strReport = Format("ok       %s: %ld, %lld bytes, no Content-Length (a cut body could not be told)",
                                  shown.c_str(), answer.nStatus, answer.nReceived);
    } else {
        result.strReport = Format("ok       %s: %ld, %lld bytes", shown.c_str(), answer.nStatus, answer.nReceived);
    }
    return result;
}

// The verdict on a line that is not fetched, or on a file line the installer refuses.
LineResult CheckUnfetched(const ListEntry& entry, const LineAudit& audit)
{
    LineResult result;
    const std::string shown = Cp936ForDisplay(entry.strText);
    if (audit.kind == LineKind::Skipped) {
        result.strReport = entry.strText.empty() ? Format("skipped  (line %d is empty)", entry.nLine + 1)
                                                 : "skipped  " + shown + ": no \".\" in its request path, never fetched";
    } else if (audit.verdict != PathVerdict::Ok) {
        result.bProblem = true;
        result.strReport = "REFUSED  " + shown + ": " + PathVerdictReason(audit.verdict);
    } else {
        result.strReport = "folder   " + shown;
    }
    if (!result.bProblem && audit.kind != LineKind::Skipped && audit.localBytes > kRoomyPathBytes)
        result.strReport += Format(" (warning: %zu bytes in the default folder)", audit.localBytes);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string origin, object;
    if (!ParseOptions(argc, argv, options) || !SplitUrl(options.strUrl, origin, object)) {
        std::fprintf(stderr, "usage: qelmora-check LIST_URL [--key PUBLIC.pem] [--jobs N (1-%d, 4)] "
                             "[--timeout SECONDS (30)]\n", kMaxJobs);
        return 2;
    }
    std::string error;
    unique_evp_pkey key;
    if (!options.strKeyPath.empty() && !(key = LoadPublicKey(options.strKeyPath, error))) {
        std::fprintf(stderr, "qelmora-check: %s: %s\n", options.strKeyPath.c_str(), error.c_str());
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    std::atomic<long long> bytesSeen{0};
    HttpGetter getter(kConnectSeconds, options.nTimeoutSeconds, nullptr);
    int problems = 0;

    const HttpAnswer manifest = getter.Get(options.strUrl, true, kMaxManifestBytes);
    const std::string manifestProblem = AnswerProblem(manifest);
    Reporter reporter(0);
    if (!manifestProblem.empty()) {
        reporter.Line("FAILED   " + options.strUrl + ": " + manifestProblem);
        std::printf("0 files, 0 bytes, 1 problems\n");
        curl_global_cleanup();
        return 1;
    }
    reporter.Line(Format("manifest %s: %ld, %lld bytes%s", options.strUrl.c_str(), manifest.nStatus, manifest.nReceived,
                         manifest.nContentLength < 0 ? ", no Content-Length (a cut list could not be told)" : ""));

    std::vector<ListEntry> entries;
    ManifestReader reader(entries);
    reader.Feed(manifest.body.data(), manifest.body.size());
    reader.Finish();
    const std::string prefix = RequestPrefix(object);
    const std::vector<LineAudit> audits = AuditList(entries, prefix, kDefaultInstallDir936);
    std::vector<size_t> fetched, toFetch;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (audits[i].kind != LineKind::File)
            continue;
        fetched.push_back(i);
        if (audits[i].verdict == PathVerdict::Ok)
            toFetch.push_back(i);
    }

    SignedDigests digests;
    if (key)
        CheckSignedDigests(getter, origin + prefix, key.get(), entries, fetched, digests, reporter, problems);

    // Workers fetch the files in list order, as many at a time as asked; the report keeps list order.
    std::vector<LineResult> results(entries.size());
    std::vector<char> ready(entries.size(), 0);
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    const int jobs = static_cast<int>(std::min<size_t>(static_cast<size_t>(options.nJobs), std::max<size_t>(1, toFetch.size())));
    for (int j = 0; j < jobs; ++j) {
        workers.emplace_back([&] {
            HttpGetter worker(kConnectSeconds, options.nTimeoutSeconds, &bytesSeen);
            for (size_t k = next++; k < toFetch.size(); k = next++) {
                LineResult result = CheckFile(worker, origin, prefix, toFetch[k], entries, key ? &digests : nullptr);
                std::lock_guard<std::mutex> guard(lock);
                results[toFetch[k]] = std::move(result);
                ready[toFetch[k]] = 1;
                changed.notify_one();
            }
        });
    }

    Reporter lines(fetched.size());
    size_t filesDone = 0;
    long long bytes = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        LineResult result;
        if (audits[i].kind == LineKind::File && audits[i].verdict == PathVerdict::Ok) {
            std::unique_lock<std::mutex> guard(lock);
            while (!ready[i]) {
                guard.unlock();
                lines.Progress(filesDone, bytesSeen.load());
                guard.lock();
                changed.wait_for(guard, std::chrono::milliseconds(250));
            }
            result = std::move(results[i]);
        } else {
            result = CheckUnfetched(entries[i], audits[i]);
        }
        if (audits[i].kind == LineKind::File)
            ++filesDone;
        bytes += result.nBytes;
        problems += result.bProblem ? 1 : 0;
        lines.Line(result.strReport);
    }
    for (std::thread& worker : workers)
        worker.join();
    lines.ClearProgress();
    std::printf("%zu files, %lld bytes, %d problems\n", fetched.size(), bytes, problems);
    curl_global_cleanup();
    return problems == 0 ? 0 : 1;
}
