// qelmora-publish: writes a product folder's list.txt (and, with a key, its signed digests), or refuses.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/list/list_audit.h"
#include "engine/list/list_files.h"
#include "engine/list/list_header.h"
#include "engine/list/list_plan.h"
#include "publisher/crypto.h"
#include "publisher/gbk_names.h"
#include "publisher/owners.h"
#include "publisher/product_tree.h"

namespace {

// The folder the default build's manifest stands in: the lines' request paths start with it.
const char kManifestFolder[] = "/Lineinstall_qmra/";

constexpr long long kDefaultLifeSeconds = 30LL * 24 * 3600;
// A list signed for longer than this is worth a warning.
constexpr long long kLongLifeSeconds = 90LL * 24 * 3600;

struct Options {
    std::string strProductDir;
    std::string strKeyPath;
    std::string strServerDir;
    std::string strVersion;   // empty: the publishing time
    std::string strExpires;   // empty: 30 days from now
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--key" && i + 1 < argc)
            options.strKeyPath = argv[++i];
        else if (arg == "--server-dir" && i + 1 < argc)
            options.strServerDir = argv[++i];
        else if (arg == "--version" && i + 1 < argc)
            options.strVersion = argv[++i];
        else if (arg == "--expires" && i + 1 < argc)
            options.strExpires = argv[++i];
        else if (!arg.empty() && arg[0] != '-' && options.strProductDir.empty())
            options.strProductDir = arg;
        else
            return false;
    }
    return !options.strProductDir.empty();
}

// --expires: "30d" or "12h" from now, or a time such as "2027-01-31T00:00:00Z"; false for anything else.
bool ParseExpiry(const std::string& text, long long now, long long& expires)
{
    if (ParseUtcTime(text, expires))
        return true;
    if (text.size() < 2 || text.size() > 7 || (text.back() != 'd' && text.back() != 'h'))
        return false;
    long long count = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        count = count * 10 + (text[i] - '0');
    }
    expires = now + count * (text.back() == 'd' ? 86400 : 3600);
    return true;
}

// The header's version and expiry from the options; false (and why on stderr) when they are not usable.
bool HeaderTimes(const Options& options, long long now, ListHeader& header)
{
    header.version = now;
    if (!options.strVersion.empty() && !ParseListVersion(options.strVersion, header.version)) {
        std::fprintf(stderr, "qelmora-publish: --version %s: a decimal from 1 to 9223372036854775807\n",
                     options.strVersion.c_str());
        return false;
    }
    header.expires = now + kDefaultLifeSeconds;
    if (!options.strExpires.empty() && !ParseExpiry(options.strExpires, now, header.expires)) {
        std::fprintf(stderr, "qelmora-publish: --expires %s: 30d, 12h or a time such as 2027-01-31T00:00:00Z\n",
                     options.strExpires.c_str());
        return false;
    }
    if (header.expires <= now) {
        std::fprintf(stderr, "qelmora-publish: --expires %s: %s is not in the future\n", options.strExpires.c_str(),
                     FormatUtcTime(header.expires).c_str());
        return false;
    }
    // Until then anyone on the way may replay this list with its files, after a newer one was published.
    if (header.expires - now > kLongLifeSeconds)
        std::printf("warning: --expires %s: the list holds until %s, more than %lld days ahead; an old list can be "
                    "replayed until it expires\n", options.strExpires.c_str(), FormatUtcTime(header.expires).c_str(),
                    kLongLifeSeconds / 86400);
    return true;
}

std::string JoinForDisplay(const std::vector<std::string>& components)
{
    std::string path;
    for (const std::string& part : components)
        path += (path.empty() ? "" : "/") + part;
    return path;
}

// A product file as a list line: its names in code page 936 joined by '\'.
struct ListedFile {
    std::string strLine;
    std::vector<std::string> components;   // its UTF-8 names below the product folder
    std::string strShown;
    Sha256Digest digest{};                 // once read
    long long size = 0;
};

