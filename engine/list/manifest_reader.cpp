// Turns the bytes of list.txt into ListEntry records, one per line.
#include "engine/list/manifest_reader.h"

#include "engine/list/list_files.h"

bool ManifestReader::Feed(const char* data, size_t size)
{
    return m_reader.Feed(data, size, [this](std::string& line) { return Take(line); });
}

bool ManifestReader::Finish()
{
    return m_reader.Finish([this](std::string& line) { return Take(line); });
}

bool ManifestReader::Take(std::string& line)
{
    if (m_entries.size() >= kMaxManifestLines)
        return false;
    ListEntry entry;
    entry.nLine = static_cast<int>(m_entries.size());
    entry.strText.swap(line);
    m_entries.push_back(std::move(entry));
    return true;
}
