#include "afxcoll.h"

CMapStringToPtr::CMapStringToPtr(int) {}

CMapStringToPtr::~CMapStringToPtr() { RemoveAll(); }

UINT CMapStringToPtr::HashKey(const char* key)
{
    UINT hash = 0;
    while (*key) hash = (hash << 5) + hash + (BYTE)*key++;
    return hash;
}

CMapStringToPtr::CAssoc* CMapStringToPtr::GetAssocAt(const char* key, UINT& hash) const
{
    hash = HashKey(key) % m_nHashTableSize;
    if (!m_pHashTable) return nullptr;
    for (CAssoc* assoc = m_pHashTable[hash]; assoc; assoc = assoc->pNext)
        if (assoc->key == key) return assoc;
    return nullptr;
}

BOOL CMapStringToPtr::Lookup(const char* key, void*& value) const
{
    UINT hash;
    CAssoc* assoc = GetAssocAt(key, hash);
    if (!assoc) return FALSE;
    value = assoc->value;
    return TRUE;
}

void*& CMapStringToPtr::operator[](const char* key)
{
    UINT hash;
    CAssoc* assoc = GetAssocAt(key, hash);
    if (!assoc) {
        if (!m_pHashTable) m_pHashTable = new CAssoc*[m_nHashTableSize]();
        assoc = new CAssoc{m_pHashTable[hash], hash, CString(key), nullptr};
        m_pHashTable[hash] = assoc;
        ++m_nCount;
    }
    return assoc->value;
}

void CMapStringToPtr::SetAt(const char* key, void* value) { (*this)[key] = value; }

BOOL CMapStringToPtr::RemoveKey(const char* key)
{
    if (!m_pHashTable) return FALSE;
    CAssoc** link = &m_pHashTable[HashKey(key) % m_nHashTableSize];
    for (CAssoc* assoc = *link; assoc; link = &assoc->pNext, assoc = *link) {
        if (assoc->key == key) {
            *link = assoc->pNext;
            delete assoc;
            --m_nCount;
            return TRUE;
        }
    }
    return FALSE;
}

void CMapStringToPtr::RemoveAll()
{
    if (m_pHashTable) {
        for (UINT bucket = 0; bucket < m_nHashTableSize; ++bucket) {
            for (CAssoc* assoc = m_pHashTable[bucket]; assoc;) {
                CAssoc* next = assoc->pNext;
                delete assoc;
                assoc = next;
            }
        }
        delete[] m_pHashTable;
        m_pHashTable = nullptr;
    }
    m_nCount = 0;
}

POSITION CMapStringToPtr::GetStartPosition() const
{
    return m_nCount == 0 ? nullptr : BEFORE_START_POSITION;
}

void CMapStringToPtr::GetNextAssoc(POSITION& position, CString& key, void*& value) const
{
    CAssoc* assoc = reinterpret_cast<CAssoc*>(position);
    if (position == BEFORE_START_POSITION) {
        assoc = nullptr;
        for (UINT bucket = 0; bucket < m_nHashTableSize && !assoc; ++bucket) assoc = m_pHashTable[bucket];
    }
    if (!assoc) { position = nullptr; return; }
    CAssoc* next = assoc->pNext;
    for (UINT bucket = assoc->nHashValue + 1; !next && bucket < m_nHashTableSize; ++bucket) next = m_pHashTable[bucket];
    position = reinterpret_cast<POSITION>(next);
    key = assoc->key;
    value = assoc->value;
}
