// list.sha256's digest lines: the SHA-256 of every file line's file, bound to list.txt's lines.
#include "engine/list/digest_list.h"

#include <algorithm>

namespace {

constexpr size_t kHexDigits = 64;
const char kSeparator[] = "  ";

}  // namespace

bool DigestList::Read(const char* data, size_t size, const ListLines& lines, const std::vector<size_t>& files)
{
    m_digests.clear();
    m_sizes.clear();
    m_lineIndexes.clear();
    std::vector<Sha256Digest> digests;
    std::vector<long long> sizes;
    digests.reserve(files.size());
    sizes.reserve(files.size());
    size_t k = 0;
    const auto endLine = [&](const std::string& text) {
        Sha256Digest digest{};
        long long bytes = 0;
        if (k >= files.size() || files[k] >= lines.size() || (k > 0 && files[k] <= files[k - 1]))
            return false;
        if (text.size() < kHexDigits + 2 || text.compare(kHexDigits, 2, kSeparator) != 0 ||
            !ParseLowerHexDigest(text.data(), kHexDigits, digest))
            return false;
        // The size runs to its first non-digit, which must start the second separator: a line's text
        // may itself start with digits or spaces.
        const size_t sizeStart = kHexDigits + 2;
        size_t sizeEnd = sizeStart;
        while (sizeEnd < text.size() && text[sizeEnd] >= '0' && text[sizeEnd] <= '9')
            ++sizeEnd;
        if (!ParseFileSize(text.data() + sizeStart, sizeEnd - sizeStart, bytes) ||
            text.compare(sizeEnd, 2, kSeparator) != 0 ||
            lines.Line(files[k]) != std::string_view(text).substr(sizeEnd + 2))
            return false;
        digests.push_back(digest);
        sizes.push_back(bytes);
        ++k;
        return true;
    };
    // Each line as list.txt's lines are read, so both files' lines compare alike.
    LineReader reader;
    if (!reader.Feed(data, size, endLine) || !reader.Finish(endLine))
        return false;
    if (k != files.size())
        return false;
    m_digests.swap(digests);
    m_sizes.swap(sizes);
    m_lineIndexes = files;
    return true;
}

size_t DigestList::Find(size_t index) const
{
    const auto found = std::lower_bound(m_lineIndexes.begin(), m_lineIndexes.end(), index);
    if (found == m_lineIndexes.end() || *found != index)
        return m_lineIndexes.size();
    return static_cast<size_t>(found - m_lineIndexes.begin());
}

const Sha256Digest* DigestList::DigestOf(size_t index) const
{
    const size_t k = Find(index);
    return k < m_digests.size() ? &m_digests[k] : nullptr;
}

long long DigestList::SizeOf(size_t index) const
{
    const size_t k = Find(index);
    return k < m_sizes.size() ? m_sizes[k] : -1;
}
