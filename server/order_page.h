// smsd's order page over HTTP: the page on which a user applies for the SMS
// service or manages it. It names the account, the registered phone and the
// chosen option in words, links to the other options, and shows exactly the
// parameters that the order dialog's address carried.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace smsd {

// The query of a request target ("/order?a=1&b=2"), split at "&" and the
// first "=", each part with its %XX escapes decoded; in order, duplicates kept.
std::vector<std::pair<std::string, std::string>> ParseQuery(const std::string& target);

// The page, in GBK, for a request target.
std::string OrderPageHtml(const std::string& target);

class OrderPage {
public:
    OrderPage();
    ~OrderPage();
    bool Start(const std::string& host, uint16_t port, std::string& error);
    uint16_t Port() const { return m_port; }
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    uint16_t m_port = 0;
};

} // namespace smsd
