// The skin file of the host's skin module: a small line format, read as a
// whole or not at all.
//
//   # comment (also ;), blank lines skipped; UTF-8, an optional BOM
//   [element GROUP KEY]          an element KEY of the group GROUP
//   color = #RRGGBB
//   font  = FACE, HEIGHT, WEIGHT[, #RRGGBB]
//   paint = solid #RRGGBB | vgradient #TOP #BOTTOM | hgradient #LEFT #RIGHT
//         | bitmap FILE.bmp      (from the skin file's folder, stretched)
//   [style NAME]                 a control style (EditSMS, StaticBold, ...)
//   color = ...  font = ...  background = #RRGGBB  border = #RRGGBB
//
// GROUP and NAME are letters and digits, KEY also underscores, 1 to 63 bytes.
// Heights are 1 to 144 pixels (negative: character height), weights 0 to
// 1000, faces up to 31 bytes in the system code page.
#pragma once
#include <windows.h>

#include <map>
#include <string>

enum class SkinPainting { None, Solid, VerticalGradient, HorizontalGradient, Bitmap };

// One element or one style; which properties a section may carry depends on
// its kind, but both share the shape.
struct SkinEntry {
    bool hasColour = false;
    COLORREF colour = 0;
    bool hasFont = false;
    LOGFONTA font = {};
    COLORREF fontColour = 0;
    SkinPainting painting = SkinPainting::None;
    COLORREF paintFrom = 0;
    COLORREF paintTo = 0;
    std::string bitmapFile;
    bool hasBackground = false;
    COLORREF background = 0;
    bool hasBorder = false;
    COLORREF border = 0;
};

struct SkinDefinition {
    // group -> key -> element
    std::map<std::string, std::map<std::string, SkinEntry>> groups;
    std::map<std::string, SkinEntry> styles;
};

const size_t kMaxSkinFileBytes = 64 * 1024;

// Parses a whole skin text. On failure `skin` is unspecified and `error`
// names the line and what was wrong with it.
bool ParseSkinText(const std::string& text, SkinDefinition& skin, std::string& error);

// The skin a host without a skin file shows.
const char* BuiltInSkinText();
