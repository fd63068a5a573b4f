// The message store: signature, history and unread queue per account, in
// AccountDataDir + "smsutilmsg.db".
#pragma once
#include "afxstr.h"

// The logged-in account's number ("%u"), empty until the host reports it.
extern CString CurrentAccountId;
// The account's data directory as the host reports it; the file name is
// appended without a separator.
extern CString AccountDataDir;
