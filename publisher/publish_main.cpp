// qelmora-publish: writes a product folder's list.txt (and, with a key, its signed digests), or refuses.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/digest_list.h"
#include "engine/list_audit.h"
#include "publisher/crypto.h"
#include "publisher/gbk_names.h"
#include "publisher/owners.h"
#include "publisher/product_tree.h"

namespace {

// The folder the default build's manifest stands in: the lines' request paths start with it.
const char kManifestFolder[] = "/Lineinstall_qmra/";

struct Options {
    std::string strProductDir;
    std::string strKeyPath;
    std::string strServerDir;
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--key" && i + 1 < argc)
            options.strKeyPath = argv[++i];
        else if (arg == "--server-dir" && i + 1 < argc)
            options.strServerDir = argv[++i];
        else if (!arg.empty() && arg[0] != '-' && options.strProductDir.empty())
            options.strProductDir = arg;
        else
            return false;
    }
    return !options.strProductDir.empty();
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
    std::string strDiskPath;
    std::string strShown;
};

// The lines of the tree's files, sorted by their bytes; one report line per file that has none.
std::vector<ListedFile> ListFiles(const ProductTree& tree, int& problems)
{
    std::vector<ListedFile> listed;
    for (const ProductFile& file : tree.files) {
        ListedFile item;
        item.strDiskPath = file.strDiskPath;
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

// One report line per file the installer would not fetch and place into the default folder.
int AuditLines(const std::vector<ListedFile>& listed)
{
    std::vector<ListEntry> entries(listed.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        entries[i].nLine = static_cast<int>(i);
        entries[i].strText = listed[i].strLine;
    }
    int problems = 0;
    const std::vector<LineAudit> audits = AuditList(entries, kManifestFolder, kDefaultInstallDir936);
    for (size_t i = 0; i < audits.size(); ++i) {
        const char* shown = listed[i].strShown.c_str();
        const LineAudit& audit = audits[i];
        if (audit.kind == LineKind::Skipped) {
            std::printf("refused: %s: no \".\" in its path after the first character, so the installer never fetches it\n", shown);
            ++problems;
        } else if (audit.kind == LineKind::Folder) {
            std::printf("refused: %s: the installer would read it as a folder\n", shown);
            ++problems;
        } else if (audit.verdict != PathVerdict::Ok) {
            std::printf("refused: %s: %s\n", shown, PathVerdictReason(audit.verdict));
            ++problems;
        } else if (audit.localBytes > kRoomyPathBytes) {
            std::printf("warning: %s: %zu bytes as \"%s...\"; an install folder longer than the default may not hold it\n",
                        shown, audit.localBytes, kDefaultInstallDir936);
        }
    }
    for (const auto& same : FindSameNames(entries)) {
        std::printf("refused: %s: the same file on Windows as %s (names differ only in case)\n",
                    listed[same.second].strShown.c_str(), listed[same.first].strShown.c_str());
        ++problems;
    }
    return problems;
}

bool WriteWhole(const std::string& path, const std::string& bytes)
{
    unique_file file(std::fopen(path.c_str(), "wb"));
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return false;
    return std::fclose(file.release()) == 0;
}

// A Linux web server finds a file by the bytes of its request path, and the installer asks for code page
// 936 names with '/' between folders: the copy holds every file under exactly that name.
bool WriteServerCopy(const std::string& dir, const std::vector<ListedFile>& listed,
                     const std::vector<std::pair<std::string, std::string>>& outputs)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(dir, ec) && !fs::is_empty(dir, ec)) {
        std::fprintf(stderr, "qelmora-publish: %s is not empty; name a new or empty folder\n", dir.c_str());
        return false;
    }
    for (const ListedFile& file : listed) {
        std::string name = file.strLine;
        for (size_t sep = FindFirstChar936(name, "\\"); sep != std::string::npos; sep = FindFirstChar936(name, "\\", sep + 1))
            name[sep] = '/';
        const fs::path target = fs::path(dir) / name;
        fs::create_directories(target.parent_path(), ec);
        if (ec || !fs::copy_file(file.strDiskPath, target, ec)) {
            std::fprintf(stderr, "qelmora-publish: cannot copy %s: %s\n", file.strShown.c_str(), ec.message().c_str());
            return false;
        }
    }
    for (const auto& output : outputs)
        if (!WriteWhole(dir + "/" + output.first, output.second)) {
            std::fprintf(stderr, "qelmora-publish: cannot write %s/%s\n", dir.c_str(), output.first.c_str());
            return false;
        }
    return true;
}


