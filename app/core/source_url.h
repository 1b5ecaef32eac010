#pragma once
// Where a run's bytes come from, as the user names it: a serial device (a path, or a name below /dev),
// udp://ADDRESS:PORT (a listener: on 127.0.0.1 unless an address is named, 0.0.0.0 for every
// interface; udp://:PORT and udp://PORT listen on 127.0.0.1), tcp://HOST:PORT (a client) or
// mqtt://[USER@]HOST[:PORT]/TOPIC (port 1883 unless named; mqtts:// is the same over TLS, port 8883).
// IPv6 addresses go in brackets. A password never goes into the text. Plain C++.

#include <optional>
#include <string>
#include <string_view>

struct SourceUrl {
    enum class Kind { Serial, Udp, Tcp, Mqtt };
    Kind Type = Kind::Serial;
    std::string Host; // the device for a serial port
    int Port = 0;
    std::string Topic;
    std::string User;    // mqtt: the user the broker knows, empty for none
    bool Secure = false; // mqtt: over TLS
};

// nullopt, with what is wrong in *error, for a text that names no source.
std::optional<SourceUrl> ParseSourceUrl(std::string_view text, std::string* error);
// The source as the user can give it again ("udp://127.0.0.1:5000").
std::string SourceUrlText(const SourceUrl& url);
// The server alone, without the topic: what a password is kept under ("mqtt://rig@broker:1883").
std::string SourceServerText(const SourceUrl& url);
