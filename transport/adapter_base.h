// The signalling module's adapter: one call to a peer, data both ways, and
// the callbacks through which the module hears of it. Slot order is the
// module's and must not change. Callbacks run on the module's network thread.
#pragma once
#include "softswitch_api.h"

class SOFTSWITCH_API AdapterBase {
public:
    virtual ~AdapterBase();                                                              // 0
    virtual void SetNATtype(unsigned short type);                                        // 1
    virtual unsigned short GetNATtype();                                                 // 2
    virtual unsigned int GetFromUin();                                                   // 3
    virtual unsigned int GetSigID();                                                     // 4
    // Sets up the call asynchronously: the answer comes as OnCallResult.
    virtual int Call(unsigned int number, unsigned short type, const char* data, int length); // 5
    virtual int CancelCall();                                                            // 6
    virtual int Invite(unsigned int number, const char* a, const char* b, int length);   // 7
    virtual int CancelInvite(unsigned int number, const char* a, const char* b, int length); // 8
    virtual int Accept(unsigned int number, const char* data, int length);               // 9
    virtual int Refuse(unsigned int number, const char* data, int length);               // 10
    virtual int Ack(unsigned int number, const char* data, int length);                  // 11
    virtual int Notify(unsigned int number, unsigned short kind, const char* data, int length); // 12
    virtual int Bye(unsigned int number, const char* data, int length);                  // 13
    virtual int SendCmd(unsigned short command, const char* data, int length);           // 14
    virtual int SendData(const char* data, int length);                                  // 15
    virtual void OnCallResult(unsigned short status, int a, int b, int c, int d, int e, int f) = 0; // 16
    virtual void OnInvited(int a, int b, int c, int d, int e, int f) = 0;                // 17
    virtual void OnAccepted(int a, int b, int c) = 0;                                    // 18
    virtual void OnRefused(int a, int b, int c) = 0;                                     // 19
    virtual void OnAcked(int a, int b, int c) = 0;                                       // 20
    virtual void OnNotified(int a, int b, int c) = 0;                                    // 21
    virtual void OnCommand(int a, int b, int c, int d) = 0;                              // 22
    virtual void OnBye(int a, int b, int c) = 0;                                         // 23
    virtual void OnCancelled(int a, int b, int c) = 0;                                   // 24
    virtual void OnConnected() = 0;                                                      // 25
    virtual void OnDisconnected(int reason) = 0;                                         // 26
    virtual void OnError(int a, int b, int c) = 0;                                       // 27
    // `data` is valid only during the call.
    virtual void OnRecvData(const char* data, int length) = 0;                           // 28

    void SetAdapterType(unsigned short type);
    unsigned short GetAdapterType() const;
    void SetApplicationID(const char* id);
    const char* GetApplicationID() const;
    // Gives the adapter back: the caller never touches it again. The module
    // deletes it through its factory once no callback can still reach it.
    void Release();

    struct State;

protected:
    AdapterBase();

private:
    State* m_pState;
};
