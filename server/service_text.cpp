#include "service_text.h"

#include <cstdio>

namespace smsd {

namespace {
std::string Join(std::initializer_list<std::string> fields)
{
    std::string out;
    for (const std::string& field : fields) {
        if (!out.empty()) out += kSeparator;
        out += field;
    }
    return out;
}

bool IsNumber(const std::string& text)
{
    return !text.empty() && text.size() <= 10 && text.find_first_not_of("0123456789") == std::string::npos;
}
} // namespace

bool ParseSendRequest(const std::string& data, SendRequest& request, std::string& error)
{
    if (data.empty() || data.back() != '\0') { error = "send request without its NUL"; return false; }
    const std::string text = data.substr(0, data.size() - 1);
    if (text.find('\0') != std::string::npos) { error = "send request with an inner NUL"; return false; }
    // Type, sender and recipient lead; the schedule closes the text. The text
    // itself may hold separators, so it is what lies between.
    const size_t first = text.find(kSeparator);
    const size_t second = first == std::string::npos ? first : text.find(kSeparator, first + 1);
    const size_t third = second == std::string::npos ? second : text.find(kSeparator, second + 1);
    if (third == std::string::npos || text.substr(0, first) != "2") { error = "not a send request"; return false; }
    std::string sender = text.substr(first + 1, second - first - 1);
    if (sender.empty() || sender.back() != ':') { error = "sender field without its colon"; return false; }
    sender.pop_back();
    request.sender = sender;
    request.recipient = text.substr(second + 1, third - second - 1);
    if (!IsNumber(request.sender) || !IsNumber(request.recipient)) { error = "sender or recipient is not a number"; return false; }

    const std::string rest = text.substr(third + 1);
    const size_t last = rest.rfind(kSeparator);
    if (last == std::string::npos) { error = "send request without a schedule field"; return false; }
    if (rest.compare(last + 1, std::string::npos, "0") == 0) {
        request.scheduled = false;
        request.text = rest.substr(0, last);
        request.time.clear();
        return true;
    }
    const size_t flag = last == 0 ? std::string::npos : rest.rfind(kSeparator, last - 1);
    if (flag == std::string::npos || rest.compare(flag + 1, last - flag - 1, "1") != 0) {
        error = "schedule field is neither 0 nor 1 with a time";
        return false;
    }
    request.scheduled = true;
    request.time = rest.substr(last + 1);
    request.text = rest.substr(0, flag);
    return true;
}

bool ParseLocalTime(const std::string& text, time_t& when)
{
    int year, month, day, hour, minute, second = 0;
    char tail;
    const int fields = sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &year, &month, &day, &hour, &minute, &second, &tail);
    if (fields != 5 && fields != 6) return false;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59 || year < 1970 || year > 9999)
        return false;
    struct tm parts = {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    when = mktime(&parts);
    return when != static_cast<time_t>(-1);
}

std::string Block(uint16_t tag, const std::string& text)
{
    std::string out;
    out += static_cast<char>(tag & 0xFF);
    out += static_cast<char>(tag >> 8);
    out += text;
    out += '\0';
    return out;
}

std::string StartupAnswer(const std::string& orderBase, int code, const std::string& phone)
{
    return Join({"1", "0", orderBase, std::to_string(code), phone});
}

std::string IncomingMessage(const std::string& sender, const std::string& text)
{
    return Join({"4", "0", sender, text});
}

std::string UndeliveredNotice(const std::string& recipient, const std::string& reason)
{
    return Join({"6", "0", recipient, reason});
}

} // namespace smsd
