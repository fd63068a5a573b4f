// The colours and the panel font of the tests' own skin file, and a switch
// for the provider's skin lookups that a test turns on and always leaves off.
#pragma once
#include "skin/skin_provider.h"

namespace TestSkin {

const COLORREF kClient = RGB(0x20, 0x80, 0xC0);
const COLORREF kTop = RGB(0xC0, 0x20, 0x20);
const COLORREF kLeft = RGB(0x20, 0xC0, 0x20);
const COLORREF kRight = RGB(0xC0, 0xC0, 0x20);
const COLORREF kBottom = RGB(0x80, 0x20, 0xC0);
const COLORREF kWhiteBg = RGB(0xF0, 0xE0, 0xD0);
const COLORREF kMsgBg = RGB(0x30, 0x50, 0x70);
const COLORREF kFontColour = RGB(0xFF, 0xFF, 0x00);
const COLORREF kBlack = RGB(0, 0, 0);

} // namespace TestSkin

// Skin lookups on (or off) for one test's scope; the provider is left with
// lookups off, as a process starts.
class CSkinLookups {
public:
    explicit CSkinLookups(int on) { CSkinProvider::Instance().SetUseSkin(on); }
    ~CSkinLookups() { CSkinProvider::Instance().SetUseSkin(0); }
    CSkinLookups(const CSkinLookups&) = delete;
    CSkinLookups& operator=(const CSkinLookups&) = delete;
};
