// qelmora-check: fetches a live update server as the installer will and says whether an install would succeed.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/list/list_audit.h"
#include "engine/list/list_files.h"
#include "engine/list/list_lines.h"
#include "engine/list/list_plan.h"
#include "engine/list/signed_list.h"
#include "engine/list/wire_rules.h"
#include "publisher/crypto.h"
#include "publisher/gbk_names.h"
#include "publisher/http_get.h"

namespace {

// Less time than this before the signed list expires is worth a warning: publish again.
constexpr long long kExpiryWarningSeconds = 7LL * 24 * 3600;
constexpr int kMaxJobs = 64;

struct Options {
    std::string strUrl;
    std::string strKeyPath;
    int nJobs = 4;
    long nTimeoutSeconds = static_cast<long>(kDefaultIoTimeoutMs / 1000);
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
    if (!IsWholeBodyStatus(std::to_string(answer.nStatus).c_str()))
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

// The signed digests, when a key is given: accepted as the installer accepts them, or the reason the
// installer would fetch nothing.
struct SignedDigests {
    std::string file;            // list.sha256's bytes, between the two checks
    SignedList list;
    bool bHeaderAccepted = false;
    bool bUsable = false;
};

std::string Duration(long long seconds)
{
    const long long days = seconds / 86400;
    const long long hours = seconds % 86400 / 3600;
    if (days > 0)
        return Format("%lld days %lld hours", days, hours);
    return Format("%lld hours %lld minutes", hours, seconds % 3600 / 60);
}

void ReportRefusedList(const std::string& problem, Reporter& reporter, int& problems)
{
    reporter.Line("FAILED   " + problem + "; the installer would fetch nothing");
    ++problems;
}

// The side files' signature, the header and list.txt's digest, on the bytes alone, as the installer checks them
// before it reads a line.
void CheckSignedBytes(HttpGetter& getter, const std::string& base, EVP_PKEY* key, const HttpAnswer& manifest,
                      SignedDigests& signedDigests, Reporter& reporter, int& problems)
{
    HttpAnswer digests = getter.Get(base + kDigestListName, true, static_cast<long long>(kDigestListLimit));
    const HttpAnswer signature = getter.Get(base + kSignatureName, true, static_cast<long long>(kSignatureLimit));
    std::string problem = AnswerProblem(digests);
    if (!problem.empty()) {
        problem = std::string(kDigestListName) + ": " + problem;
    } else if (!(problem = AnswerProblem(signature)).empty()) {
        problem = std::string(kSignatureName) + ": " + problem;
    } else if (!VerifySha256(key, digests.body, signature.body)) {
        problem = ListVerdictReason(ListVerdict::BadSignature);
    } else {
        const long long now = static_cast<long long>(std::time(nullptr));
        const ListVerdict verdict = signedDigests.list.AcceptHeader(digests.body, manifest.digest, now, 1);
        const SignedList& list = signedDigests.list;
        if (list.HasHeader()) {
            const long long left = list.Header().expires - now;
            reporter.Line(Format("signed   list.sha256: version %lld, expires %s (%s%s)", list.Header().version,
                                 FormatUtcTime(list.Header().expires).c_str(), left > 0 ? "" : "expired ",
                                 left > 0 ? (Duration(left) + " left").c_str() : (Duration(-left) + " ago").c_str()));
            if (left > 0 && left < kExpiryWarningSeconds)
                reporter.Line("warning  the list expires in less than 7 days: publish it again (qelmora-publish --key)");
        }
        if (verdict != ListVerdict::Ok)
            problem = ListVerdictReason(verdict);
    }
    if (!problem.empty()) {
        ReportRefusedList(problem, reporter, problems);
        return;
    }
    signedDigests.file = std::move(digests.body);
    signedDigests.bHeaderAccepted = true;
}

// The digest lines against the planned lines, once the bytes were accepted.
void CheckSignedLines(const ListPlan& plan, SignedDigests& signedDigests, Reporter& reporter, int& problems)
{
    const ListVerdict verdict = signedDigests.list.AcceptLines(signedDigests.file, plan);
    std::string().swap(signedDigests.file);
    if (verdict != ListVerdict::Ok) {
        ReportRefusedList(ListVerdictReason(verdict), reporter, problems);
        return;
    }
    signedDigests.bUsable = true;
    reporter.Line(Format("signed   list.sha256: %zu files, the signature verifies", signedDigests.list.Files()));
}

LineResult CheckFile(HttpGetter& getter, const std::string& origin, const std::string& prefix, size_t index,
                     const ListLines& lines, const SignedDigests* digests)
{
    const std::string line(lines.Line(index));
    const std::string shown = Cp936ForDisplay(line);
    // With signed sizes, as the installer does: never more than the signed size is read.
    const bool signedFile = digests && digests->bUsable;
    const long long signedSize = signedFile ? digests->list.SizeOf(index) : -1;
    const HttpAnswer answer = getter.Get(origin + WireObject(prefix, line), false, signedSize);
    LineResult result;
    result.bFetched = true;
    std::string problem;
    if (signedFile && answer.bAnswered && IsWholeBodyStatus(std::to_string(answer.nStatus).c_str()) &&
        ((answer.nContentLength >= 0 && answer.nContentLength != signedSize) || answer.bTooLarge))
        problem = Format("%lld bytes where list.sha256 names %lld",
                         answer.nContentLength >= 0 ? answer.nContentLength : answer.nReceived, signedSize);
    if (problem.empty())
        problem = AnswerProblem(answer);
    if (problem.empty() && signedFile) {
        const Sha256Digest* expected = digests->list.DigestOf(index);
        if (answer.nReceived != signedSize)
            problem = Format("%lld bytes where list.sha256 names %lld", answer.nReceived, signedSize);
        else if (!expected || *expected != answer.digest)
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
LineResult CheckUnfetched(const ListPlan& plan, size_t i)
{
    LineResult result;
    const std::string text(plan.Lines().Line(i));
    const std::string shown = Cp936ForDisplay(text);
    if (plan[i].kind == LineKind::Skipped) {
        result.strReport = text.empty() ? Format("skipped  (line %zu is empty)", i + 1)
                                        : "skipped  " + shown + ": no \".\" in its request path, never fetched";
    } else if (plan[i].Refused()) {
        result.bProblem = true;
        result.strReport = "REFUSED  " + shown + ": " + PathVerdictReason(plan[i].verdict);
    } else {
        result.strReport = "folder   " + shown;
    }
    if (!result.bProblem && plan[i].kind != LineKind::Skipped && plan.LocalBytes(i) > kRoomyPathBytes)
        result.strReport += Format(" (warning: %zu bytes in the default folder)", plan.LocalBytes(i));
    return result;
}

// Fetches the files in list order, as many at a time as asked and never far ahead of the report, which keeps
// list order: only a window of results is held at once. Every line is reported.
struct Totals {
    size_t files = 0;
    long long bytes = 0;
    int problems = 0;
};

Totals CheckLines(const Options& options, const std::string& origin, const std::string& prefix, const ListPlan& plan,
               const SignedDigests* digests)
{
    const std::vector<size_t> toFetch = plan.FetchLines();
    Totals totals;
    totals.files = plan.FileLines().size();
    std::atomic<long long> bytesSeen{0};
    const size_t window = static_cast<size_t>(options.nJobs) * 4;
    std::map<size_t, LineResult> results;   // by position in toFetch
    size_t reported = 0;                    // files of toFetch reported so far
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    const int jobs = static_cast<int>(std::min<size_t>(static_cast<size_t>(options.nJobs), std::max<size_t>(1, toFetch.size())));
    for (int j = 0; j < jobs; ++j) {
        workers.emplace_back([&] {
            HttpGetter worker(options.nTimeoutSeconds, &bytesSeen);
            for (size_t k = next++; k < toFetch.size(); k = next++) {
                {
                    std::unique_lock<std::mutex> guard(lock);
                    changed.wait(guard, [&] { return k < reported + window; });
                }
                LineResult result = CheckFile(worker, origin, prefix, toFetch[k], plan.Lines(), digests);
                std::lock_guard<std::mutex> guard(lock);
                results.emplace(k, std::move(result));
                changed.notify_all();
            }
        });
    }

    Reporter report(totals.files);
    size_t filesDone = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
        LineResult result;
        if (plan[i].kind == LineKind::File && !plan[i].Refused()) {
            std::unique_lock<std::mutex> guard(lock);
            while (results.count(reported) == 0) {
                guard.unlock();
                report.Progress(filesDone, bytesSeen.load());
                guard.lock();
                changed.wait_for(guard, std::chrono::milliseconds(250));
            }
            result = std::move(results[reported]);
            results.erase(reported);
            ++reported;
            changed.notify_all();
        } else {
            result = CheckUnfetched(plan, i);
        }
        if (plan[i].kind == LineKind::File)
            ++filesDone;
        totals.bytes += result.nBytes;
        totals.problems += result.bProblem ? 1 : 0;
        report.Line(result.strReport);
    }
    for (std::thread& worker : workers)
        worker.join();
    report.ClearProgress();
    return totals;
}

// The whole check after the command line: the list, its signature and header on the bytes, then its lines.
int Check(const Options& options, const std::string& origin, const std::string& object, EVP_PKEY* key)
{
    HttpGetter getter(options.nTimeoutSeconds, nullptr);
    HttpAnswer manifest = getter.Get(options.strUrl, true, kMaxManifestBytes);
    const std::string manifestProblem = AnswerProblem(manifest);
    Reporter reporter(0);
    if (!manifestProblem.empty()) {
        reporter.Line("FAILED   " + options.strUrl + ": " + manifestProblem);
        std::printf("0 files, 0 bytes, 1 problems\n");
        return 1;
    }
    reporter.Line(Format("manifest %s: %ld, %lld bytes%s", options.strUrl.c_str(), manifest.nStatus, manifest.nReceived,
                         manifest.nContentLength < 0 ? ", no Content-Length (a cut list could not be told)" : ""));

    int problems = 0;
    const std::string prefix = RequestPrefix(object);
    SignedDigests digests;
    if (key)
        CheckSignedBytes(getter, origin + prefix, key, manifest, digests, reporter, problems);
    // The list kept as its bytes and an offset a line, its plan as two bytes a line: the check's memory
    // stays near the list's own size, however many lines it has.
    PackedLines lines;
    if (!lines.Adopt(std::move(manifest.body))) {
        reporter.Line("FAILED   " + options.strUrl + ": too large");
        return 1;
    }
    const ListPlan plan(lines, prefix, kDefaultInstallDir936);
    if (digests.bHeaderAccepted)
        CheckSignedLines(plan, digests, reporter, problems);
    const Totals totals = CheckLines(options, origin, prefix, plan, key ? &digests : nullptr);
    problems += totals.problems;
    std::printf("%zu files, %lld bytes, %d problems\n", totals.files, totals.bytes, problems);
    return problems == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string origin, object;
    if (!ParseOptions(argc, argv, options) || !SplitUrl(options.strUrl, origin, object)) {
        std::fprintf(stderr, "usage: qelmora-check LIST_URL [--key PUBLIC.pem] [--jobs N (1-%d, 4)] "
                             "[--timeout SECONDS (%ld)]\n", kMaxJobs, static_cast<long>(kDefaultIoTimeoutMs / 1000));
        return 2;
    }
    std::string error;
    unique_evp_pkey key;
    if (!options.strKeyPath.empty() && !(key = LoadPublicKey(options.strKeyPath, error))) {
        std::fprintf(stderr, "qelmora-check: %s: %s\n", options.strKeyPath.c_str(), error.c_str());
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const int result = Check(options, origin, object, key.get());
    curl_global_cleanup();
    return result;
}
