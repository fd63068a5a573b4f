// The account directory shared by the host and the SMS server stand-ins:
// UTF-8 INI, one section per account number. Plain C++, no platform calls.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct DirectoryAccount {
    uint32_t number = 0;
    std::string name;            // UTF-8
    std::string phone;
    int level = 0;               // SMS service level: 2 or 3 have the service
    std::vector<uint32_t> friends;
    std::vector<uint32_t> strangers;
    int answer = 1;              // start-up answer code the server gives
    bool knownToServer = true;   // false: the server refuses this number
};

class AccountDirectory {
public:
    // Two friends with the service (levels 2 and 3), a friend without it, a
    // stranger, an account without the service and a number that the SMS
    // server does not know.
    static AccountDirectory BuiltIn();

    // False with a message naming the line when the text is not a directory.
    bool Parse(const std::string& text, std::string& error);
    bool LoadFile(const std::string& path, std::string& error);

    const DirectoryAccount* Find(uint32_t number) const;
    const std::map<uint32_t, DirectoryAccount>& Accounts() const { return m_accounts; }

private:
    std::map<uint32_t, DirectoryAccount> m_accounts;
};
