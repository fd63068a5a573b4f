// A bounded reader over bytes it does not own. Reading past the end yields
// zero and empty values and never leaves the data.
#pragma once
#include "afxstr.h"

class CByteReader {
public:
    CByteReader(const void* data, int size);

    CByteReader& GetByte(BYTE& value);
    CByteReader& GetWord(WORD& value);
    CByteReader& GetString(CString& out);

    int Remaining() const { return static_cast<int>(m_pStart + m_nSize - m_pCursor); }

private:
    const BYTE* m_pStart;
    const BYTE* m_pCursor;
    int m_nSize;
};
