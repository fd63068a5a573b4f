// The Windows functions the parsers call, over iconv, as they behave in code
// page 936. Conversions that meet a byte sequence they cannot read fail with
// 0, as the parsers ask for (MB_ERR_INVALID_CHARS); characters that the code
// page lacks become '?' and are reported through `usedDefaultChar`.
#include <windows.h>

#include "afxwin.h"

#include <errno.h>
#include <iconv.h>

#include <string>
#include <vector>

namespace {

const char* CharsetOf(UINT codePage)
{
    return codePage == CP_UTF8 ? "UTF-8" : "GBK";
}

struct ResourceString {
    UINT id;
    const char* utf8;
};

#include "res/resource.h"
const ResourceString kStrings[] = {
#include "resource_strings.inc"
};

// Converts all of `in`; on a sequence that cannot be converted either fails
// (`substitute` null) or skips `step` bytes of input and writes `substitute`.
bool Convert(const char* to, const char* from, const std::string& in, std::string& out, size_t step,
             const char* substitute, bool* substituted)
{
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    out.clear();
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    bool ok = true;
    while (inLeft > 0) {
        char buffer[256];
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (result != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (!substitute) { ok = false; break; }
        // EILSEQ, or EINVAL for a sequence cut short at the end.
        const size_t skip = inLeft < step ? inLeft : step;
        inPtr += skip;
        inLeft -= skip;
        out += substitute;
        if (substituted) *substituted = true;
    }
    iconv_close(converter);
    return ok;
}

} // namespace

BOOL IsDBCSLeadByte(BYTE byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideLength)
{
    if (!text || length == 0 || wideLength < 0) return 0;
    const std::string in = length < 0 ? std::string(text, strlen(text) + 1) : std::string(text, length);
    std::string units;
    if (!Convert("UTF-16LE", CharsetOf(codePage), in, units, 0, nullptr, nullptr)) return 0;
    const int count = static_cast<int>(units.size() / 2);
    if (!wide || wideLength == 0) return count;
    if (count > wideLength) return 0;
    for (int i = 0; i < count; ++i)
        wide[i] = static_cast<wchar_t>(static_cast<BYTE>(units[2 * i]) | static_cast<BYTE>(units[2 * i + 1]) << 8);
    return count;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR text, int length,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar)
{
    if (usedDefaultChar) *usedDefaultChar = FALSE;
    if (!wide || wideLength == 0 || length < 0) return 0;
    if (wideLength < 0) wideLength = static_cast<int>(wcslen(wide)) + 1;
    std::string units;
    for (int i = 0; i < wideLength; ++i) {
        units += static_cast<char>(wide[i] & 0xFF);
        units += static_cast<char>((wide[i] >> 8) & 0xFF);
    }
    std::string out;
    bool substituted = false;
    if (!Convert(CharsetOf(codePage), "UTF-16LE", units, out, 2, defaultChar ? defaultChar : "?", &substituted))
        return 0;
    if (usedDefaultChar) *usedDefaultChar = substituted ? TRUE : FALSE;
    const int count = static_cast<int>(out.size());
    if (!text || length == 0) return count;
    if (count > length) return 0;
    memcpy(text, out.data(), count);
    return count;
}

HINSTANCE AfxFindStringResourceHandle(UINT id)
{
    static int module;
    return reinterpret_cast<HINSTANCE>(&module);
}

int AfxLoadString(HINSTANCE module, UINT id, LPSTR buffer, int size)
{
    if (!buffer || size <= 0) return 0;
    for (const ResourceString& entry : kStrings) {
        if (entry.id != id) continue;
        std::string gbk;
        if (!Convert("GBK", "UTF-8", entry.utf8, gbk, 0, nullptr, nullptr)) return 0;
        const int length = static_cast<int>(gbk.size()) < size - 1 ? static_cast<int>(gbk.size()) : size - 1;
        memcpy(buffer, gbk.data(), length);
        buffer[length] = '\0';
        return length;
    }
    buffer[0] = '\0';
    return 0;
}
