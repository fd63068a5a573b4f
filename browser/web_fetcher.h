// The browser control's downloads: each address is fetched over HTTP with
// WinINet on a thread of its own, and its page, or the reason there is none,
// is left for the control, which a posted message tells.
#pragma once
#include "web_page.h"

#include <memory>
#include <string>

// One per control, shared with its fetch threads so that either may go
// first. A result always has one owner: the thread until it is delivered,
// then the fetcher until the control takes it; a control that is gone, or
// has navigated elsewhere since, gets nothing and the result is freed.
class CWebFetcher : public std::enable_shared_from_this<CWebFetcher> {
public:
    struct Result {
        bool ok = false;
        std::wstring failure;
        CWebPage page;
    };

    // fetchedMessage is posted to window when a result waits to be taken.
    CWebFetcher(HWND window, UINT fetchedMessage);
    ~CWebFetcher();
    CWebFetcher(const CWebFetcher&) = delete;
    CWebFetcher& operator=(const CWebFetcher&) = delete;

    // Fetches address in place of whatever was fetched before; false, with
    // the reason, when no thread could be started.
    bool Start(const std::wstring& address, std::wstring& failure);
    std::unique_ptr<Result> Take();
    // The control is going: what is delivered from now on is freed.
    void Close();

    // Fetches that have not finished yet, of every control of the process.
    static LONG InFlight();
    // How long a fetch waits for the server to connect or to answer.
    static void SetTimeout(DWORD milliseconds);

private:
    static DWORD WINAPI FetchThread(void* job);
    // A new generation: results of older fetches are no longer wanted.
    unsigned Begin();
    void Deliver(unsigned generation, std::unique_ptr<Result> result);

    SRWLOCK m_lock = SRWLOCK_INIT;
    HWND m_window;
    UINT m_fetchedMessage;
    bool m_closed = false;
    unsigned m_generation = 0;
    Result* m_result = nullptr;
};
