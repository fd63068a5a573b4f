// The plugin's one entry to the host's skin: colours, fonts and paintings of
// skin elements named "group_key", with a default font and profile colours
// when skin lookups are off or the skin does not know an element.
#pragma once
#include "afxwin.h"

class CSkinProvider {
public:
    // The provider, made on first use and kept for the life of the process.
    static CSkinProvider& Instance();

    // The plugin's initialisation switches skin lookups on.
    void SetUseSkin(int on);
    int GetUseSkin() const { return m_bUseSkin; }

    COLORREF GetColor(const char* name);
    // The element's font, or the current one when the lookup fails. The font
    // stays usable until the next lookup; the provider owns it.
    HFONT GetFont(const char* name, COLORREF* fontColour);
    // Mode 1: the skin's painting of the element; any other mode: a fill with
    // the element's colour.
    void PaintElement(CDC* dc, const RECT& rect, const char* name, int mode);
    // Draws in the element font and colour (either name may be null); the
    // result of the text drawing.
    int DrawSkinText(CDC* dc, const char* text, int length, RECT* rect, UINT format, const char* colourName,
                     const char* fontName);

    // The group before the first underscore, the key after it; -1 for a null
    // name, which leaves both empty.
    static int SplitElementName(const char* name, CString& group, CString& key);

private:
    CSkinProvider();
    ~CSkinProvider() = delete;

    // Makes the looked-up font the current one; the one it replaces is kept
    // one lookup longer, as it may still be selected where it was drawn with.
    void ReplaceCurrentFont(const LOGFONTA& font);

    LOGFONTA m_defaultFont;
    HFONT m_hCurrentFont = nullptr;
    int m_bUseSkin = 0;
    HFONT m_hDefaultFont = nullptr;
    HFONT m_hPreviousFont = nullptr;
    LOGFONTA m_currentFont;
};
