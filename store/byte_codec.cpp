#include "byte_reader.h"
#include "byte_writer.h"

#include <cstring>
#include <new>

CByteWriter::CByteWriter(int capacity)
    : m_pStart(capacity > 0 ? new (std::nothrow) BYTE[capacity] : nullptr),
      m_pCursor(m_pStart),
      m_nCapacity(m_pStart ? capacity : 0),
      m_nStep(capacity > 0 ? capacity : 0)
{
}

CByteWriter::~CByteWriter() { delete[] m_pStart; }

bool CByteWriter::Reserve(int count)
{
    if (!m_pStart || count < 0) return false;
    const int offset = Length();
    while (offset + count > m_nCapacity) {
        if (m_nStep <= 0 || m_nCapacity > 0x7FFFFFFF - m_nStep) return false;
        BYTE* grown = new (std::nothrow) BYTE[m_nCapacity + m_nStep];
        if (!grown) return false;
        memcpy(grown, m_pStart, m_nCapacity);
        delete[] m_pStart;
        m_pStart = grown;
        m_pCursor = grown + offset;
        m_nCapacity += m_nStep;
    }
    return true;
}

CByteWriter& CByteWriter::PutByte(BYTE value)
{
    if (Reserve(1)) *m_pCursor++ = value;
    return *this;
}

CByteWriter& CByteWriter::PutWord(WORD value)
{
    if (Reserve(2)) {
        *m_pCursor++ = static_cast<BYTE>(value & 0xFF);
        *m_pCursor++ = static_cast<BYTE>(value >> 8);
    }
    return *this;
}

CByteWriter& CByteWriter::PutString(const char* text)
{
    if (!text) text = "";
    const size_t length = strlen(text) + 1;
    // The count is 16 bits: a longer string is cut to the longest that fits,
    // and still ends with its NUL, so that it reads back.
    const WORD stored = static_cast<WORD>(length > 0xFFFF ? 0xFFFF : length);
    if (!Reserve(2 + stored)) return *this;
    PutWord(stored);
    memcpy(m_pCursor, text, stored - 1);
    m_pCursor[stored - 1] = 0;
    m_pCursor += stored;
    return *this;
}

CByteReader::CByteReader(const void* data, int size)
    : m_pStart(static_cast<const BYTE*>(data)), m_pCursor(m_pStart), m_nSize(data && size > 0 ? size : 0)
{
}

CByteReader& CByteReader::GetByte(BYTE& value)
{
    if (Remaining() < 1) {
        value = 0;
        return *this;
    }
    value = *m_pCursor++;
    return *this;
}

CByteReader& CByteReader::GetWord(WORD& value)
{
    if (Remaining() < 2) {
        value = 0;
        return *this;
    }
    value = static_cast<WORD>(m_pCursor[0] | m_pCursor[1] << 8);
    m_pCursor += 2;
    return *this;
}

CByteReader& CByteReader::GetString(CString& out)
{
    WORD length = 0;
    GetWord(length);
    if (length >= 1 && length <= Remaining() && m_pCursor[length - 1] == 0) {
        out = reinterpret_cast<const char*>(m_pCursor);
        m_pCursor += length;
    } else {
        out.Empty();
    }
    return *this;
}
