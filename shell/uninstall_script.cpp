// The uninstall script unload.bat while it is written, and the lock that keeps it whole.
#include "shell/uninstall_script.h"

#include <cstring>

#include "shell/batch_lines.h"

void UninstallScript::Open(const std::string& path)
{
    CSingleLock lock(m_cs);
    m_file.reset(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    m_bSealed = false;
}

bool UninstallScript::IsOpen()
{
    CSingleLock lock(m_cs);
    return static_cast<bool>(m_file);
}

void UninstallScript::Append(const std::string& bytes)
{
    CSingleLock lock(m_cs);
    if (m_bSealed || !m_file)
        return;
    DWORD written = 0;
    ::WriteFile(m_file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

unique_file UninstallScript::BeginDownload(const std::string& tempPath)
{
    CSingleLock lock(m_cs);
    if (m_bSealed)
        return unique_file();
    unique_file file(::CreateFileA(tempPath.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        m_strInFlight = tempPath;
    return file;
}

UninstallScript::PlaceResult UninstallScript::PlaceDownload(const std::string& tempPath,
                                                            const std::string& target,
                                                            const std::string& line, DWORD* error)
{
    CSingleLock lock(m_cs);
    *error = ERROR_SUCCESS;
    if (m_bSealed)
        return PlaceResult::Abandoned;
    if (!::MoveFileExA(tempPath.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        *error = ::GetLastError();
        return PlaceResult::Failed;
    }
    m_strInFlight.clear();
    if (m_file) {
        DWORD written = 0;
        ::WriteFile(m_file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    return PlaceResult::Placed;
}

void UninstallScript::DiscardDownload(const std::string& tempPath)
{
    CSingleLock lock(m_cs);
    ::DeleteFileA(tempPath.c_str());
    if (m_strInFlight == tempPath)
        m_strInFlight.clear();
}

void UninstallScript::Seal()
{
    CSingleLock lock(m_cs);
    if (m_bSealed)
        return;
    m_bSealed = true;
    if (!m_strInFlight.empty()) {
        ::DeleteFileA(m_strInFlight.c_str());
        m_strInFlight.clear();
    }
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
