#pragma once
#include <string>

namespace smsd {
// The server's own texts are written in UTF-8 and travel in GBK.
std::string Utf8ToGbk(const std::string& text);
// Bytes for a log line: printable ASCII as is, every other byte as \xNN.
std::string Printable(const std::string& bytes);
}
