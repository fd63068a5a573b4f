#include "order_page.h"

#include "gbk.h"

#include <httplib.h>

#include <cctype>
#include <thread>

namespace smsd {

namespace {

// What each option of the address means to the user. The page's own texts are
// written in UTF-8 and go out in GBK.
struct OrderOption {
    const char* value;
    const char* name;
    const char* description;
};

const OrderOption kOptions[] = {
    {"bind", u8"绑定手机", u8"您还没有开通短信服务。绑定手机后，每天可以免费发送1条短信。"},
    {"add", u8"升级短信服务", u8"您是免费绑定用户，每天允许发送1条短信。升级后每天可以发送更多短信。"},
    {"display", u8"我的短信服务", u8"您已开通短信服务，这里是您的服务详情。"},
};

const OrderOption* FindOption(const std::string& value)
{
    for (const auto& option : kOptions)
        if (value == option.value) return &option;
    return nullptr;
}

std::string HtmlEscape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

// Query values of the links the page makes: everything but the unreserved
// characters as %XX, so that a value holding "&" or "=" stays one value.
std::string UrlEncode(const std::string& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Only well-formed escapes are decoded: a lone "%" in a value the dialog sent
// unescaped stays what it was.
std::string UrlDecode(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

const std::string* Find(const std::vector<std::pair<std::string, std::string>>& query, const char* key)
{
    for (const auto& pair : query)
        if (pair.first == key) return &pair.second;
    return nullptr;
}

std::string LinkTo(const std::string& path, const std::vector<std::pair<std::string, std::string>>& query,
                   const char* option)
{
    std::string href = path + "?option=" + option;
    for (const auto& pair : query)
        if (pair.first != "option") href += "&" + UrlEncode(pair.first) + "=" + UrlEncode(pair.second);
    return HtmlEscape(href);
}

} // namespace

std::vector<std::pair<std::string, std::string>> ParseQuery(const std::string& target)
{
    std::vector<std::pair<std::string, std::string>> query;
    const size_t mark = target.find('?');
    if (mark == std::string::npos || mark + 1 == target.size()) return query;
    const std::string rest = target.substr(mark + 1);
    size_t start = 0;
    for (;;) {
        const size_t end = rest.find('&', start);
        const std::string pair = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const size_t equals = pair.find('=');
        if (!pair.empty())
            query.emplace_back(UrlDecode(pair.substr(0, equals)),
                               equals == std::string::npos ? std::string() : UrlDecode(pair.substr(equals + 1)));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return query;
}

std::string OrderPageHtml(const std::string& target)
{
    const auto query = ParseQuery(target);
    const std::string path = target.substr(0, target.find('?'));
    const std::string* optionValue = Find(query, "option");
    const OrderOption* option = optionValue ? FindOption(*optionValue) : nullptr;
    const std::string heading = option ? option->name : u8"请选择业务";

    // Values the dialog sent go in as the bytes they are, escaped; only the
    // page's own words are converted.
    auto field = [&](const char* label, const char* key) {
        const std::string* value = Find(query, key);
        std::string line = "<p>" + Utf8ToGbk(label) + "<b>";
        line += value && !value->empty() ? HtmlEscape(*value) : Utf8ToGbk(u8"（未提供）");
        return line + "</b></p>\n";
    };

    std::string html = "<!DOCTYPE html>\n<html><head>\n"
                       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\n<title>" +
                       Utf8ToGbk(u8"短信服务 - " + heading) + "</title>\n</head><body>\n<h1>" + Utf8ToGbk(heading) +
                       "</h1>\n";
    if (option) {
        html += "<p>" + Utf8ToGbk(option->description) + "</p>\n";
    } else if (optionValue) {
        html += "<p>" + Utf8ToGbk(u8"无法识别的业务：") + "<b>" + HtmlEscape(*optionValue) + "</b>" +
                Utf8ToGbk(u8"。请从下面选择一项业务。") + "</p>\n";
    } else {
        html += "<p>" + Utf8ToGbk(u8"地址中没有指定业务。请从下面选择一项业务。") + "</p>\n";
    }
    html += field(u8"帐号：", "user_id");
    html += field(u8"注册手机：", "registerPhone");
    html += "<p>" + Utf8ToGbk(u8"业务：") + "<b>" +
            (option ? Utf8ToGbk(option->name) + " (" + option->value + ")"
                    : optionValue ? HtmlEscape(*optionValue) : Utf8ToGbk(u8"（未提供）")) +
            "</b></p>\n";
    html += field(u8"服务号：", "service");
    html += field(u8"会话：", "session_id");

    std::string others;
    for (const auto& pair : query) {
        static const char* const kKnown[] = {"option", "user_id", "registerPhone", "service", "session_id"};
        bool known = false;
        for (const char* key : kKnown) known = known || pair.first == key;
        if (!known) others += "<li>" + HtmlEscape(pair.first) + " = " + HtmlEscape(pair.second) + "</li>\n";
    }
    if (!others.empty()) html += "<p>" + Utf8ToGbk(u8"其他参数：") + "</p>\n<ul>\n" + others + "</ul>\n";

    html += "<p>" + Utf8ToGbk(option ? u8"其他业务：" : u8"业务：") + "</p>\n<ul>\n";
    for (const auto& each : kOptions) {
        if (&each == option) continue;
        html += "<li><a href=\"" + LinkTo(path, query, each.value) + "\">" + Utf8ToGbk(each.name) + "</a></li>\n";
    }
    return html + "</ul>\n</body></html>\n";
}

struct OrderPage::Impl {
    httplib::Server server;
    std::thread thread;
};

OrderPage::OrderPage() : m_impl(new Impl) {}

OrderPage::~OrderPage() { Stop(); }

bool OrderPage::Start(const std::string& host, uint16_t port, std::string& error)
{
    m_impl->server.Get(R"(/order)", [](const httplib::Request& request, httplib::Response& response) {
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
