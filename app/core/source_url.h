#pragma once
// Where a run's bytes come from, as the user names it: a serial device (a path, or a name below /dev),
// udp://ADDRESS:PORT (a listener: on 127.0.0.1 unless an address is named, 0.0.0.0 for every
// interface; udp://:PORT and udp://PORT listen on 127.0.0.1), tcp://HOST:PORT (a client) or
// mqtt://[USER@]HOST[:PORT]/TOPIC (port 1883 unless named; mqtts:// is the same over TLS, port 8883).
// Where a run's samples go on to, besides a broker: a time-series database taking the line protocol,
// influx+http://[USER@]HOST[:PORT]/DATABASE (the 1.x write), influx+http://HOST[:PORT]/ORG/BUCKET (the
// 2.x write with a token), influx+https:// the same over TLS (port 8086 unless named), and
// influx+udp://HOST[:PORT] (a socket listener, port 8089 unless named). These are no sources.
// IPv6 addresses go in brackets. A password never goes into the text. Plain C++.

#include <optional>
#include <string>
#include <string_view>

struct SourceUrl {
    enum class Kind { Serial, Udp, Tcp, Mqtt, InfluxHttp, InfluxUdp };
    Kind Type = Kind::Serial;
    std::string Host; // the device for a serial port
    int Port = 0;
    std::string Topic;   // mqtt: the topic; influx+http: DATABASE or ORG/BUCKET
    std::string User;    // mqtt, influx+http: the user the server knows, empty for none
    bool Secure = false; // mqtt, influx+http: over TLS
};

// nullopt, with what is wrong in *error, for a text that names no source.
std::optional<SourceUrl> ParseSourceUrl(std::string_view text, std::string* error);
// The source as the user can give it again ("udp://127.0.0.1:5000").
std::string SourceUrlText(const SourceUrl& url);
// The server alone, without the topic: what a password is kept under ("mqtt://rig@broker:1883").
std::string SourceServerText(const SourceUrl& url);
// Whether the URL names somewhere samples come from (else somewhere they go to).
bool IsSourceKind(SourceUrl::Kind kind);
// An influx+http:// target of a 2.x server: ORG/BUCKET, written with a token.
bool IsInfluxBucket(const SourceUrl& url);
