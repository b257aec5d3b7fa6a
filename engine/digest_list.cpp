// list.sha256: the SHA-256 of every fetched manifest line's file, and its binding to list.txt's lines.
#include "engine/digest_list.h"

#include <algorithm>

#include "engine/manifest_reader.h"

namespace {

constexpr size_t kHexDigits = 64;
const char kSeparator[] = "  ";

int LowerHexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

bool ParseLowerHexDigest(const char* text, size_t size, Sha256Digest& digest)
{
    if (size != kHexDigits)
        return false;
    for (size_t i = 0; i < digest.size(); ++i) {
        const int high = LowerHexValue(text[2 * i]);
        const int low = LowerHexValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        digest[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return true;
}

bool DigestList::Read(const char* data, size_t size)
{
    m_lines.clear();
    m_entryIndexes.clear();
    std::vector<ListEntry> rawLines;
    ManifestReader reader(rawLines);
    reader.Feed(data, size);
    reader.Finish();

    std::vector<DigestLine> lines;
    lines.reserve(rawLines.size());
    for (ListEntry& raw : rawLines) {
        const std::string& text = raw.strText;
        DigestLine line;
        if (text.size() < kHexDigits + 2 || text.compare(kHexDigits, 2, kSeparator) != 0 ||
            !ParseLowerHexDigest(text.data(), kHexDigits, line.digest))
            return false;
        line.strText = text.substr(kHexDigits + 2);
        lines.push_back(std::move(line));
    }
    m_lines.swap(lines);
    return true;
}

bool DigestList::Bind(const std::vector<ListEntry>& entries, const std::vector<size_t>& fetched)
{
    m_entryIndexes.clear();
    if (fetched.size() != m_lines.size())
        return false;
    for (size_t k = 0; k < fetched.size(); ++k) {
        const size_t index = fetched[k];
        if (index >= entries.size() || (k > 0 && index <= fetched[k - 1]))
            return false;
        if (entries[index].strText != m_lines[k].strText)
            return false;
    }
    m_entryIndexes = fetched;
    return true;
}

const Sha256Digest* DigestList::DigestOf(size_t index) const
{
    const auto found = std::lower_bound(m_entryIndexes.begin(), m_entryIndexes.end(), index);
    if (found == m_entryIndexes.end() || *found != index)
        return nullptr;
    return &m_lines[static_cast<size_t>(found - m_entryIndexes.begin())].digest;
}
