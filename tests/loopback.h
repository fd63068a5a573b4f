// A socket bound to a free port on the loopback address, for a test's own
// server or for a port that nothing answers on.
#pragma once
#include <winsock2.h>

inline SOCKET BoundLoopback(USHORT* port)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET bound = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(bound, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(bound, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return bound;
}
