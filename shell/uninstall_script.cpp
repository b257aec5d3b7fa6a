// The uninstall script unload.bat while it is written, and the lock that keeps it whole.
#include "shell/uninstall_script.h"

#include <cstring>

#include "engine/list/path_rules.h"
#include "platform/wide_names.h"
#include "shell/batch_lines.h"

namespace {

// "\\?\C:\..." or "\\?\UNC\server\share\...": the system takes the name as it is, without the
// 260-character limit of the plain form.
std::wstring ExtendedLengthPath(const std::string& path)
{
    std::string literal = LiteralPath936(path);
    std::wstring prefix = L"\\\\?\\";
    if (literal.compare(0, 2, "\\\\") == 0) {
        literal.erase(0, 2);
        prefix += L"UNC\\";
    }
    std::wstring wide;
    if (!WideFrom936(literal, wide))
        return std::wstring();   // names nothing: the call fails
    return prefix + wide;
}

void DeleteTemporary(const std::string& tempPath) { ::DeleteFileW(ExtendedLengthPath(tempPath).c_str()); }

}  // namespace

bool UninstallScript::Open(const std::string& path)
{
    CSingleLock lock(m_cs);
    if (m_bSealed)
        return false;
    m_file.reset(::CreateFileW(WideFrom936(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (m_file) {
        DWORD written = 0;
        ::WriteFile(m_file.get(), kScriptFirstLine, static_cast<DWORD>(std::strlen(kScriptFirstLine)), &written, nullptr);
    }
    return static_cast<bool>(m_file);
}

unique_file UninstallScript::BeginDownload(const std::string& tempPath)
{
    CSingleLock lock(m_cs);
    if (m_bSealed)
        return unique_file();
    unique_file file(::CreateFileW(ExtendedLengthPath(tempPath).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        m_inFlight.insert(tempPath);
    return file;
}

UninstallScript::PlaceResult UninstallScript::PlaceDownload(const std::string& tempPath,
                                                            const std::string& target, DWORD* error)
{
    CSingleLock lock(m_cs);
    *error = ERROR_SUCCESS;
    if (m_bSealed)
        return PlaceResult::Abandoned;
    if (!::MoveFileExW(ExtendedLengthPath(tempPath).c_str(), ExtendedLengthPath(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING)) {
        *error = ::GetLastError();
        return PlaceResult::Failed;
    }
    m_inFlight.erase(tempPath);
    WriteLine(Line::Delete, WideFrom936(target));
    return PlaceResult::Placed;
}

bool UninstallScript::MakeAndRecord(const std::function<bool()>& make, Line line, const std::wstring& path)
{
    CSingleLock lock(m_cs);
    if (m_bSealed || !make())
        return false;
    WriteLine(line, path);
    return true;
}

void UninstallScript::WriteLine(Line line, const std::wstring& path)
{
    std::string name;
    if (!m_file || !ScriptNameOf(path, name))
        return;
    const std::string bytes = line == Line::Delete ? FileDeleteLine(name) : FolderRemovalLine(name);
    DWORD written = 0;
    ::WriteFile(m_file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void UninstallScript::DiscardDownload(const std::string& tempPath)
{
    CSingleLock lock(m_cs);
    DeleteTemporary(tempPath);
    m_inFlight.erase(tempPath);
}

void UninstallScript::Seal()
{
    CSingleLock lock(m_cs);
    if (m_bSealed)
        return;
    m_bSealed = true;
    for (const std::string& temp : m_inFlight)
        DeleteTemporary(temp);
    m_inFlight.clear();
    if (m_file) {
        DWORD written = 0;
        ::WriteFile(m_file.get(), kSelfDeleteLine, static_cast<DWORD>(std::strlen(kSelfDeleteLine)), &written, nullptr);
        m_file.reset();
    }
}

bool UninstallScript::IsSealed()
{
    CSingleLock lock(m_cs);
    return m_bSealed;
}

bool ScriptNameOf(const std::wstring& path, std::string& name)
{
    const auto escaped = [](const std::wstring& wide) {
        const std::u16string units = EscapeForBatch(std::u16string(wide.begin(), wide.end()));
        return std::wstring(units.begin(), units.end());
    };
    if (path.empty())
        return false;
    if (OemFromWide(escaped(path), name))
        return true;
    const std::wstring shortPath = ShortPathOf(path);
    return !shortPath.empty() && OemFromWide(escaped(shortPath), name);
}
