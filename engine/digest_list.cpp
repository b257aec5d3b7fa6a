// list.sha256's digest lines: the SHA-256 of every file line's file, bound to list.txt's lines.
#include "engine/digest_list.h"

#include <algorithm>

namespace {

constexpr size_t kHexDigits = 64;
const char kSeparator[] = "  ";

}  // namespace

bool DigestList::Read(const char* data, size_t size, const ListLines& lines, const std::vector<size_t>& files)
{
    m_digests.clear();
    m_lineIndexes.clear();
    std::vector<Sha256Digest> digests;
    digests.reserve(files.size());
    std::string text;
    size_t k = 0;
    // Each line as list.txt's reader has it: up to LF, without CRs; a last line without LF counts when it
    // holds something.
    const auto endLine = [&]() {
        Sha256Digest digest{};
        if (k >= files.size() || files[k] >= lines.size() || (k > 0 && files[k] <= files[k - 1]))
            return false;
        if (text.size() < kHexDigits + 2 || text.compare(kHexDigits, 2, kSeparator) != 0 ||
            !ParseLowerHexDigest(text.data(), kHexDigits, digest) ||
            lines.Line(files[k]) != std::string_view(text).substr(kHexDigits + 2))
            return false;
        digests.push_back(digest);
        ++k;
        text.clear();
        return true;
    };
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            if (!endLine())
                return false;
        } else if (data[i] != '\r') {
            text.push_back(data[i]);
        }
    }
    if (!text.empty() && !endLine())
        return false;
    if (k != files.size())
        return false;
    m_digests.swap(digests);
    m_lineIndexes = files;
    return true;
}

const Sha256Digest* DigestList::DigestOf(size_t index) const
{
    const auto found = std::lower_bound(m_lineIndexes.begin(), m_lineIndexes.end(), index);
    if (found == m_lineIndexes.end() || *found != index)
        return nullptr;
    return &m_digests[static_cast<size_t>(found - m_lineIndexes.begin())];
}
