#include "skin_file.h"

#include <cstring>
#include <vector>

namespace {

const size_t kMaxLineBytes = 256;
const size_t kMaxNameBytes = 63;
const size_t kMaxSections = 256;
const int kMaxFontHeight = 144;
const int kMaxFontWeight = 1000;
const size_t kMaxBitmapNameBytes = 64;

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Splits on runs of spaces and tabs.
std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    size_t at = 0;
    while (at < text.size()) {
        size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string::npos) break;
        size_t end = text.find_first_of(" \t", start);
        if (end == std::string::npos) end = text.size();
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

bool IsName(const std::string& name, bool allowUnderscore)
{
    if (name.empty() || name.size() > kMaxNameBytes) return false;
    for (unsigned char c : name) {
        bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && !(allowUnderscore && c == '_')) return false;
    }
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "#RRGGBB", written in the order people read colours, stored as COLORREF.
bool ParseColour(const std::string& text, COLORREF& colour)
{
    if (text.size() != 7 || text[0] != '#') return false;
    int parts[3];
    for (int i = 0; i < 3; ++i) {
        int high = HexDigit(text[1 + 2 * i]), low = HexDigit(text[2 + 2 * i]);
        if (high < 0 || low < 0) return false;
        parts[i] = high * 16 + low;
    }
    colour = RGB(parts[0], parts[1], parts[2]);
    return true;
}

bool ParseInteger(const std::string& text, int low, int high, int& value)
{
    if (text.empty() || text.size() > 6) return false;
    size_t at = 0;
    bool negative = false;
    if (text[0] == '-') {
        negative = true;
        at = 1;
        if (text.size() == 1) return false;
    }
    long number = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') return false;
        number = number * 10 + (text[at] - '0');
    }
    if (negative) number = -number;
    if (number < low || number > high) return false;
    value = static_cast<int>(number);
    return true;
}

// The face is written in UTF-8 and handed to GDI in the system code page.
bool ConvertFace(const std::string& utf8, char (&face)[LF_FACESIZE])
{
    if (utf8.empty()) return false;
    wchar_t wide[LF_FACESIZE * 2];
    int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                         wide, LF_FACESIZE * 2);
    if (wideLength <= 0) return false;
    BOOL lossy = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, wideLength, face, LF_FACESIZE - 1, nullptr,
                                     &lossy);
    if (length <= 0 || lossy) return false;
    face[length] = '\0';
    return true;
}

bool ParseFont(const std::string& value, SkinEntry& entry)
{
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
        size_t comma = value.find(',', at);
        fields.push_back(Trim(value.substr(at, comma == std::string::npos ? std::string::npos : comma - at)));
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    if (fields.size() != 3 && fields.size() != 4) return false;
    LOGFONTA font = {};
    int height = 0, weight = 0;
    if (!ConvertFace(fields[0], font.lfFaceName)) return false;
    if (!ParseInteger(fields[1], -kMaxFontHeight, kMaxFontHeight, height) || height == 0) return false;
    if (!ParseInteger(fields[2], 0, kMaxFontWeight, weight)) return false;
    COLORREF colour = 0;
    if (fields.size() == 4 && !ParseColour(fields[3], colour)) return false;
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfCharSet = DEFAULT_CHARSET;
    entry.hasFont = true;
    entry.font = font;
    entry.fontColour = colour;
    return true;
}

// A plain file name: nothing that leaves the skin's folder.
bool IsBitmapName(const std::string& name)
{
    if (name.size() < 5 || name.size() > kMaxBitmapNameBytes || name[0] == '.') return false;
    if (name.find_first_of("\\/:*?\"<>|") != std::string::npos) return false;
    for (unsigned char c : name)
        if (c < 0x20 || c >= 0x80) return false;
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return extension == ".bmp";
}

bool ParsePaint(const std::string& value, SkinEntry& entry)
{
    std::vector<std::string> words = Words(value);
    if (words.empty()) return false;
    const std::string& kind = words[0];
    if (kind == "solid" && words.size() == 2) {
        entry.painting = SkinPainting::Solid;
        if (!ParseColour(words[1], entry.paintFrom)) return false;
        entry.paintTo = entry.paintFrom;
        return true;
    }
    if ((kind == "vgradient" || kind == "hgradient") && words.size() == 3) {
        entry.painting = kind == "vgradient" ? SkinPainting::VerticalGradient : SkinPainting::HorizontalGradient;
        return ParseColour(words[1], entry.paintFrom) && ParseColour(words[2], entry.paintTo);
    }
    if (kind == "bitmap" && words.size() == 2 && IsBitmapName(words[1])) {
        entry.painting = SkinPainting::Bitmap;
        entry.bitmapFile = words[1];
        return true;
    }
    return false;
}

enum class SectionKind { Element, Style };