// The lines of the tree's files, sorted by their bytes; one report line per file that has none.
std::vector<ListedFile> ListFiles(const ProductTree& tree, int& problems)
{
    std::vector<ListedFile> listed;
    for (const ProductFile& file : tree.files) {
        ListedFile item;
        item.components = file.components;
        item.strShown = JoinForDisplay(file.components);
        bool ok = true;
        for (const std::string& part : file.components) {
            std::string name;
            if (part.find('\\') != std::string::npos) {
                std::printf("refused: %s: a '\\' in a name would be read as a folder separator\n", item.strShown.c_str());
                ok = false;
            } else if (!Utf8ToCp936(part, name)) {
                std::printf("refused: %s: the name has no code page 936 (GBK) form\n", item.strShown.c_str());
                ok = false;
            }
            if (!ok)
                break;
            item.strLine += (item.strLine.empty() ? "" : "\\") + name;
        }
        if (ok)
            listed.push_back(std::move(item));
        else
            ++problems;
    }
    std::sort(listed.begin(), listed.end(),
              [](const ListedFile& a, const ListedFile& b) { return a.strLine < b.strLine; });
    return listed;
}

// One report line per file the installer would not fetch and place into the default folder: the installer's
// own reading of the list, as it will read it from the server.
int AuditLines(const std::vector<ListedFile>& listed)
{
    std::vector<ListEntry> entries(listed.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        entries[i].nLine = static_cast<int>(i);
        entries[i].strText = listed[i].strLine;
    }
    const EntryLines lines(entries);
    const ListPlan plan(lines, kManifestFolder, kDefaultInstallDir936);
    int problems = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
        const char* shown = listed[i].strShown.c_str();
        if (plan[i].kind == LineKind::Skipped) {
            std::printf("refused: %s: no \".\" in its path after the first character, so the installer never fetches it\n", shown);
            ++problems;
        } else if (plan[i].kind == LineKind::Folder) {
            std::printf("refused: %s: the installer would read it as a folder\n", shown);
            ++problems;
        } else if (plan[i].Refused()) {
            std::printf("refused: %s: %s\n", shown, PathVerdictReason(plan[i].verdict));
            ++problems;
        } else if (plan.LocalBytes(i) > kRoomyPathBytes) {
            std::printf("warning: %s: %zu bytes as \"%s...\"; an install folder longer than the default may not hold it\n",
                        shown, plan.LocalBytes(i), kDefaultInstallDir936);
        }
    }
    for (const auto& same : plan.SameFiles()) {
        std::printf("refused: %s: the same file on Windows as %s (names differ only in case)\n",
                    listed[same.second].strShown.c_str(), listed[same.first].strShown.c_str());
        ++problems;
    }
    return problems;
}

// Writes bytes to a new file of its own in dir and returns its path: mkstemp creates it exclusively
// (O_CREAT | O_EXCL), so a symbolic link of any name in the folder is never written through. Empty, and
// why in error, on failure.
std::string WriteNewFile(const std::string& dir, const std::string& name, const std::string& bytes, std::string& error)
{
    std::string path = dir + "/" + name + ".new-XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return std::string();
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            break;
        done += static_cast<size_t>(wrote);
    }
    // mkstemp makes the file readable by its owner alone; the web server's workers must read it, as any
    // file written under the user's umask.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = done == bytes.size() && ::fchmod(fd, 0666 & ~mask) == 0;
    if (!ok)
        error = std::strerror(errno);
    if (::close(fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(path.c_str());
        return std::string();
    }
    return path;
}

// Every output is written under a new name of its own first and renamed over its place only when all are
// complete. rename replaces a link of the output's name itself, never what it points to.
bool WriteOutputs(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& outputs)
{
    std::vector<std::string> written;
    std::string error;
    for (const auto& output : outputs) {
        const std::string temp = WriteNewFile(dir, output.first, output.second, error);
        if (temp.empty()) {
            std::fprintf(stderr, "qelmora-publish: cannot write %s/%s: %s\n", dir.c_str(), output.first.c_str(),
                         error.c_str());
            for (const std::string& path : written)
                ::unlink(path.c_str());
            return false;
        }
        written.push_back(temp);
    }
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (std::rename(written[i].c_str(), (dir + "/" + outputs[i].first).c_str()) != 0) {
            std::fprintf(stderr, "qelmora-publish: cannot rename %s: %s\n", outputs[i].first.c_str(), std::strerror(errno));
            for (size_t j = i; j < written.size(); ++j)
                ::unlink(written[j].c_str());
            return false;
        }
    }
    return true;
}

