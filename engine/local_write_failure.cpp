// A local write failure ends the install run: it is not the server's fault, and no call can mend it.
#include "engine/install_engine.h"

#include "engine/list/path_rules.h"
#include "shell/writable_folder.h"

void CInstallEngine::NoteLocalFailure(DWORD error)
{
    // The first cause is the one told; fetchers that fail after it only confirm it.
    DWORD none = ERROR_SUCCESS;
    m_localError.compare_exchange_strong(none, error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error);
}

void CInstallEngine::NoteIfFolderFails(DWORD error, const std::string& local)
{
    if (IsDiskFull(error)) {
        NoteLocalFailure(error);
        return;
    }
    // A file that cannot be created where others can (a name the system refuses, a read-only leftover, a
    // folder in its way) is that file's failure; a folder that takes no file at all (access denied, a
    // read-only or vanished drive) is the run's end.
    const std::vector<std::string> folders = FolderLevels(local);
    const DWORD probe = ProbeWritableFolder(folders.empty() ? local : folders.back() + "\\");
    if (probe != ERROR_SUCCESS && probe != ERROR_DIRECTORY && probe != ERROR_INVALID_NAME)
        NoteLocalFailure(probe);
}

bool CInstallEngine::EndedByLocalFailure()
{
    const DWORD error = m_localError.load();
    if (error == ERROR_SUCCESS)
        return false;
    m_outcome = InstallOutcome{IsDiskFull(error) ? InstallEnd::DiskFull : InstallEnd::CannotWrite, 0};
    return true;
}
