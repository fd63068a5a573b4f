// The one shape in which a short message travels through the module, and
// the interface through which it is encoded for the store.
#pragma once
#include "afxstr.h"

class CByteReader;
class CByteWriter;

class CStorable {
public:
    virtual CByteWriter& Store(CByteWriter& writer) = 0;
    virtual CByteReader& Load(CByteReader& reader) = 0;
};

class CSmsRecord : public CStorable {
public:
    enum Kind : BYTE {
        KIND_UNDELIVERED = 0, // the service's notice that a sent message did not arrive
        KIND_SENT = 1,
        KIND_SCHEDULED = 2, // sent, to go out at its time
        KIND_RECEIVED = 3,
        KIND_NEW = 255, // not yet filled in
    };

    CSmsRecord() = default;
    CSmsRecord(const CSmsRecord&) = default;
    CSmsRecord& operator=(const CSmsRecord&) = default;
    virtual ~CSmsRecord() = default;

    // kind, then peer, time and text as counted strings.
    CByteWriter& Store(CByteWriter& writer) override;
    // Leaves owner and caption as they are.
    CByteReader& Load(CByteReader& reader) override;

    BYTE kind = KIND_NEW;
    CString peer;
    CString time;
    CString text;
    CString owner;   // not stored: whose unread queue takes the record
    CString caption; // not stored: the history list's display line
};