// A Linux web server finds a file by the bytes of its request path, and the installer asks for code page
// 936 names with '/' between folders: the copy holds every file under exactly that name. The folder must be
// new or empty.
bool PrepareServerDir(const std::string& dir)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(dir, ec) && !fs::is_empty(dir, ec)) {
        std::fprintf(stderr, "qelmora-publish: %s is not empty; name a new or empty folder\n", dir.c_str());
        return false;
    }
    fs::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "qelmora-publish: cannot make %s: %s\n", dir.c_str(), ec.message().c_str());
        return false;
    }
    return true;
}

// The server copy's file for a line, created new (never through a link of its name).
unique_fd CreateServerFile(const std::string& dir, const std::string& line, std::string& error)
{
    namespace fs = std::filesystem;
    std::string name = line;
    for (size_t sep = FindFirstChar936(name, "\\"); sep != std::string::npos; sep = FindFirstChar936(name, "\\", sep + 1))
        name[sep] = '/';
    const fs::path target = fs::path(dir) / name;
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
        error = ec.message();
        return unique_fd();
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    unique_fd file(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666 & ~mask));
    if (!file)
        error = std::strerror(errno);
    return file;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t wrote = ::write(fd, data, size);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        data += wrote;
        size -= static_cast<size_t>(wrote);
    }
    return true;
}

// Opens every listed file once (OpenProductFile) and takes from that one handle its size and, when asked, its
// SHA-256 and its copy in the server folder. False, and why on stderr, at the first file that cannot be read
// or copied.
bool ReadListedFiles(const std::string& productDir, const std::string& serverDir, bool hash,
                     std::vector<ListedFile>& listed)
{
    std::vector<char> buffer(1 << 20);
    for (ListedFile& file : listed) {
        std::string error;
        const unique_fd in = OpenProductFile(productDir, file.components, error);
        unique_fd copy;
        if (in && !serverDir.empty())
            copy = CreateServerFile(serverDir, file.strLine, error);
        if (!in || (!serverDir.empty() && !copy)) {
            std::fprintf(stderr, "qelmora-publish: %s: %s\n", file.strShown.c_str(), error.c_str());
            return false;
        }
        struct stat status {};
        if (!hash && !copy) {
            // Only the size is wanted: the bytes are not read.
            if (::fstat(in.get(), &status) != 0) {
                std::fprintf(stderr, "qelmora-publish: %s: %s\n", file.strShown.c_str(), std::strerror(errno));
                return false;
            }
            file.size = static_cast<long long>(status.st_size);
            continue;
        }
        Sha256Stream digest;
        file.size = 0;
        for (;;) {
            const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 || (copy && got > 0 && !WriteAll(copy.get(), buffer.data(), static_cast<size_t>(got)))) {
                std::fprintf(stderr, "qelmora-publish: %s: %s\n", file.strShown.c_str(), std::strerror(errno));
                return false;
            }
            if (got == 0)
                break;
            digest.Update(buffer.data(), static_cast<size_t>(got));
            file.size += got;
        }
        file.digest = digest.Final();
        if (copy && ::close(copy.release()) != 0) {
            std::fprintf(stderr, "qelmora-publish: %s: %s\n", file.strShown.c_str(), std::strerror(errno));
            return false;
        }
    }
    return true;
}

