// Collections: MFC's CMapStringToPtr and CStringArray.
#pragma once
#include "afxstr.h"

struct __POSITION {};
typedef __POSITION* POSITION;
#define BEFORE_START_POSITION ((POSITION)-1L)

// A hash map from text to pointer with MFC's iteration contract: GetNextAssoc
// returns the current entry and has already moved on, so the entry just
// returned may be removed during a walk.
class CMapStringToPtr {
public:
    // MFC allocates entries in blocks of `blockSize`; here each entry is its
    // own allocation, so the size is accepted and has no further effect.
    explicit CMapStringToPtr(int blockSize = 10);
    ~CMapStringToPtr();
    CMapStringToPtr(const CMapStringToPtr&) = delete;
    CMapStringToPtr& operator=(const CMapStringToPtr&) = delete;

    int GetCount() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }
    BOOL Lookup(const char* key, void*& value) const;
    void SetAt(const char* key, void* value);
    void*& operator[](const char* key);
    BOOL RemoveKey(const char* key);
    void RemoveAll();
    POSITION GetStartPosition() const;
    void GetNextAssoc(POSITION& position, CString& key, void*& value) const;

private:
    struct CAssoc {
        CAssoc* pNext;
        UINT nHashValue;
        CString key;
        void* value;
    };
    static UINT HashKey(const char* key);
    CAssoc* GetAssocAt(const char* key, UINT& hash) const;

    CAssoc** m_pHashTable = nullptr;
    UINT m_nHashTableSize = 17;
    int m_nCount = 0;
};
