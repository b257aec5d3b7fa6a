// Reading the rectangles of a dialog template and mapping dialog units to pixels with given base units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A rectangle in dialog units (x, y, width, height), as a template stores it.
struct DialogUnitRect {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

struct DialogItemLayout {
    int32_t id = 0;          // as the template gives it; -1 for the usual unnamed static
    DialogUnitRect rect;
};

struct DialogLayout {
    uint32_t style = 0;
    DialogUnitRect rect;                  // the dialog's own; its size is the client area's
    std::vector<DialogItemLayout> items;  // in template order, which is also creation order
};

// Reads a DLGTEMPLATE or DLGTEMPLATEEX resource (little-endian, starting on a 4-byte boundary).
// False when the bytes end before the template does; layout is then unspecified.
bool ReadDialogLayout(const unsigned char* data, size_t size, DialogLayout& layout);

// Horizontal and vertical dialog base units: pixels per 4 horizontal and per 8 vertical dialog units.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
};

// The pixel rectangle of a template rectangle; position and size are mapped one by one and rounded
// as MulDiv rounds, as the system does when it builds a dialog.
DialogUnitRect DialogUnitsToPixels(const DialogUnitRect& rect, DialogBaseUnits units);

// Base units of the templates' fonts on a Chinese Windows at 96 dpi, where the skins' art and its
// fixed paint coordinates were made.
constexpr DialogBaseUnits kSong9ptUnits{6, 12};       // 宋体 9 pt
constexpr DialogBaseUnits kShellDlg8ptUnits{6, 11};   // "MS Shell Dlg" 8 pt, which is 宋体 there
