#include "app/core/source_url.h"

#include <algorithm>
#include <charconv>

namespace {

bool Fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

// "HOST:PORT", "[v6]:PORT", ":PORT" or "PORT" (an empty host is left empty).
bool HostAndPort(std::string_view text, std::string& host, int& port, std::string* error) {
    std::string_view portText = text;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return Fail(error, "an IPv6 address goes in brackets before its port, as [::1]:5000");
        host = std::string(text.substr(1, close - 1));
        portText = text.substr(close + 2);
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        host = std::string(text.substr(0, colon));
        portText = text.substr(colon + 1);
        if (host.find(':') != std::string::npos)
            return Fail(error, "an IPv6 address goes in brackets before its port, as [::1]:5000");
    }
    const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (ec != std::errc() || end != portText.data() + portText.size() || port < 1 || port > 65535)
        return Fail(error, "the port is a number from 1 to 65535, not '" + std::string(portText) + "'");
    return true;
}

// "[USER@]HOST[:PORT]" of a server, the port staying url.Port unless named.
bool UserHostAndPort(std::string_view server, SourceUrl& url, const char* what, std::string* error) {
    if (const std::size_t at = server.rfind('@'); at != std::string_view::npos) {
        url.User = std::string(server.substr(0, at));
        server.remove_prefix(at + 1);
        if (url.User.find(':') != std::string::npos)
            return Fail(error, "a password does not go into the URL; give USER@HOST and it is asked for");
        if (url.User.empty()) return Fail(error, "no user before the '@'");
    }
    if (server.find(':') != std::string_view::npos || (!server.empty() && server.front() == '[')) {
        if (!HostAndPort(server, url.Host, url.Port, error)) return false;
    } else {
        url.Host = std::string(server);
    }
    if (url.Host.empty()) return Fail(error, std::string("the URL needs ") + what);
    return true;
}

} // namespace

std::optional<SourceUrl> ParseSourceUrl(std::string_view text, std::string* error) {
    SourceUrl url;
    const std::size_t scheme = text.find("://");
    if (scheme == std::string_view::npos) {
        if (text.empty()) return Fail(error, "no source given"), std::nullopt;
        url.Host = std::string(text);
        return url;
    }
    const std::string_view kind = text.substr(0, scheme), rest = text.substr(scheme + 3);
    if (kind == "udp") {
        url.Type = SourceUrl::Kind::Udp;
        if (!HostAndPort(rest, url.Host, url.Port, error)) return std::nullopt;
        if (url.Host.empty()) url.Host = "127.0.0.1"; // a listener stays on this machine unless told
    } else if (kind == "tcp") {
        url.Type = SourceUrl::Kind::Tcp;
        if (!HostAndPort(rest, url.Host, url.Port, error)) return std::nullopt;
        if (url.Host.empty()) return Fail(error, "tcp:// needs the host to connect to"), std::nullopt;
    } else if (kind == "mqtt" || kind == "mqtts") {
        url.Type = SourceUrl::Kind::Mqtt;
        url.Secure = kind == "mqtts";
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos || slash + 1 >= rest.size())
            return Fail(error, "mqtt:// needs a topic after the host, as mqtt://broker/lab/#"), std::nullopt;
        url.Topic = std::string(rest.substr(slash + 1));
        url.Port = url.Secure ? 8883 : 1883;
        if (!UserHostAndPort(rest.substr(0, slash), url, "the broker's host", error)) return std::nullopt;
    } else if (kind == "influx+http" || kind == "influx+https") {
        url.Type = SourceUrl::Kind::InfluxHttp;
        url.Secure = kind == "influx+https";
        const std::size_t slash = rest.find('/');
        url.Topic = slash == std::string_view::npos ? std::string() : std::string(rest.substr(slash + 1));
        if (!url.Topic.empty() && url.Topic.back() == '/') url.Topic.pop_back();
        const std::size_t levels = std::count(url.Topic.begin(), url.Topic.end(), '/');
        if (url.Topic.empty() || levels > 1 || url.Topic.front() == '/' ||
            url.Topic.find("//") != std::string::npos)
            return Fail(error, "influx+http:// needs a database after the host (influx+http://db:8086/lab), "
                               "or an organisation and a bucket (influx+http://db:8086/lab/rigs)"),
                   std::nullopt;
        url.Port = 8086;
        if (!UserHostAndPort(rest.substr(0, slash), url, "the database's host", error)) return std::nullopt;
        if (levels == 1 && !url.User.empty())
            return Fail(error, "an organisation's bucket is written with a token, not as a user"),
                   std::nullopt;
    } else if (kind == "influx+udp") {
        url.Type = SourceUrl::Kind::InfluxUdp;
        url.Port = 8089;
        if (rest.find(':') != std::string_view::npos || (!rest.empty() && rest.front() == '[')) {
            if (!HostAndPort(rest, url.Host, url.Port, error)) return std::nullopt;
        } else {
            url.Host = std::string(rest);
        }
        if (url.Host.empty()) return Fail(error, "influx+udp:// needs the listener's host"), std::nullopt;
    } else if (kind == "serial") {
        url.Host = std::string(rest);
        if (url.Host.empty()) return Fail(error, "serial:// needs the device"), std::nullopt;
    } else {
        return Fail(error,
                    "'" + std::string(kind) +
                        "://' is no kind of source or target (udp, tcp, mqtt, mqtts, serial, influx+http, "
                        "influx+https or influx+udp)"),
               std::nullopt;
    }
    return url;
}

std::string SourceUrlText(const SourceUrl& url) {
    const std::string host = url.Host.find(':') != std::string::npos ? "[" + url.Host + "]" : url.Host;
    switch (url.Type) {
    case SourceUrl::Kind::Udp:
        return "udp://" + host + ":" + std::to_string(url.Port);
    case SourceUrl::Kind::Tcp:
        return "tcp://" + host + ":" + std::to_string(url.Port);
    case SourceUrl::Kind::Mqtt:
        return (url.Secure ? "mqtts://" : "mqtt://") + (url.User.empty() ? "" : url.User + "@") + host + ":" +
               std::to_string(url.Port) + "/" + url.Topic;
    case SourceUrl::Kind::InfluxHttp:
        return (url.Secure ? "influx+https://" : "influx+http://") +
               (url.User.empty() ? "" : url.User + "@") + host + ":" + std::to_string(url.Port) + "/" +
               url.Topic;
    case SourceUrl::Kind::InfluxUdp:
        return "influx+udp://" + host + ":" + std::to_string(url.Port);
    case SourceUrl::Kind::Serial:
        break;
    }
    return url.Host;
}

std::string SourceServerText(const SourceUrl& url) {
    std::string text = SourceUrlText(url);
    if (url.Type == SourceUrl::Kind::Mqtt || url.Type == SourceUrl::Kind::InfluxHttp)
        text.resize(text.size() - url.Topic.size() - 1);
    return text;
}

bool IsSourceKind(SourceUrl::Kind kind) {
    return kind != SourceUrl::Kind::InfluxHttp && kind != SourceUrl::Kind::InfluxUdp;
}

bool IsInfluxBucket(const SourceUrl& url) {
    return url.Type == SourceUrl::Kind::InfluxHttp && url.Topic.find('/') != std::string::npos;
}
