// smsd's order page over HTTP: it echoes the parameters it was given, so that
// the address the order dialog built can be followed and checked.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace smsd {

// The page's HTML for a request with these query parameters, in order.
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