// Every output is written beside its place first and renamed over it only when all are complete.
bool WriteOutputs(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& outputs)
{
    for (const auto& output : outputs) {
        if (!WriteWhole(dir + "/" + output.first + ".new", output.second)) {
            std::fprintf(stderr, "qelmora-publish: cannot write %s/%s: %s\n", dir.c_str(), output.first.c_str(),
                         std::strerror(errno));
            for (const auto& written : outputs)
                std::remove((dir + "/" + written.first + ".new").c_str());
            return false;
        }
    }
    for (const auto& output : outputs) {
        if (std::rename((dir + "/" + output.first + ".new").c_str(), (dir + "/" + output.first).c_str()) != 0) {
            std::fprintf(stderr, "qelmora-publish: cannot rename %s: %s\n", output.first.c_str(), std::strerror(errno));
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: qelmora-publish PRODUCT_DIR [--key PRIVATE.pem] [--server-dir NEW_DIR]\n");
        return 2;
    }
    std::string error;
    unique_evp_pkey key;
    if (!options.strKeyPath.empty() && !(key = LoadPrivateKey(options.strKeyPath, error))) {
        std::fprintf(stderr, "qelmora-publish: %s: %s\n", options.strKeyPath.c_str(), error.c_str());
        return 2;
    }
    ProductTree tree;
    if (!ReadProductTree(options.strProductDir, tree, error)) {
        std::fprintf(stderr, "qelmora-publish: %s: %s\n", options.strProductDir.c_str(), error.c_str());
        return 2;
    }
    for (const std::string& link : tree.links)
        std::printf("skipped: %s: a symbolic link\n", link.c_str());
    for (const std::string& folder : tree.emptyFolders)
        std::printf("skipped: %s/: an empty folder\n", folder.c_str());
    for (const std::string& other : tree.others)
        std::printf("skipped: %s: not a regular file\n", other.c_str());

    int problems = 0;
    const std::vector<ListedFile> listed = ListFiles(tree, problems);
    problems += AuditLines(listed);
    if (listed.empty() && problems == 0) {
        std::printf("refused: %s: no files to list\n", options.strProductDir.c_str());
        ++problems;
    }
    if (problems > 0) {
        std::printf("%d problem%s; nothing written\n", problems, problems == 1 ? "" : "s");
        return 1;
    }

    std::string list;
    for (const ListedFile& file : listed)
        list += file.strLine + "\r\n";
    std::vector<std::pair<std::string, std::string>> outputs = {{"list.txt", list}};
    if (key) {
        std::string digests;
        for (const ListedFile& file : listed) {
            Sha256Digest digest{};
            if (!Sha256OfFile(file.strDiskPath, digest, error)) {
                std::fprintf(stderr, "qelmora-publish: %s: %s\n", file.strShown.c_str(), error.c_str());
                return 2;
            }
            digests += DigestFileLine(digest, file.strLine);
        }
        std::string signature;
        if (!SignSha256(key.get(), digests, signature)) {
            std::fprintf(stderr, "qelmora-publish: signing list.sha256 failed\n");
            return 2;
        }
        outputs.emplace_back("list.sha256", digests);
        outputs.emplace_back("list.sha256.sig", signature);
    }
    if (!WriteOutputs(options.strProductDir, outputs))
        return 2;
    if (!key) {
        // Digests of an earlier list would not match this one: a build with a key would refuse the install.
        for (const char* stale : {"list.sha256", "list.sha256.sig"})
            if (std::remove((options.strProductDir + "/" + stale).c_str()) == 0)
                std::printf("removed: %s: it belonged to an earlier list\n", stale);
    }
    if (!options.strServerDir.empty()) {
        if (!WriteServerCopy(options.strServerDir, listed, outputs))
            return 2;
        std::printf("server copy: %s\n", options.strServerDir.c_str());
    }
    long long bytes = 0;
    for (const ListedFile& file : listed) {
        std::error_code ec;
        bytes += static_cast<long long>(std::filesystem::file_size(file.strDiskPath, ec));
    }
    std::printf("list.txt: %zu files, %lld bytes%s\n", listed.size(), bytes,
                key ? "; list.sha256 and list.sha256.sig signed" : "");
    return 0;
}
