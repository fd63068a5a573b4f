// A skin file, as the skin module reads it from the skin's folder.
#include "check.h"
#include "host/ixaskin/skin_file.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

void CheckEntry(const SkinEntry& entry)
{
    if (entry.hasFont) {
        Check(memchr(entry.font.lfFaceName, '\0', LF_FACESIZE) != nullptr, "a face without its NUL");
        Check(entry.font.lfFaceName[0] != '\0', "an empty face");
        Check(entry.font.lfHeight != 0 && entry.font.lfHeight >= -144 && entry.font.lfHeight <= 144,
              "a font height out of range");
        Check(entry.font.lfWeight >= 0 && entry.font.lfWeight <= 1000, "a font weight out of range");
    }
    Check(entry.colour <= 0xFFFFFF && entry.paintFrom <= 0xFFFFFF && entry.paintTo <= 0xFFFFFF &&
              entry.background <= 0xFFFFFF && entry.border <= 0xFFFFFF && entry.fontColour <= 0xFFFFFF,
          "a colour beyond 24 bits");
    if (entry.painting == SkinPainting::Bitmap) {
        Check(entry.bitmapFile.find_first_of("\\/:") == std::string::npos, "a bitmap outside the skin's folder");
        Check(!entry.bitmapFile.empty() && entry.bitmapFile[0] != '.', "a bitmap name that starts with a dot");
    } else {
        Check(entry.bitmapFile.empty(), "a bitmap name without bitmap painting");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    SkinDefinition skin;
    std::string error;
    if (!ParseSkinText(text, skin, error)) {
        Check(!error.empty(), "a failure without a reason");
        return 0;
    }
    Check(size <= kMaxSkinFileBytes, "a skin file over the size limit");
    for (const auto& group : skin.groups)
        for (const auto& element : group.second) CheckEntry(element.second);
    for (const auto& style : skin.styles) CheckEntry(style.second);
    return 0;
}
