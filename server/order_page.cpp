#include "order_page.h"

#include <httplib.h>

#include <thread>

namespace smsd {

namespace {
std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}
} // namespace

std::string OrderPageHtml(const std::string& target)
{
    std::string html = "<html><head><meta charset=\"gbk\"><title>SMS service</title></head><body>\n<dl>\n";
    const size_t query = target.find('?');
    std::string rest = query == std::string::npos ? std::string() : target.substr(query + 1);
    // Values are shown as they came, split only at "&": the dialog does not
    // escape them, and the page shows what that gives.
    size_t start = 0;
    while (start <= rest.size() && !rest.empty()) {
        const size_t end = rest.find('&', start);
        const std::string pair = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const size_t equals = pair.find('=');
        html += "<dt>" + Escape(pair.substr(0, equals)) + "</dt><dd>" +
                Escape(equals == std::string::npos ? std::string() : pair.substr(equals + 1)) + "</dd>\n";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return html + "</dl>\n</body></html>\n";
}

struct OrderPage::Impl {
    httplib::Server server;
    std::thread thread;
};

OrderPage::OrderPage() : m_impl(new Impl) {}

OrderPage::~OrderPage() { Stop(); }

bool OrderPage::Start(const std::string& host, uint16_t port, std::string& error)
{
    m_impl->server.Get(R"(/order.*)", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content(OrderPageHtml(request.target), "text/html; charset=gbk");
    });
    const int bound = port == 0 ? m_impl->server.bind_to_any_port(host) : (m_impl->server.bind_to_port(host, port) ? port : -1);
    if (bound < 0) {
        error = "cannot serve the order page on " + host + ":" + std::to_string(port);
        return false;
    }
    m_port = static_cast<uint16_t>(bound);
    m_impl->thread = std::thread([this] { m_impl->server.listen_after_bind(); });
    return true;
}

void OrderPage::Stop()
{
    if (!m_impl->thread.joinable()) return;
    m_impl->server.stop();
    m_impl->thread.join();
}

} // namespace smsd
