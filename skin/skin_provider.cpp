#include "skin/skin_provider.h"

#include "skin/ixa_skin.h"

#include <cstring>

namespace {

// The profile that colours fall back to. Nothing fills it, so the fallback
// reads no file and yields its default.
char g_profilePath[MAX_PATH];

// Group and key as the skin module is asked for them: at most 39 bytes each.
const int kElementPartBytes = 40;

struct ElementParts {
    char group[kElementPartBytes];
    char key[kElementPartBytes];
};

// Copies at most size - 1 bytes without cutting a double-byte character.
void CopyBounded(const CString& text, char* buffer, int size)
{
    int length = 0;
    while (length < text.GetLength()) {
        int step = IsDBCSLeadByte(static_cast<BYTE>(text[length])) && length + 1 < text.GetLength() ? 2 : 1;
        if (length + step > size - 1) break;
        length += step;
    }
    memcpy(buffer, static_cast<LPCSTR>(text), length);
    buffer[length] = '\0';
}

ElementParts SplitIntoParts(const char* name)
{
    CString group, key;
    CSkinProvider::SplitElementName(name, group, key);
    ElementParts parts;
    CopyBounded(group, parts.group, kElementPartBytes);
    CopyBounded(key, parts.key, kElementPartBytes);
    return parts;
}

// An open group of the host's skin, closed when it goes out of scope.
class SkinGroup {
public:
    explicit SkinGroup(const char* group) : m_handle(SkinOpenGroup(group)) {}
    ~SkinGroup()
    {
        if (m_handle) SkinCloseGroup(m_handle);
    }
    SkinGroup(const SkinGroup&) = delete;
    SkinGroup& operator=(const SkinGroup&) = delete;
    HSKINGROUP Handle() const { return m_handle; }

private:
    HSKINGROUP m_handle;
};

COLORREF ProfileColour(const char* name)
{
    return static_cast<COLORREF>(GetPrivateProfileIntA("Color", name, 0, g_profilePath));
}

bool SameFont(const LOGFONTA& a, const LOGFONTA& b)
{
    return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfEscapement == b.lfEscapement &&
           a.lfOrientation == b.lfOrientation && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
           a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet &&
           a.lfOutPrecision == b.lfOutPrecision && a.lfClipPrecision == b.lfClipPrecision &&
           a.lfQuality == b.lfQuality && a.lfPitchAndFamily == b.lfPitchAndFamily &&
           strncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

} // namespace

CSkinProvider& CSkinProvider::Instance()
{
    // Never destroyed: fonts handed out must outlive every static window.
    static CSkinProvider* provider = new CSkinProvider;
    return *provider;
}

CSkinProvider::CSkinProvider()
{
    memset(&m_defaultFont, 0, sizeof m_defaultFont);
    m_defaultFont.lfHeight = 12;
    m_defaultFont.lfWeight = FW_NORMAL;
    m_defaultFont.lfCharSet = DEFAULT_CHARSET;
    strcpy(m_defaultFont.lfFaceName, "宋体");
    m_hDefaultFont = CreateFontIndirectA(&m_defaultFont);
    m_hCurrentFont = m_hDefaultFont;
    m_currentFont = m_defaultFont;
    g_profilePath[0] = '\0';
}

void CSkinProvider::SetUseSkin(int on) { m_bUseSkin = on; }

int CSkinProvider::SplitElementName(const char* name, CString& group, CString& key)
{
    group.Empty();
    key.Empty();
    if (!name) return -1;
    CString whole(name);
    int underscore = whole.Find('_');
    if (underscore < 0) {
        group = whole;
        return 0;
    }
    group = whole.Left(underscore);
    key = CString(name + underscore + 1);
    return 0;
}

COLORREF CSkinProvider::GetColor(const char* name)
{
    if (!name) return 0;
    if (!m_bUseSkin) return ProfileColour(name);
    ElementParts parts = SplitIntoParts(name);
    SkinGroup group(parts.group);
    if (!group.Handle()) return ProfileColour(name);
    COLORREF colour = 0;
    if (!SkinGetColor(group.Handle(), parts.key, &colour)) colour = ProfileColour(name);
    return colour;
}

HFONT CSkinProvider::GetFont(const char* name, COLORREF* fontColour)
{
    // With lookups off the font is the default one, whatever lookups made.
    if (!m_bUseSkin) return m_hDefaultFont;
    if (!name) return m_hCurrentFont;
    ElementParts parts = SplitIntoParts(name);
    SkinGroup group(parts.group);
    if (!group.Handle()) return m_hCurrentFont;
    LOGFONTA font = {};
    COLORREF colour = 0;
    if (SkinGetFont(group.Handle(), parts.key, &font, &colour)) {
        ReplaceCurrentFont(font);
        if (fontColour) *fontColour = colour;
    }
    return m_hCurrentFont;
}

void CSkinProvider::ReplaceCurrentFont(const LOGFONTA& font)
{
    // The same element asked for again (the panel asks for every line) keeps
    // its font, so nothing that is selected anywhere changes.
    if (SameFont(font, m_currentFont)) return;
    HFONT replacement = SameFont(font, m_defaultFont) ? m_hDefaultFont : CreateFontIndirectA(&font);
    if (!replacement) return;
    if (m_hPreviousFont && m_hPreviousFont != m_hDefaultFont && m_hPreviousFont != replacement)
        DeleteObject(m_hPreviousFont);
    m_hPreviousFont = m_hCurrentFont;
    m_hCurrentFont = replacement;
    m_currentFont = font;
}

void CSkinProvider::PaintElement(CDC* dc, const RECT& rect, const char* name, int mode)
{
    if (!dc || !dc->GetSafeHdc()) return;
    if (mode == 1 && m_bUseSkin) {
        ElementParts parts = SplitIntoParts(name);
        SkinGroup group(parts.group);
        if (group.Handle()) SkinPaintElement(group.Handle(), parts.key, dc->GetSafeHdc(), &rect);
        return;
    }
    HBRUSH brush = CreateSolidBrush(GetColor(name));
    if (!brush) return;
    FillRect(dc->GetSafeHdc(), &rect, brush);
    DeleteObject(brush);
}

int CSkinProvider::DrawSkinText(CDC* dc, const char* text, int length, RECT* rect, UINT format,
                                const char* colourName, const char* fontName)
{
    if (!dc || !dc->GetSafeHdc() || !text || !rect) return 0;
    HDC hdc = dc->GetSafeHdc();
    if (fontName && m_bUseSkin) {
        COLORREF fontColour = 0;
        HFONT font = GetFont(fontName, &fontColour);
        if (font) SelectObject(hdc, font);
        SetTextColor(hdc, colourName ? GetColor(colourName) : fontColour);
    } else if (fontName) {
        SelectObject(hdc, m_hDefaultFont);
    }
    return DrawTextA(hdc, text, length, rect, format);
}
