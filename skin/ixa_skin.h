// The host's skin module, ixaskin.dll, as the plugin sees it: operations
// imported by number (their names are ours), each removing its own
// arguments. Names are NUL-terminated byte strings. GUI thread only.
#pragma once
#include <windows.h>

#ifdef IXASKIN_BUILD
#define IXASKIN_API extern "C" __declspec(dllexport)
#else
#define IXASKIN_API extern "C" __declspec(dllimport)
#endif

// An open element group of the current skin; null when the skin has none.
typedef struct IxaSkinGroup* HSKINGROUP;

// The window takes the skin's look; kind 3 is the history list.
IXASKIN_API BOOL WINAPI SkinAttachWindow(HWND window, int kind);                                    // 11
IXASKIN_API HSKINGROUP WINAPI SkinOpenGroup(const char* group);                                     // 16
// Once for every group handle that is not null.
IXASKIN_API void WINAPI SkinCloseGroup(HSKINGROUP group);                                           // 17
// Non-zero when the element exists; both outs are then filled.
IXASKIN_API BOOL WINAPI SkinGetFont(HSKINGROUP group, const char* key, LOGFONTA* font, COLORREF* colour); // 24
// Non-zero when the element exists; the colour is then filled.
IXASKIN_API BOOL WINAPI SkinGetColor(HSKINGROUP group, const char* key, COLORREF* colour);           // 25
// Paints the element into the rectangle; non-zero when it was painted.
IXASKIN_API BOOL WINAPI SkinPaintElement(HSKINGROUP group, const char* key, HDC dc, const RECT* rect); // 34
// Enables (1) or greys (0) the skinned close box named `element` ("DialogCLose").
IXASKIN_API BOOL WINAPI SkinEnableCloseButton(HWND window, const char* element, int enable);        // 36
// Gives a static control the skin's style of that name ("StaticBold").
IXASKIN_API BOOL WINAPI SkinStaticControl(HWND window, const char* style);                         // 51
// Gives an edit control the skin's style of that name ("EditSMS").
IXASKIN_API BOOL WINAPI SkinEditControl(HWND window, const char* style);                           // 53
