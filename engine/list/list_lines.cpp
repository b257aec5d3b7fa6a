// Read access to a manifest's lines, whether held as ListEntry records or packed in one block.
#include "engine/list/list_lines.h"

#include <limits>

#include "engine/list/list_files.h"

bool PackedLines::Read(const char* data, size_t size)
{
    return Adopt(std::string(data, size));
}

bool PackedLines::Adopt(std::string text)
{
    m_text = std::move(text);
    m_starts.clear();
    if (m_text.size() >= std::numeric_limits<std::uint32_t>::max()) {
        m_text.clear();
        return false;
    }
    // CRs go in place: the list is never held twice.
    size_t kept = 0;
    bool lineOpen = false;   // a line opens only at a byte that is not CR, so a last line holds something
    for (size_t i = 0; i < m_text.size(); ++i) {
        const char c = m_text[i];
        if (c == '\r')
            continue;
        if (!lineOpen) {
            m_starts.push_back(static_cast<std::uint32_t>(kept));
            lineOpen = true;
        }
        m_text[kept++] = c;
        if (c == '\n')
            lineOpen = false;
    }
    m_text.resize(kept);
    m_starts.shrink_to_fit();
    if (m_starts.size() > kMaxManifestLines) {
        m_text.clear();
        m_starts.clear();
        return false;
    }
    return true;
}

std::string_view PackedLines::Line(size_t i) const
{
    const size_t start = m_starts[i];
    size_t end = i + 1 < m_starts.size() ? m_starts[i + 1] : m_text.size();
    if (end > start && m_text[end - 1] == '\n')
        --end;   // a last line without LF has none to drop
    return std::string_view(m_text).substr(start, end - start);
}
