// Skin pictures: PNG resources decoded by the Windows Imaging Component into 32-bit DIB sections.
#pragma once

#include <windows.h>

// The resource type under which the pictures are stored (res/qelmora.rc), each under its 16-bit integer id.
constexpr char kPictureResourceType[] = "PNG";

// Pictures larger than this on either side are refused before a bitmap is made or a pixel copied.
constexpr UINT kMaxPictureSide = 2048;

// Decodes PNG resource `id` of `module` into a top-down 32-bit DIB section that any GDI call taking an
// HBITMAP accepts. Null when there is no such resource or it does not decode whole (damaged, too large,
// the imaging component missing): the caller then leaves that picture blank. Works on any thread; COM is
// initialised for the call where the thread has not done so itself.
HBITMAP LoadPictureResource(HMODULE module, WORD id);
