// The few Windows types, macros and functions that the parsers use, for a
// native build of those parsers. Functions are implemented in win_shim.cpp
// for code page 936, the code page the module runs in.
#pragma once
#include <stdarg.h>
#include <stdint.h>
#include <string.h>
#include <wchar.h>

typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int BOOL;
typedef unsigned int UINT;
typedef char CHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
// Holds UTF-16 code units, as on Windows, whatever wchar_t's width here.
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWSTR;
typedef BOOL* LPBOOL;
typedef DWORD COLORREF;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))

#define CP_ACP 0
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define LF_FACESIZE 32
#define DEFAULT_CHARSET 1

typedef struct tagLOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
} LOGFONTA;

BOOL IsDBCSLeadByte(BYTE byte);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR text, int length,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar);
int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size);
