// The switch protocol over a test's own blocking socket: the next whole
// frame, however the bytes arrive.
#pragma once
#include <winsock2.h>

#include "switch_frame.h"

#include <string>

// False when the stream breaks, a frame is malformed, or nothing comes for
// `waitSeconds`.
inline bool ReadSwitchFrame(SOCKET socket, switchproto::FrameReader& reader, switchproto::Frame& frame,
                            long waitSeconds)
{
    std::string error;
    for (;;) {
        const switchproto::FrameReader::Result result = reader.Next(frame, error);
        if (result == switchproto::FrameReader::kFrame) return true;
        if (result == switchproto::FrameReader::kBad) return false;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket, &set);
        timeval wait = {waitSeconds, 0};
        if (select(0, &set, nullptr, nullptr, &wait) != 1) return false;
        char buffer[4096];
        const int n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        reader.Feed(buffer, static_cast<size_t>(n));
    }
}
