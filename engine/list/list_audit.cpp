// How the publisher's tools show what the installer does with a line: refusals, wire objects, digest lines.
#include "engine/list/list_audit.h"

const char* PathVerdictReason(PathVerdict verdict)
{
    switch (verdict) {
    case PathVerdict::Ok:
        return "ok";
    case PathVerdict::Empty:
        return "names no file";
    case PathVerdict::Colon:
        return "holds ':' (a drive or a data stream)";
    case PathVerdict::Rooted:
        return "starts with a separator";
    case PathVerdict::DotDot:
        return "holds a '..' component";
    case PathVerdict::BadChar:
        return "holds a character Windows names cannot hold (<>\"|?*, a control byte or a broken two-byte character)";
    case PathVerdict::BadName:
        return "a name ends in a dot or a space, or there is no file name";
    case PathVerdict::Reserved:
        return "a device name (CON, NUL, COM1 ...) or the download suffix .~qdl";
    case PathVerdict::TooLong:
        return "the local path does not fit 259 bytes below the install folder";
    case PathVerdict::InstallerFile:
        return "unload.bat and list.txt in the install folder are the installer's own files";
    }
    return "refused";
}

std::string WireObject(const std::string& prefix, const std::string& line)
{
    std::string object = RequestObject(prefix, line);
    std::string wire;
    wire.reserve(object.size());
    size_t from = 0;
    for (size_t at = FindFirstChar936(object, "\\ "); at != std::string::npos;
         at = FindFirstChar936(object, "\\ ", at + 1)) {
        wire.append(object, from, at - from);
        wire += object[at] == ' ' ? "%20" : "/";
        from = at + 1;
    }
    wire.append(object, from, std::string::npos);
    return wire;
}

std::string DigestFileLine(const Sha256Digest& digest, long long size, const std::string& lineText)
{
    std::string text = LowerHex(digest);
    text += "  ";
    text += std::to_string(size);
    text += "  ";
    text += lineText;
    text.push_back('\n');
    return text;
}
