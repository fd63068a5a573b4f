// Makes and destroys the adapters of one type for the signalling module.
#pragma once
#include "softswitch_api.h"

class AdapterBase;

class SOFTSWITCH_API AdapterFactoryBase {
public:
    virtual ~AdapterFactoryBase();                     // 0
    virtual AdapterBase* NewAdapter() = 0;             // 1
    virtual int DeleteAdapter(AdapterBase* adapter) = 0; // 2
    virtual unsigned short GetAdapterType() = 0;       // 3
};
