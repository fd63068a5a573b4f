// The framework's side of every adapter: slots 0 to 15 and the non-virtual
// operations. Unsupported signalling operations answer -1.
#include "switch_core.h"

AdapterBase::AdapterBase() : m_pState(new State) { SwitchCore::Instance().Track(this, m_pState); }

AdapterBase::~AdapterBase()
{
    SwitchCore::Instance().Forget(this);
    delete m_pState;
}

void AdapterBase::SetNATtype(unsigned short type) { m_pState->natType = type; }
unsigned short AdapterBase::GetNATtype() { return m_pState->natType; }
unsigned int AdapterBase::GetFromUin() { return static_cast<unsigned int>(strtoul(m_pState->applicationId.c_str(), nullptr, 10)); }
unsigned int AdapterBase::GetSigID() { return m_pState->sid; }

int AdapterBase::Call(unsigned int number, unsigned short type, const char* data, int length)
{
    return SwitchCore::Instance().Call(this, *m_pState, number, type, data, length);
}

int AdapterBase::CancelCall() { return SwitchCore::Instance().Bye(*m_pState); }
int AdapterBase::Invite(unsigned int, const char*, const char*, int) { return -1; }
int AdapterBase::CancelInvite(unsigned int, const char*, const char*, int) { return -1; }
int AdapterBase::Accept(unsigned int, const char*, int) { return -1; }
int AdapterBase::Refuse(unsigned int, const char*, int) { return -1; }
int AdapterBase::Ack(unsigned int, const char*, int) { return -1; }
int AdapterBase::Notify(unsigned int, unsigned short, const char*, int) { return -1; }
int AdapterBase::Bye(unsigned int, const char*, int) { return SwitchCore::Instance().Bye(*m_pState); }
int AdapterBase::SendCmd(unsigned short, const char*, int) { return -1; }

int AdapterBase::SendData(const char* data, int length)
{
    return SwitchCore::Instance().SendData(*m_pState, data, length);
}

void AdapterBase::SetAdapterType(unsigned short type) { m_pState->type = type; }
unsigned short AdapterBase::GetAdapterType() const { return m_pState->type; }
void AdapterBase::SetApplicationID(const char* id) { m_pState->applicationId = id ? id : ""; }
const char* AdapterBase::GetApplicationID() const { return m_pState->applicationId.c_str(); }

void AdapterBase::Release() { SwitchCore::Instance().Release(this, *m_pState); }
