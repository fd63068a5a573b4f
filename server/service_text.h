// The SMS service's texts: the start-up answer, relayed messages, undelivery
// notices, and the send request the client hands over. Bytes are GBK and are
// never converted.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>

namespace smsd {

const char kSeparator = '\x02';

struct SendRequest {
    std::string sender;      // without the trailing ":"
    std::string recipient;
    std::string text;        // may hold separators and CR LF: never escaped
    bool scheduled = false;
    std::string time;        // "YYYY-MM-DD HH:MM:SS" as the client wrote it
};

// False when the bytes are not "2 STX sender: STX recipient STX text STX 0"
// or "... STX 1 STX time", each with its NUL.
bool ParseSendRequest(const std::string& data, SendRequest& request, std::string& error);

// The scheduled time in the server's local time zone; false when it does not
// read as a date and time.
bool ParseLocalTime(const std::string& text, time_t& when);

// A block as the server sends it: two bytes of its own, then the text and NUL.
std::string Block(uint16_t tag, const std::string& text);

std::string StartupAnswer(const std::string& orderBase, int code, const std::string& phone);
std::string IncomingMessage(const std::string& sender, const std::string& text);
std::string UndeliveredNotice(const std::string& recipient, const std::string& reason);

} // namespace smsd
