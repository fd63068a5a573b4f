#include "message_store.h"

CString CurrentAccountId;
CString AccountDataDir;
