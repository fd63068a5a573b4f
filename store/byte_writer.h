// A growable byte buffer for encoding records: grows by its step, and a
// write that cannot get room is dropped while the buffer keeps what it had.
#pragma once
#include <windows.h>

class CByteWriter {
public:
    explicit CByteWriter(int capacity);
    ~CByteWriter();
    CByteWriter(const CByteWriter&) = delete;
    CByteWriter& operator=(const CByteWriter&) = delete;

    CByteWriter& PutByte(BYTE value);
    CByteWriter& PutWord(WORD value);
    // The string's bytes and its NUL, after their count as a 16-bit word.
    CByteWriter& PutString(const char* text);

    const BYTE* Data() const { return m_pStart; }
    int Length() const { return m_pStart ? static_cast<int>(m_pCursor - m_pStart) : 0; }

private:
    bool Reserve(int count);

    BYTE* m_pStart;
    BYTE* m_pCursor;
    int m_nCapacity;
    int m_nStep;
};
