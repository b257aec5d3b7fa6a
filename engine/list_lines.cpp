// Read access to a manifest's lines, whether held as ListEntry records or packed in one block.
#include "engine/list_lines.h"

#include <limits>

bool PackedLines::Read(const char* data, size_t size)
{
    m_text.clear();
    m_starts.clear();
    if (size >= std::numeric_limits<std::uint32_t>::max())
        return false;
    m_text.reserve(size + 1);
    bool lineOpen = false;
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\r')
            continue;
        if (!lineOpen) {
            m_starts.push_back(static_cast<std::uint32_t>(m_text.size()));
            lineOpen = true;
        }
        m_text.push_back(c);
        if (c == '\n')
            lineOpen = false;
    }
    // A last line without LF (a line opens only at a byte that is not CR, so it holds something).
    if (lineOpen)
        m_text.push_back('\n');
    m_starts.shrink_to_fit();
    return true;
}

std::string_view PackedLines::Line(size_t i) const
{
    const size_t start = m_starts[i];
    const size_t end = i + 1 < m_starts.size() ? m_starts[i + 1] : m_text.size();
    return std::string_view(m_text).substr(start, end - start - 1);
}
