// Painting a whole client area off-screen and bringing it to the screen in one BitBlt.
#pragma once

#include <windows.h>

#include "platform/handles.h"

// WM_PAINT for a skinned window: draw(dc) composes the client area in a memory DC of the client's
// size; only the finished picture reaches the screen.
template <typename Draw>
void PaintBuffered(HWND hwnd, Draw draw)
{
    paint_dc paint(hwnd);
    RECT client;
    ::GetClientRect(hwnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    unique_memory_dc memory(::CreateCompatibleDC(paint.get()));
    unique_hbitmap frame(::CreateCompatibleBitmap(paint.get(), width, height));
    select_guard selectFrame(memory.get(), frame.get());
    draw(memory.get());
    ::BitBlt(paint.get(), client.left, client.top, width, height, memory.get(), 0, 0, SRCCOPY);
}

// Fills the client area with a picture, its top-left corner at the client's (repeated if smaller).
// Without a picture (one that did not decode) the area is plain dialog colour, on which the window's
// buttons and texts stay usable.
inline void FillWithPattern(HDC dc, HWND hwnd, HBITMAP picture)
{
    RECT client;
    ::GetClientRect(hwnd, &client);
    if (!picture) {
        ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    unique_hbrush pattern(::CreatePatternBrush(picture));
    ::FillRect(dc, &client, pattern.get());
}
