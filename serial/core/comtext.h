#pragma once
// Text forms of the port settings, shared by settings persistence and the port selection list.
// Text to value compares in upper case and takes the first match; no match gives the fallback value.

#include "serial/core/comtypes.h"

#include <cstdint>
#include <string>
#include <vector>

const std::vector<std::string>& BaudRateTexts();    // 16: "Custom", "110", … "256000"
const std::vector<std::string>& StopBitsTexts();    // "1", "1.5", "2"
const std::vector<std::string>& DataBitsTexts();    // "5" … "8"
const std::vector<std::string>& ParityTexts();      // "None", "Odd", "Even", "Mark", "Space"
const std::vector<std::string>& FlowControlTexts(); // "Hardware", "Software", "None", "Custom"
const std::vector<std::string>& RTSTexts();         // "Disable", "Enable", "Handshake", "Toggle"
const std::vector<std::string>& DTRTexts();         // "Disable", "Enable", "Handshake"

std::string BaudRateToStr(TBaudRate v);
TBaudRate StrToBaudRate(const std::string& s); // fallback br9600
std::string StopBitsToStr(TStopBits v);
TStopBits StrToStopBits(const std::string& s); // fallback sbOneStopBit
std::string DataBitsToStr(TDataBits v);
TDataBits StrToDataBits(const std::string& s); // fallback dbEight
std::string ParityToStr(TParityBits v);
TParityBits StrToParity(const std::string& s); // fallback prNone
std::string FlowControlToStr(TFlowControl v);
TFlowControl StrToFlowControl(const std::string& s); // fallback fcCustom
std::string RTSToStr(TRTSFlowControl v);
TRTSFlowControl StrToRTS(const std::string& s); // fallback rtsDisable
std::string DTRToStr(TDTRFlowControl v);
TDTRFlowControl StrToDTR(const std::string& s); // fallback dtrDisable

std::string BoolToStr(bool v);        // "Yes" / "No"
bool StrToBool(const std::string& s); // "YES" in any case is true, all else false
std::string CharToStr(char c);        // codes 33 … 127 as themselves, others "#<code>"
char StrToChar(const std::string& s); // "" → 0, "#" → '#', "#13" → 13, "#x" → 0, "A…" → 'A'

// Line rate of a baud-rate member (br115200 → 115200); 0 for brCustom.
std::uint32_t BaudRateValue(TBaudRate v);
