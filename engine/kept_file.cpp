// A file already in place: with a verified signed list, a file that is already the signed one is kept, not fetched.
#include "engine/install_engine.h"

#include <algorithm>

#include "engine/list/path_rules.h"
#include "platform/handles.h"
#include "platform/wide_names.h"
#include "shell/uninstall_script.h"

CDownloadQueue::Fetched CInstallEngine::KeepOrFetch(const std::string& requestPath, size_t entry,
                                                    std::vector<char>& buffer, const std::atomic<bool>& cancelled)
{
    const std::string local = m_strInstallDir + RelativePathOf(requestPath);
    switch (CheckInPlace(entry, local, buffer, cancelled)) {
    case InPlace::Kept:
        // A temporary file left by an earlier run that was killed mid-download goes all the same.
        m_script.DiscardDownload(TempPathFor(local));
        return CDownloadQueue::Fetched{CDownloadQueue::Result::Kept, ERROR_SUCCESS};
    case InPlace::Stopped:
        return CDownloadQueue::Fetched{CDownloadQueue::Result::Abandoned, ERROR_SUCCESS};
    case InPlace::Fetch:
        break;
    }
    return FetchFile(requestPath, entry, buffer, cancelled);
}

// Only the list's signed size and SHA-256 say a file is right: without a verified list (no key built in)
// nothing is ever kept, whatever its size or date. The size is compared first, so a file of another size
// is not read. A folder, a reparse point (a link could lead anywhere) or a file that cannot be opened
// for reading alone (missing, locked, no access) is fetched.
CInstallEngine::InPlace CInstallEngine::CheckInPlace(size_t entry, const std::string& local,
                                                     std::vector<char>& buffer, const std::atomic<bool>& cancelled)
{
    const Sha256Digest* expected = m_verifier.DigestOf(entry);
    const long long size = m_verifier.SizeOf(entry);
    if (!m_verifier.HasKey() || expected == nullptr || size < 0 || buffer.empty())
        return InPlace::Fetch;
    unique_file file(::CreateFileW(WideFrom936(local).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file || !::GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        ((static_cast<long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow) != size)
        return InPlace::Fetch;
    unique_bcrypt_hash hash = m_verifier.NewHash();
    if (!hash)
        return InPlace::Fetch;
    long long left = size;
    while (left > 0) {
        // Between reads: a pause holds the check, a stop ends it.
        if (!WaitBeforeCall(0, cancelled))
            return InPlace::Stopped;
        const DWORD want = static_cast<DWORD>(std::min<long long>(left, static_cast<long long>(buffer.size())));
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer.data(), want, &got, nullptr) || got == 0)
            return InPlace::Fetch;
        if (::BCryptHashData(hash.get(), reinterpret_cast<PUCHAR>(buffer.data()), got, 0) < 0)
            return InPlace::Fetch;
        left -= got;
    }
    Sha256Digest digest{};
    if (::BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0) < 0)
        return InPlace::Fetch;
    return digest == *expected ? InPlace::Kept : InPlace::Fetch;
}

bool CInstallEngine::RecordKept(const std::string& local)
{
    return m_script.MakeAndRecord([]() { return true; }, UninstallScript::Line::Delete, WideFrom936(local));
}
