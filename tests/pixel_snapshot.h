// Pixels as a user sees them: a 32-bit memory bitmap that a test paints into,
// or a copy of what a window shows, read without one GDI call per pixel.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(255, 255, 255))
    {
        Make(width, height);
        RECT all = All();
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(m_dc, &all, brush);
        DeleteObject(brush);
    }
    // What `window` shows: its client area, or with wholeWindow its frame
    // too, (0, 0) then at the frame's top-left corner.
    Canvas(HWND window, bool wholeWindow)
    {
        RECT rect;
        if (wholeWindow)
            GetWindowRect(window, &rect);
        else
            GetClientRect(window, &rect);
        Make(rect.right - rect.left, rect.bottom - rect.top);
        HDC source = wholeWindow ? GetWindowDC(window) : GetDC(window);
        BitBlt(m_dc, 0, 0, m_width, m_height, source, 0, 0, SRCCOPY);
        ReleaseDC(window, source);
    }
    ~Canvas()
    {
        SelectObject(m_dc, m_previous);
        DeleteDC(m_dc);
        DeleteObject(m_bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    RECT All() const { return {0, 0, m_width, m_height}; }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        const DWORD bgra = m_bits[static_cast<size_t>(y) * m_width + x];
        return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
    }
    int Count(const RECT& rect, COLORREF colour) const
    {
        int count = 0;
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x) count += At(x, y) == colour;
        return count;
    }
    // The first row of `rect` with a pixel other than `background`; -1 when
    // none has.
    int FirstRowNotOf(COLORREF background, const RECT& rect) const
    {
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x)
                if (At(x, y) != background) return y;
        return -1;
    }
    bool operator==(const Canvas& other) const
    {
        GdiFlush();
        return m_width == other.m_width && m_height == other.m_height &&
               memcmp(m_bits, other.m_bits, sizeof(DWORD) * m_width * m_height) == 0;
    }

private:
    void Make(int width, int height)
    {
        m_width = width > 0 ? width : 1;
        m_height = height > 0 ? height : 1;
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof info.bmiHeader, m_width, -m_height, 1, 32}; // top row first
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<const DWORD*>(bits);
        m_dc = CreateCompatibleDC(nullptr);
        m_previous = SelectObject(m_dc, m_bitmap);
    }
    int m_width = 0;
    int m_height = 0;
    HBITMAP m_bitmap = nullptr;
    const DWORD* m_bits = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_previous = nullptr;
};

inline std::string ColourText(COLORREF colour)
{
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}
