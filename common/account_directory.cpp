#include "account_directory.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// UTF-8 whatever the compiler's execution character set.
const char kBuiltIn[] = u8""
    "[10001]\nname=张三\nphone=13800000001\nlevel=2\nfriends=10002,10003,10009\nstrangers=10004\n"
    "[10002]\nname=李四\nphone=13800000002\nlevel=3\nfriends=10001,10003\n"
    "[10003]\nname=王五\nphone=13800000003\nlevel=0\nfriends=10001,10002\n"
    "[10004]\nname=赵六\nphone=13800000004\nlevel=2\nfriends=10002\n"
    "[10005]\nname=钱七\nphone=13800000005\nlevel=0\nfriends=10001\n"
    "[10006]\nname=孙八\nphone=13800000006\nlevel=2\nfriends=10001\nanswer=4\n"
    "[10009]\nname=周九\nphone=13800000009\nlevel=2\nfriends=10001\nknown=0\n";

std::string Trim(const std::string& text)
{
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool ParseNumber(const std::string& text, uint32_t& number)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    const unsigned long long value = strtoull(text.c_str(), nullptr, 10);
    if (errno || value == 0 || value > 0xFFFFFFFFull) return false;
    number = static_cast<uint32_t>(value);
    return true;
}

bool ParseList(const std::string& text, std::vector<uint32_t>& numbers)
{
    numbers.clear();
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        item = Trim(item);
        if (item.empty()) continue;
        uint32_t number;
        if (!ParseNumber(item, number)) return false;
        numbers.push_back(number);
    }
    return true;
}

} // namespace

AccountDirectory AccountDirectory::BuiltIn()
{
    AccountDirectory directory;
    std::string error;
    directory.Parse(kBuiltIn, error);
    return directory;
}

bool AccountDirectory::Parse(const std::string& text, std::string& error)
{
    std::map<uint32_t, DirectoryAccount> accounts;
    DirectoryAccount* current = nullptr;
    std::stringstream lines(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        const size_t comment = line.find(';');
        if (comment != std::string::npos) line.erase(comment);
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (line.front() == '[') {
            uint32_t number;
            if (line.back() != ']' || !ParseNumber(Trim(line.substr(1, line.size() - 2)), number)) {
                error = where + "a section must be an account number in brackets";
                return false;
            }
            current = &accounts[number];
            current->number = number;
            continue;
        }
        const size_t equals = line.find('=');
        if (!current || equals == std::string::npos) {
            error = where + "expected key=value inside an account section";
            return false;
        }
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        bool ok = true;
        if (key == "name") current->name = value;
        else if (key == "phone") current->phone = value;
        else if (key == "level") current->level = atoi(value.c_str());
        else if (key == "answer") current->answer = atoi(value.c_str());
        else if (key == "known") current->knownToServer = value != "0";
        else if (key == "friends") ok = ParseList(value, current->friends);
        else if (key == "strangers") ok = ParseList(value, current->strangers);
        if (!ok) {
            error = where + "expected a list of account numbers for " + key;
            return false;
        }
    }
    m_accounts.swap(accounts);
    return true;
}

bool AccountDirectory::LoadFile(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    return Parse(text.str(), error);
}

const DirectoryAccount* AccountDirectory::Find(uint32_t number) const
{
    auto it = m_accounts.find(number);
    return it == m_accounts.end() ? nullptr : &it->second;
}
