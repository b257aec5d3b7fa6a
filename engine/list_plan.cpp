// The one reading of a manifest: what each line asks for, whether it is refused and why, and where it goes.
#include "engine/list_plan.h"

#include <algorithm>
#include <unordered_map>

#include "engine/list_files.h"

namespace {

// True when s ends in the first byte of a two-byte character: another line that goes on from s would
// join that byte with its own next one, so s is no folder of it.
bool EndsInLeadByte(std::string_view s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        if (IsLeadByte936(static_cast<unsigned char>(s[i]))) {
            if (i + 1 == s.size())
                return true;
            ++i;
        }
    }
    return false;
}

bool MayNameScript(const std::string& line)
{
    const size_t n = sizeof kUninstallScriptName - 1;
    for (size_t at = 0; at + n <= line.size(); ++at) {
        size_t k = 0;
        while (k < n && (line[at + k] | 0x20) == kUninstallScriptName[k])
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

bool IsUnder(const std::string& key, const std::string& folderKey)
{
    return key.compare(0, folderKey.size(), folderKey) == 0 &&
           (key.size() == folderKey.size() || key[folderKey.size()] == '\\');
}

}  // namespace

ListPlan::ListPlan(const ListLines& lines, std::string prefix, std::string installDir)
    : m_lines(lines), m_prefix(std::move(prefix)), m_installDir(std::move(installDir)), m_plans(lines.size())
{
    const size_t n = lines.size();
    // The lines that could be placed at all, sorted by their bytes: a folder is found by a binary search
    // for the lines that go on from it, never by taking every line apart at every separator.
    std::vector<size_t> placeable;
    for (size_t i = 0; i < n; ++i) {
        const std::string_view line = lines.Line(i);
        LinePlan& plan = m_plans[i];
        const std::string request = RequestPath(i);
        if (LengthWithoutFinalSeparators936(line) != line.size())
            plan.kind = LineKind::Folder;
        else if (IsFetchedLine(request))
            plan.kind = LineKind::File;
        const std::string relative = RelativePathOf(request);
        if (m_installDir.size() + LengthWithoutFinalSeparators936(relative) >= kMaxPathBytes) {
            if (plan.kind != LineKind::Skipped)
                plan.verdict = PathVerdict::TooLong;
            continue;
        }
        placeable.push_back(i);
    }
    std::vector<size_t> sorted = placeable;
    std::sort(sorted.begin(), sorted.end(), [&lines](size_t a, size_t b) { return lines.Line(a) < lines.Line(b); });
    const auto goesOn = [&](const std::string& start) {
        const auto found = std::lower_bound(sorted.begin(), sorted.end(), start, [&lines](size_t a, const std::string& s) {
            return lines.Line(a) < s;
        });
        return found != sorted.end() && lines.Line(*found).substr(0, start.size()) == start;
    };

    const std::string scriptKey = SameFileKey(m_installDir + kUninstallScriptName);
    for (size_t i : placeable) {
        const std::string line(lines.Line(i));
        LinePlan& plan = m_plans[i];
        if (plan.kind != LineKind::Folder && !line.empty() && !EndsInLeadByte(line) &&
            (goesOn(line + "\\") || goesOn(line + "/")))
            plan.kind = LineKind::Folder;
        switch (plan.kind) {
        case LineKind::Folder:
            plan.verdict = CheckLocalFolder(m_installDir, line);
            break;
        case LineKind::File:
            plan.verdict = CheckLocalPath(m_installDir, RelativePathOf(RequestPath(i)));
            break;
        case LineKind::Skipped:
            continue;
        }
        // Only ASCII letters upcase to ASCII letters in GBK: a line without those ten bytes in some case
        // cannot name the script, and needs no key.
        if (plan.verdict == PathVerdict::Ok && MayNameScript(line) && IsUnder(FileKey(i), scriptKey))
            plan.verdict = PathVerdict::ScriptName;
    }
}

std::string ListPlan::RequestPath(size_t i) const
{
    std::string path = m_prefix;
    path.append(m_lines.Line(i));
    return path;
}

std::string ListPlan::LocalPath(size_t i) const
{
    if (m_plans[i].kind != LineKind::Folder)
        return m_installDir + RelativePathOf(RequestPath(i));
    std::string folder = m_installDir;
    folder.append(m_lines.Line(i));
    if (LengthWithoutFinalSeparators936(folder) == folder.size())
        folder += "\\";
    return folder;
}

size_t ListPlan::LocalBytes(size_t i) const
{
    return LengthWithoutFinalSeparators936(LocalPath(i));
}

std::vector<size_t> ListPlan::FileLines() const
{
    std::vector<size_t> files;
    for (size_t i = 0; i < m_plans.size(); ++i)
        if (m_plans[i].kind == LineKind::File)
            files.push_back(i);
    return files;
}

std::string ListPlan::FileKey(size_t i) const
{
    std::string key = SameFileKey(LocalPath(i));
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    return key;
}

std::vector<std::pair<size_t, size_t>> ListPlan::SameFiles() const
{
    std::unordered_map<std::string, size_t> files;     // a file's key -> the first line with it
    std::unordered_map<std::string, size_t> folders;   // a folder's key (a line's or one above a line) -> a line
    std::vector<std::pair<size_t, size_t>> same;
    std::vector<std::pair<size_t, std::string>> fileKeys;
    for (size_t i = 0; i < m_plans.size(); ++i) {
        const LinePlan& plan = m_plans[i];
        if (plan.kind == LineKind::Skipped || plan.Refused())
            continue;
        const std::string key = FileKey(i);
        if (plan.kind == LineKind::Folder) {
            folders.emplace(key, i);
        } else {
            const auto first = files.emplace(key, i);
            if (!first.second)
                same.emplace_back(first.first->second, i);
            fileKeys.emplace_back(i, key);
        }
        for (size_t sep = key.find('\\'); sep != std::string::npos; sep = key.find('\\', sep + 1))
            folders.emplace(key.substr(0, sep), i);
    }
    // A file spelt like a folder: the folder is made first and the file fails, or the other way round.
    for (const auto& file : fileKeys) {
        const auto folder = folders.find(file.second);
        if (folder != folders.end())
            same.emplace_back(std::min(file.first, folder->second), std::max(file.first, folder->second));
    }
    std::sort(same.begin(), same.end());
    same.erase(std::unique(same.begin(), same.end()), same.end());
    return same;
}
