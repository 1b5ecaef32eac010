#pragma once
// Where a run's bytes come from, as the user names it: a serial device (a path, or a name below /dev),
// udp://ADDRESS:PORT (a listener: on 127.0.0.1 unless an address is named, 0.0.0.0 for every
// interface; udp://:PORT and udp://PORT listen on 127.0.0.1), tcp://HOST:PORT (a client) or
// mqtt://HOST[:PORT]/TOPIC (port 1883 unless named). IPv6 addresses go in brackets. Plain C++.

#include <optional>
#include <string>
#include <string_view>

struct SourceUrl {
    enum class Kind { Serial, Udp, Tcp, Mqtt };
    Kind Type = Kind::Serial;
    std::string Host; // the device for a serial port
    int Port = 0;
    std::string Topic;
};

// nullopt, with what is wrong in *error, for a text that names no source.
std::optional<SourceUrl> ParseSourceUrl(std::string_view text, std::string* error);
// The source as the user can give it again ("udp://127.0.0.1:5000").
std::string SourceUrlText(const SourceUrl& url);
