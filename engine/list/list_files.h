// The file list's names and limits, for the installer and the publisher's tools alike.
#pragma once

#include <cstddef>
#include <string>

// The side files beside list.txt on the server, and the one the installer writes into the install folder.
inline constexpr char kListFileName[] = "list.txt";
inline constexpr char kDigestListName[] = "list.sha256";
inline constexpr char kSignatureName[] = "list.sha256.sig";
inline constexpr char kUninstallScriptName[] = "unload.bat";

// The installer's own files at the install folder's root, in any case: it writes unload.bat, and removes a
// list.txt there at the end of every run. No list line may name either (or a path below either).
inline constexpr const char* kReservedRootNames[] = {kUninstallScriptName, kListFileName};

// One of those files as the worker names it: the install folder (ending in a separator), "//" and the name.
inline std::string InstallFolderFile(const std::string& installDir, const char* name)
{
    return installDir + "//" + name;
}

// The folder a quick install uses; the publisher's tools measure local paths below it.
inline constexpr char kDefaultInstallDir936[] = "C:\\Program Files\\Qelmora\\";

// No publisher's list comes near this; a larger answer is not a manifest and must not exhaust memory.
inline constexpr long long kMaxManifestBytes = 64LL * 1024 * 1024;
// Nor this many lines: a list of nothing but line feeds must not cost a record a byte before it is refused.
inline constexpr size_t kMaxManifestLines = 4 * 1024 * 1024;
// The header, then 64 hex digits, a size and a line for every file: never more than this.
inline constexpr size_t kDigestListLimit = 64 * 1024 * 1024;
// A DER ECDSA P-256 signature holds at most 72 bytes.
inline constexpr size_t kSignatureLimit = 256;
