// The one reading of a manifest: what each line asks for, whether it is refused and why, and where it goes.
#include "engine/list/list_plan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/list/list_files.h"

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

// Only ASCII letters upcase to ASCII letters in GBK: a line without name's bytes in some case cannot name
// that file, and needs no key.
bool MayName(std::string_view line, const char* name)
{
    const size_t n = std::strlen(name);
    for (size_t at = 0; at + n <= line.size(); ++at) {
        size_t k = 0;
        while (k < n && (line[at + k] | 0x20) == name[k])
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
    // for the lines that go on from it, never by taking every line apart at every separator. Each line is
    // then read on its own, in that order.
    std::vector<std::uint32_t> sorted;
    for (size_t i = 0; i < n; ++i) {
        const std::string_view line = lines.Line(i);
        LinePlan& plan = m_plans[i];
        const std::string request = RequestPath(i);
        if (LengthWithoutFinalSeparators936(line) != line.size())
            plan.kind = LineKind::Folder;
        else if (IsFetchedLine(request))
            plan.kind = LineKind::File;
        // A line that could not fit below any folder is refused whatever it holds, and takes no part in
        // telling folders from files: a line's kind never depends on the install folder.
        const std::string relative = RelativePathOf(request);
        if (LengthWithoutFinalSeparators936(relative) >= kMaxPathBytes) {
            if (plan.kind != LineKind::Skipped)
                plan.verdict = PathVerdict::TooLong;
            continue;
        }
        sorted.push_back(static_cast<std::uint32_t>(i));
    }
    std::sort(sorted.begin(), sorted.end(),
              [&lines](std::uint32_t a, std::uint32_t b) { return lines.Line(a) < lines.Line(b); });
    const auto goesOn = [&](const std::string& start) {
        const auto found = std::lower_bound(sorted.begin(), sorted.end(), start, [&lines](std::uint32_t a, const std::string& s) {
            return lines.Line(a) < s;
        });
        return found != sorted.end() && lines.Line(*found).substr(0, start.size()) == start;
    };

    std::vector<std::string> reservedKeys;
    for (const char* name : kReservedRootNames)
        reservedKeys.push_back(SameFileKey(m_installDir + name));
    for (const size_t i : sorted) {
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
        for (size_t r = 0; r < reservedKeys.size() && plan.verdict == PathVerdict::Ok; ++r)
            if (MayName(line, kReservedRootNames[r]) && IsUnder(FileKey(i), reservedKeys[r]))
                plan.verdict = PathVerdict::InstallerFile;
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

std::vector<size_t> ListPlan::FetchLines() const
{
    std::vector<size_t> fetched;
    for (size_t i = 0; i < m_plans.size(); ++i)
        if (m_plans[i].kind == LineKind::File && !m_plans[i].Refused())
            fetched.push_back(i);
    return fetched;
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
    // Every file and folder line's key below the install folder, packed in one block and sorted: a file
    // twice is two equal keys side by side, and a file that is another line's folder is a key that some
    // other key goes on from with a separator. The memory stays near the list's own size.
    const size_t skip = SameFileKey(m_installDir).size();
    size_t count = 0;
    for (const LinePlan& plan : m_plans)
        count += plan.kind != LineKind::Skipped && !plan.Refused();
    std::string keys;
    std::vector<std::uint32_t> starts, owners;
    starts.reserve(count + 1);
    owners.reserve(count);
    for (size_t i = 0; i < m_plans.size(); ++i) {
        const LinePlan& plan = m_plans[i];
        if (plan.kind == LineKind::Skipped || plan.Refused())
            continue;
        const std::string key = FileKey(i);
        starts.push_back(static_cast<std::uint32_t>(keys.size()));
        owners.push_back(static_cast<std::uint32_t>(i));
        keys.append(key, std::min(skip, key.size()), std::string::npos);
    }
    starts.push_back(static_cast<std::uint32_t>(keys.size()));
    const auto keyOf = [&](std::uint32_t k) {
        return std::string_view(keys).substr(starts[k], starts[k + 1] - starts[k]);
    };
    std::vector<std::uint32_t> order(owners.size());
    for (std::uint32_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return keyOf(a) < keyOf(b); });

    std::vector<std::pair<size_t, size_t>> same;
    const auto isFile = [&](std::uint32_t k) { return m_plans[owners[k]].kind == LineKind::File; };
    const auto pair = [&](std::uint32_t a, std::uint32_t b) {
        same.emplace_back(std::min(owners[a], owners[b]), std::max(owners[a], owners[b]));
    };
    for (size_t at = 0; at < order.size();) {
        // A run of equal keys: every file in it is the same file as the run's first line, and a folder
        // line in it makes a file of that name impossible.
        size_t end = at + 1;
        while (end < order.size() && keyOf(order[end]) == keyOf(order[at]))
            ++end;
        std::uint32_t first = order[at];
        for (size_t k = at; k < end; ++k)
            if (owners[order[k]] < owners[first])
                first = order[k];
        bool anyFile = false;
        for (size_t k = at; k < end; ++k) {
            anyFile = anyFile || isFile(order[k]);
            if (order[k] != first && (isFile(order[k]) || isFile(first)))
                pair(first, order[k]);
        }
        // A file spelt like a folder that another line lies in: the folder is made first and the file
        // fails, or the other way round.
        if (anyFile) {
            const std::string below = std::string(keyOf(order[at])) + "\\";
            const auto found = std::lower_bound(order.begin() + static_cast<std::ptrdiff_t>(end), order.end(), below,
                                                [&](std::uint32_t k, const std::string& s) { return keyOf(k) < s; });
            if (found != order.end() && keyOf(*found).substr(0, below.size()) == below)
                pair(first, *found);
        }
        at = end;
    }
    std::sort(same.begin(), same.end());
    same.erase(std::unique(same.begin(), same.end()), same.end());
    return same;
}
