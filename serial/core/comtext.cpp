#include "serial/core/comtext.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

template <typename E> E Lookup(const std::vector<std::string>& texts, const std::string& s, E fallback) {
    const std::string u = Upper(s);
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (Upper(texts[i]) == u) return static_cast<E>(i);
    return fallback;
}

template <typename E> std::string Text(const std::vector<std::string>& texts, E v) {
    const auto i = static_cast<std::size_t>(v);
    return i < texts.size() ? texts[i] : std::string();
}

// Every member of TBaudRate once, in ordinal order, with its line rate: the one list of rates. Its text
// is the rate in digits ("Custom" for brCustom).
struct BaudRateEntry {
    TBaudRate member;
    std::uint32_t rate;
};
constexpr BaudRateEntry kBaudRates[] = {
    {brCustom, 0},    {br110, 110},       {br300, 300},       {br600, 600},
    {br1200, 1200},   {br2400, 2400},     {br4800, 4800},     {br9600, 9600},
    {br14400, 14400}, {br19200, 19200},   {br38400, 38400},   {br56000, 56000},
    {br57600, 57600}, {br115200, 115200}, {br128000, 128000}, {br256000, 256000}};

constexpr bool InOrdinalOrder() {
    for (std::size_t i = 0; i < std::size(kBaudRates); ++i)
        if (static_cast<std::size_t>(kBaudRates[i].member) != i) return false;
    return kBaudRates[std::size(kBaudRates) - 1].member == br256000;
}
static_assert(InOrdinalOrder(), "kBaudRates lists every TBaudRate member in ordinal order");

} // namespace

const std::vector<std::string>& BaudRateTexts() {
    static const std::vector<std::string> t = [] {
        std::vector<std::string> texts;
        for (const BaudRateEntry& e : kBaudRates)
            texts.push_back(e.member == brCustom ? std::string("Custom") : std::to_string(e.rate));
        return texts;
    }();
    return t;
}
const std::vector<std::string>& StopBitsTexts() {
    static const std::vector<std::string> t{"1", "1.5", "2"};
    return t;
}
const std::vector<std::string>& DataBitsTexts() {
    static const std::vector<std::string> t{"5", "6", "7", "8"};
    return t;
}
const std::vector<std::string>& ParityTexts() {
    static const std::vector<std::string> t{"None", "Odd", "Even", "Mark", "Space"};
    return t;
}
const std::vector<std::string>& FlowControlTexts() {
    static const std::vector<std::string> t{"Hardware", "Software", "None", "Custom"};
    return t;
}
const std::vector<std::string>& RTSTexts() {
    static const std::vector<std::string> t{"Disable", "Enable", "Handshake", "Toggle"};
    return t;
}
const std::vector<std::string>& DTRTexts() {
    static const std::vector<std::string> t{"Disable", "Enable", "Handshake"};
    return t;
}

std::string BaudRateToStr(TBaudRate v) {
    return Text(BaudRateTexts(), v);
}
TBaudRate StrToBaudRate(const std::string& s) {
    return Lookup(BaudRateTexts(), s, br9600);
}
std::string StopBitsToStr(TStopBits v) {
    return Text(StopBitsTexts(), v);
}
TStopBits StrToStopBits(const std::string& s) {
    return Lookup(StopBitsTexts(), s, sbOneStopBit);
}
std::string DataBitsToStr(TDataBits v) {
    return Text(DataBitsTexts(), v);
}
TDataBits StrToDataBits(const std::string& s) {
    return Lookup(DataBitsTexts(), s, dbEight);
}
std::string ParityToStr(TParityBits v) {
    return Text(ParityTexts(), v);
}
TParityBits StrToParity(const std::string& s) {
    return Lookup(ParityTexts(), s, prNone);
}
std::string FlowControlToStr(TFlowControl v) {
    return Text(FlowControlTexts(), v);
}
TFlowControl StrToFlowControl(const std::string& s) {
    return Lookup(FlowControlTexts(), s, fcCustom);
}
std::string RTSToStr(TRTSFlowControl v) {
    return Text(RTSTexts(), v);
}
TRTSFlowControl StrToRTS(const std::string& s) {
    return Lookup(RTSTexts(), s, rtsDisable);
}
std::string DTRToStr(TDTRFlowControl v) {
    return Text(DTRTexts(), v);
}
TDTRFlowControl StrToDTR(const std::string& s) {
    return Lookup(DTRTexts(), s, dtrDisable);
}

std::string BoolToStr(bool v) {
    return v ? "Yes" : "No";
}
bool StrToBool(const std::string& s) {
    return Upper(s) == "YES";
}

std::string CharToStr(char c) {
    const int code = static_cast<unsigned char>(c);
    if (code >= 33 && code <= 127) return std::string(1, c);
    return "#" + std::to_string(code);
}

char StrToChar(const std::string& s) {
    if (s.empty()) return 0;
    if (s[0] != '#') return s[0];
    if (s.size() == 1) return '#';
    long long value = 0;
    const char* first = s.data() + 1;
    const char* last = s.data() + s.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) return 0;
    return static_cast<char>(static_cast<unsigned char>(value & 0xFF));
}

std::uint32_t BaudRateValue(TBaudRate v) {
    const auto i = static_cast<std::size_t>(v);
    return i < std::size(kBaudRates) ? kBaudRates[i].rate : 0;
}
