#include "afxstr.h"
#include "afxwin.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

CString CString::Left(int count) const
{
    if (count < 0) count = 0;
    CString r;
    r.m_text = m_text.substr(0, count);
    return r;
}

int CString::Find(char ch, int start) const
{
    char needle[2] = {ch, 0};
    return Find(needle, start);
}

int CString::Find(const char* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength()) return -1;
    const size_t subLength = strlen(sub);
    // Walk character by character so that a match never begins on a trail byte.
    for (int i = start; i <= GetLength();) {
        if (m_text.size() - i >= subLength && m_text.compare(i, subLength, sub) == 0) return i;
        if (i == GetLength()) break;
        i += IsDBCSLeadByte((BYTE)m_text[i]) && i + 1 < GetLength() ? 2 : 1;
    }
    return -1;
}

int CString::ReverseFind(char ch) const
{
    int found = -1;
    for (int i = 0; i < GetLength();) {
        const bool lead = IsDBCSLeadByte((BYTE)m_text[i]) && i + 1 < GetLength();
        if (!lead && m_text[i] == ch) found = i;
        i += lead ? 2 : 1;
    }
    return found;
}

int CString::Replace(const char* oldText, const char* newText)
{
    if (!oldText || !*oldText) return 0;
    if (!newText) newText = "";
    const int oldLength = (int)strlen(oldText);
    std::string result;
    int count = 0;
    int copied = 0;
    for (int at = Find(oldText, 0); at >= 0; at = Find(oldText, at + oldLength)) {
        result.append(m_text, copied, at - copied);
        result += newText;
        copied = at + oldLength;
        ++count;
    }
    if (count) {
        result.append(m_text, copied, std::string::npos);
        m_text.swap(result);
    }
    return count;
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length < 0) { m_text.clear(); return; }
    std::vector<char> buffer(length + 1);
    vsnprintf(buffer.data(), buffer.size(), format, args);
    m_text.assign(buffer.data(), length);
}

BOOL CString::LoadString(UINT id)
{
    HINSTANCE module = AfxFindStringResourceHandle(id);
    if (!module) return FALSE;
    char buffer[1024];
    const int length = AfxLoadString(module, id, buffer, sizeof buffer);
    if (length <= 0) return FALSE;
    m_text.assign(buffer, length);
    return TRUE;
}

char* CString::GetBufferSetLength(int length)
{
    m_text.resize(length < 0 ? 0 : length);
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0) newLength = (int)strlen(m_text.c_str());
    m_text.resize(newLength);
}