// list.txt and, with a key, list.sha256 and its signature: the outputs, name and bytes.
bool MakeOutputs(const std::vector<ListedFile>& listed, EVP_PKEY* key, ListHeader& header,
                 std::vector<std::pair<std::string, std::string>>& outputs)
{
    std::string list;
    for (const ListedFile& file : listed)
        list += file.strLine + "\r\n";
    outputs = {{kListFileName, list}};
    if (!key)
        return true;
    header.listDigest = Sha256Of(list);
    std::string digests = ListHeaderText(header);
    for (const ListedFile& file : listed)
        digests += DigestFileLine(file.digest, file.size, file.strLine);
    std::string signature;
    if (!SignSha256(key, digests, signature)) {
        std::fprintf(stderr, "qelmora-publish: signing list.sha256 failed\n");
        return false;
    }
    outputs.emplace_back(kDigestListName, digests);
    outputs.emplace_back(kSignatureName, signature);
    return true;
}

// Every product file as a line: 0 when all have one, else the exit code, 1 with one report line for each
// file that has none, 2 when the folder cannot be read.
int ListProduct(const std::string& productDir, std::vector<ListedFile>& listed)
{
    ProductTree tree;
    std::string error;
    if (!ReadProductTree(productDir, tree, error)) {
        std::fprintf(stderr, "qelmora-publish: %s: %s\n", productDir.c_str(), error.c_str());
        return 2;
    }
    for (const std::string& link : tree.links)
        std::printf("skipped: %s: a symbolic link\n", link.c_str());
    for (const std::string& folder : tree.emptyFolders)
        std::printf("skipped: %s/: an empty folder\n", folder.c_str());
    for (const std::string& other : tree.others)
        std::printf("skipped: %s: not a regular file\n", other.c_str());

    int problems = 0;
    listed = ListFiles(tree, problems);
    problems += AuditLines(listed);
    if (listed.empty() && problems == 0) {
        std::printf("refused: %s: no files to list\n", productDir.c_str());
        ++problems;
    }
    if (problems == 0)
        return 0;
    std::printf("%d problem%s; nothing written\n", problems, problems == 1 ? "" : "s");
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: qelmora-publish PRODUCT_DIR [--key PRIVATE.pem [--version N] [--expires 30d|12h|"
                             "YYYY-MM-DDTHH:MM:SSZ]] [--server-dir NEW_DIR]\n");
        return 2;
    }
    const long long now = static_cast<long long>(std::time(nullptr));
    ListHeader header;
    if (!HeaderTimes(options, now, header))
        return 2;
    std::string error;
    unique_evp_pkey key;
    if (!options.strKeyPath.empty() && !(key = LoadPrivateKey(options.strKeyPath, error))) {
        std::fprintf(stderr, "qelmora-publish: %s: %s\n", options.strKeyPath.c_str(), error.c_str());
        return 2;
    }
    std::vector<ListedFile> listed;
    if (const int refused = ListProduct(options.strProductDir, listed))
        return refused;

    std::vector<std::pair<std::string, std::string>> outputs;
    if ((!options.strServerDir.empty() && !PrepareServerDir(options.strServerDir)) ||
        !ReadListedFiles(options.strProductDir, options.strServerDir, static_cast<bool>(key), listed) ||
        !MakeOutputs(listed, key.get(), header, outputs) || !WriteOutputs(options.strProductDir, outputs))
        return 2;
    if (!key) {
        // Digests of an earlier list would not match this one: a build with a key would refuse the install.
        for (const char* stale : {kDigestListName, kSignatureName})
            if (std::remove((options.strProductDir + "/" + stale).c_str()) == 0)
                std::printf("removed: %s: it belonged to an earlier list\n", stale);
    }
    if (!options.strServerDir.empty()) {
        if (!WriteOutputs(options.strServerDir, outputs))
            return 2;
        std::printf("server copy: %s\n", options.strServerDir.c_str());
    }
    long long bytes = 0;
    for (const ListedFile& file : listed)
        bytes += file.size;
    std::printf("list.txt: %zu files, %lld bytes%s\n", listed.size(), bytes,
                key ? "; list.sha256 and list.sha256.sig signed" : "");
    if (key)
        std::printf("list.sha256: version %lld, expires %s; publish again before then\n", header.version,
                    FormatUtcTime(header.expires).c_str());
    return 0;
}
