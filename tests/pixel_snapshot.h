// What a window shows, copied once from its device context into memory, so
// that tests read pixels as a user sees them without one GDI call per pixel.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

class CPixelSnapshot {
public:
    // wholeWindow: the window's device context, frame included, with (0, 0)
    // at the frame's top-left corner; otherwise the client area.
    CPixelSnapshot(HWND window, bool wholeWindow)
    {
        RECT rect;
        if (wholeWindow) {
            GetWindowRect(window, &rect);
        } else {
            GetClientRect(window, &rect);
        }
        m_width = rect.right - rect.left;
        m_height = rect.bottom - rect.top;
        m_pixels.assign(static_cast<size_t>(m_width) * m_height, 0);
        if (m_width <= 0 || m_height <= 0) return;

        HDC source = wholeWindow ? GetWindowDC(window) : GetDC(window);
        HDC memory = CreateCompatibleDC(source);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = m_width;
        info.bmiHeader.biHeight = -m_height; // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, m_width, m_height, source, 0, 0, SRCCOPY);
        GdiFlush();
        const DWORD* row = static_cast<const DWORD*>(bits);
        for (size_t i = 0; i < m_pixels.size(); ++i) {
            const DWORD bgra = row[i];
            m_pixels[i] = RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
        }
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(window, source);
    }

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    COLORREF At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }

    // The first row, from `top` on, with a pixel other than `background`
    // between the columns left and right (exclusive); -1 when there is none.
    int FirstRowNotOf(COLORREF background, int top, int bottom, int left, int right) const
    {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (At(x, y) != background) return y;
        return -1;
    }
    int CountOf(COLORREF colour, int top, int bottom, int left, int right) const
    {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (At(x, y) == colour) ++count;
        return count;
    }

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<COLORREF> m_pixels;
};

inline std::string ColourText(COLORREF colour)
{
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}
