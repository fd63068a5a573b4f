// Collections: MFC's CMapStringToPtr and CStringArray.
#pragma once
#include "afxstr.h"
#include <vector>

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
    void InitHashTable(UINT size);

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

class CStringArray {
public:
    int GetSize() const { return (int)m_items.size(); }
    int GetCount() const { return GetSize(); }
    BOOL IsEmpty() const { return m_items.empty(); }
    const CString& GetAt(int index) const { return m_items.at(index); }
    CString& ElementAt(int index) { return m_items.at(index); }
    const CString& operator[](int index) const { return m_items.at(index); }
    CString& operator[](int index) { return m_items.at(index); }
    void SetAt(int index, const char* value) { m_items.at(index) = value; }
    int Add(const CString& value) { m_items.push_back(value); return GetSize() - 1; }
    void InsertAt(int index, const CString& value) { m_items.insert(m_items.begin() + index, value); }
    void RemoveAt(int index, int count = 1) { m_items.erase(m_items.begin() + index, m_items.begin() + index + count); }
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<CString> m_items;
};