bool ParseProperty(SectionKind kind, const std::string& property, const std::string& value, SkinEntry& entry,
                   std::string& problem)
{
    auto colour = [&](bool& has, COLORREF& target) {
        if (has) return problem = "repeated property", false;
        has = true;
        if (!ParseColour(value, target)) return problem = "bad colour", false;
        return true;
    };
    if (property == "color") return colour(entry.hasColour, entry.colour);
    if (property == "font") {
        if (entry.hasFont) return problem = "repeated property", false;
        if (!ParseFont(value, entry)) return problem = "bad font", false;
        return true;
    }
    if (kind == SectionKind::Element && property == "paint") {
        if (entry.painting != SkinPainting::None) return problem = "repeated property", false;
        if (!ParsePaint(value, entry)) return problem = "bad painting", false;
        return true;
    }
    if (kind == SectionKind::Style && property == "background") return colour(entry.hasBackground, entry.background);
    if (kind == SectionKind::Style && property == "border") return colour(entry.hasBorder, entry.border);
    problem = "unknown property";
    return false;
}

// Where the parser stands: the section that properties go to.
struct SkinCursor {
    SkinEntry* entry = nullptr;
    SectionKind kind = SectionKind::Element;
    size_t sections = 0;
};

bool OpenSection(const std::vector<std::string>& words, SkinDefinition& skin, SkinCursor& cursor, std::string& problem)
{
    if (words.size() == 3 && words[0] == "element") {
        if (!IsName(words[1], false) || !IsName(words[2], true)) return problem = "bad element name", false;
        auto& group = skin.groups[words[1]];
        if (group.count(words[2])) return problem = "repeated element", false;
        cursor.entry = &group[words[2]];
        cursor.kind = SectionKind::Element;
        return true;
    }
    if (words.size() == 2 && words[0] == "style") {
        if (!IsName(words[1], false)) return problem = "bad style name", false;
        if (skin.styles.count(words[1])) return problem = "repeated style", false;
        cursor.entry = &skin.styles[words[1]];
        cursor.kind = SectionKind::Style;
        return true;
    }
    return problem = "unknown section", false;
}

// A trimmed line that is neither blank nor a comment: a section or a property.
bool ParseSkinLine(const std::string& line, SkinDefinition& skin, SkinCursor& cursor, std::string& problem)
{
    if (line[0] == '[') {
        if (line.back() != ']') return problem = "unclosed section", false;
        if (++cursor.sections > kMaxSections) return problem = "too many sections", false;
        return OpenSection(Words(line.substr(1, line.size() - 2)), skin, cursor, problem);
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return problem = "no '='", false;
    if (!cursor.entry) return problem = "property outside a section", false;
    return ParseProperty(cursor.kind, Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), *cursor.entry,
                         problem);
}

// The file's text without its byte order mark, if it is text at all.
bool SkinTextOf(const std::string& input, std::string& text, std::string& error)
{
    if (input.size() > kMaxSkinFileBytes) return error = "file too large", false;
    if (memchr(input.data(), '\0', input.size())) return error = "NUL byte", false;
    text = input;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    if (!text.empty() &&
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0) <= 0)
        return error = "not UTF-8", false;
    return true;
}

} // namespace

bool ParseSkinText(const std::string& input, SkinDefinition& skin, std::string& error)
{
    skin = SkinDefinition();
    std::string text;
    if (!SkinTextOf(input, text, error)) return false;
    SkinCursor cursor;
    size_t lineNumber = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string problem;
        if (line.size() > kMaxLineBytes) {
            problem = "line too long";
        } else {
            line = Trim(line);
            if (line.empty() || line[0] == '#' || line[0] == ';') continue;
            if (ParseSkinLine(line, skin, cursor, problem)) continue;
        }
        error = "line " + std::to_string(lineNumber) + ": " + problem;
        return false;
    }
    return true;
}

const char* BuiltInSkinText()
{
    // Plain greys and blues: what a host shows before any skin is chosen.
    return "[element SkinDlgWithoutCapital Client]\n"
           "color = #ECE9D8\n"
           "paint = solid #ECE9D8\n"
           "[element SkinDlgWithoutCapital Top]\n"
           "color = #0A246A\n"
           "paint = hgradient #0A246A #A6CAF0\n"
           "[element SkinDlgWithoutCapital Left]\n"
           "color = #808080\n"
           "paint = solid #808080\n"
           "[element SkinDlgWithoutCapital Right]\n"
           "color = #808080\n"
           "paint = solid #808080\n"
           "[element SkinDlgWithoutCapital Bottom]\n"
           "color = #808080\n"
           "paint = solid #808080\n"
           "[element SkinStaticSMS WhiteBgSMS]\n"
           "color = #FFFFFF\n"
           "paint = solid #FFFFFF\n"
           "[element SkinStaticSMS MsgBgSMS]\n"
           "color = #F0F0F0\n"
           "paint = solid #F0F0F0\n"
           "[element SkinStaticSMS Font]\n"
           "color = #000000\n"
           "font = \xE5\xAE\x8B\xE4\xBD\x93, 12, 400, #000000\n"
           "[style EditSMS]\n"
           "color = #000000\n"
           "background = #FFFFFF\n"
           "border = #7F9DB9\n"
           "[style StaticBold]\n"
           "color = #000000\n"
           "font = \xE5\xAE\x8B\xE4\xBD\x93, 12, 700\n"
           "[style DialogCLose]\n"
           "color = #C0C0C0\n"
           "[style ListBox]\n"
           "color = #000000\n"
           "background = #FFFFFF\n";
}
