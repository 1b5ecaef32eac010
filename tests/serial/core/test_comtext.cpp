// Text forms of the settings, the error texts and the settings objects' own rules (no device needed).

#include "app/port_settings.h"
#include "serial/core/comerror.h"
#include "serial/core/comport.h"
#include "serial/core/comtext.h"
#include "serial/core/comthread.h"
#include "tests/serial/port_errors.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(ComText, BaudRatesRoundTripAndFallBack) {
    ASSERT_EQ(BaudRateTexts().size(), 16u);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(StrToBaudRate(BaudRateToStr(TBaudRate(i))), TBaudRate(i));
    EXPECT_EQ(StrToBaudRate("115200"), br115200);
    EXPECT_EQ(BaudRateTexts()[13], "115200");
    EXPECT_EQ(StrToBaudRate("custom"), brCustom);
    EXPECT_EQ(StrToBaudRate("250000"), br9600);
    EXPECT_EQ(StrToBaudRate(""), br9600);
    EXPECT_EQ(BaudRateValue(br56000), 56000u);
    EXPECT_EQ(BaudRateValue(brCustom), 0u);
}

TEST(ComText, OtherTablesCompareInUpperCaseAndFallBack) {
    // Each conversion beside what it must give.
    const std::pair<int, int> cases[] = {
        {StrToParity("none"), prNone},       {StrToParity("sPaCe"), prSpace},
        {StrToParity("Nope"), prNone},       {StrToStopBits("1.5"), sbOne5StopBits},
        {StrToStopBits("3"), sbOneStopBit},  {StrToDataBits("7"), dbSeven},
        {StrToDataBits("9"), dbEight},       {StrToFlowControl("software"), fcSoftware},
        {StrToFlowControl("xyz"), fcCustom}, {StrToRTS("TOGGLE"), rtsToggle},
        {StrToRTS("?"), rtsDisable},         {StrToDTR("handshake"), dtrHandshake},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
    EXPECT_EQ(StopBitsToStr(sbTwoStopBits), "2");
    EXPECT_EQ(ParityToStr(prMark), "Mark");
}

TEST(ComText, BooleansAndCharacters) {
    EXPECT_EQ(BoolToStr(true), "Yes");
    EXPECT_EQ(BoolToStr(false), "No");
    EXPECT_TRUE(StrToBool("yEs"));
    EXPECT_FALSE(StrToBool("true"));
    EXPECT_EQ(CharToStr('A'), "A");
    EXPECT_EQ(CharToStr(13), "#13");
    EXPECT_EQ(CharToStr(' '), "#32");
    EXPECT_EQ(CharToStr(char(127)), std::string(1, char(127)));
    EXPECT_EQ(CharToStr(char(200)), "#200");
    EXPECT_EQ(StrToChar("#13"), 13);
    EXPECT_EQ(StrToChar("#"), '#');
    EXPECT_EQ(StrToChar("#A"), 0);
    EXPECT_EQ(StrToChar(""), 0);
    EXPECT_EQ(StrToChar("xyz"), 'x');
    EXPECT_EQ(StrToChar("#269"), 13); // low byte
}

TEST(ComError, MessagesWithAndWithoutHostError) {
    EXPECT_EQ(ComErrorMessage(1), "Unable to open com port");
    EXPECT_EQ(ComErrorMessage(19), "Cannot change led state if ComPort is selected");
    EXPECT_EQ(ComErrorMessage(24), "Port Not Open");
    EXPECT_EQ(ComErrorMessage(25), "");
    TComPort port;
    try {
        port.ReportError(peUnableToOpen, 2, "No such file or directory");
        FAIL();
    } catch (const EComPort& e) {
        ExpectDeviceNotFound(e);
    }
    try {
        port.ReportError(pePortNotOpen, -24);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Port Not Open");
        EXPECT_EQ(e.SystemError(), -1);
    }
}

TEST(ComError, HandlerReplacesRaising) {
    TComPort port;
    std::vector<std::string> seen;
    port.OnException = [&](TCustomComPort& sender, TComExceptions code, const std::string& msg,
                           std::int64_t err, const std::string& text) {
        EXPECT_EQ(&sender, &port);
        seen.push_back(std::to_string(code) + "|" + msg + "|" + std::to_string(err) + "|" + text);
    };
    EXPECT_NO_THROW(port.ReportError(peSetupComm, 87, "Invalid argument"));
    EXPECT_NO_THROW(port.ReportError(peWhileConnected, -1, "ignored"));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "9|SetupComm function failed|87|Invalid argument");
    EXPECT_EQ(seen[1], "14|Cannot set property while connected|-1|");
}

TEST(ComSettings, BufferRoundsPositiveOddSizesDown) {
    TComBuffer b;
    b.SetInputSize(64001);
    EXPECT_EQ(b.InputSize(), 64000);
    b.SetInputSize(1);
    EXPECT_EQ(b.InputSize(), 0);
    b.SetInputSize(-3);
    EXPECT_EQ(b.InputSize(), -3);
    b.SetOutputSize(7);
    EXPECT_EQ(b.OutputSize(), 6);
}

TEST(ComSettings, ComputedFlowControl) {
    TComFlowControl f;
    EXPECT_EQ(f.FlowControl(), fcNone);
    f.SetControlRTS(rtsHandshake);
    EXPECT_EQ(f.FlowControl(), fcCustom); // CTS output flow still off
    f.SetOutCTSFlow(true);
    EXPECT_EQ(f.FlowControl(), fcHardware);
    f.SetControlDTR(dtrHandshake); // DTR takes no part
    EXPECT_EQ(f.FlowControl(), fcHardware);
    f.SetFlowControl(fcSoftware);
    EXPECT_EQ(f.ControlRTS(), rtsDisable);
    EXPECT_FALSE(f.OutCTSFlow());
    EXPECT_TRUE(f.XonXoffIn() && f.XonXoffOut());
    EXPECT_EQ(f.FlowControl(), fcSoftware);
    f.SetFlowControl(fcCustom); // changes nothing
    EXPECT_EQ(f.FlowControl(), fcSoftware);
    f.SetFlowControl(fcNone);
    EXPECT_EQ(f.FlowControl(), fcNone);
    EXPECT_EQ(f.ControlDTR(), dtrHandshake);
}

TEST(ComSettings, AssignCopiesFieldsButNotTheOwner) {
    TComPort port;
    TComTimeouts t;
    t.SetReadInterval(5);
    t.SetWriteTotalConstant(7);
    port.SetTimeouts(t);
    EXPECT_EQ(port.Timeouts().ReadInterval(), 5);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 7);
    TComParity p;
    p.SetBits(prMark);
    p.SetCheck(true);
    port.SetParity(p);
    EXPECT_EQ(port.Parity().Bits(), prMark);
    EXPECT_TRUE(port.Parity().Check());
}

TEST(ComEvents, HostMaskOfTheWindowsEvents) {
    const TComEvents windowEvents{evRxChar, evTxEmpty, evRxFlag, evBreak, evError, evRLSD, evRx80Full};
    EXPECT_EQ(EventsToMask(windowEvents), 0x04E7u);
    EXPECT_EQ(MaskToEvents(0x04E7u), windowEvents);
    EXPECT_EQ(MaskToEvents(EventsToMask(AllComEvents)), AllComEvents);
}

TEST(ComPortDefaults, ConstructorValues) {
    TComPort p;
    EXPECT_FALSE(p.Connected());
    EXPECT_EQ(p.BaudRate(), br9600);
    EXPECT_EQ(p.CustomBaudRate(), 9600u);
    EXPECT_EQ(p.Port(), "COM1");
    EXPECT_EQ(p.Events(), AllComEvents);
    EXPECT_EQ(p.StoredProps(), TStoredProps{spBasic});
    EXPECT_EQ(p.SyncMethod(), smThreadSync);
    EXPECT_TRUE(p.TriggersOnRxChar());
    EXPECT_EQ(p.Buffer().InputSize(), 1024);
    EXPECT_EQ(p.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(p.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(p.FlowControl().XonChar(), 17);
    EXPECT_EQ(p.FlowControl().XoffChar(), 19);
}

TEST(DeviceControlRecord, WindowSettingsGiveTheDocumentedBytes) {
    TComPort p;
    ConfigureMainPort(p);
    const host::DCB d = p.DeviceControlRecord();
    const unsigned char expected[28] = {28,   0,    0,    0,        // length
                                        0x00, 0xC2, 0x01, 0x00,     // 115200
                                        0x01, 0x00, 0x00, 0x00,     // fBinary only
                                        0,    0,                    // reserved
                                        0x80, 0x3E, 0x80, 0x3E,     // XonLim = XoffLim = 16000
                                        8,    0,    0,              // 8 data bits, no parity, one stop bit
                                        17,   19,   0,    0,    13, // Xon, Xoff, error, eof, event char
                                        0,    0};
    EXPECT_EQ(std::memcmp(&d, expected, 28), 0);
}

TEST(DeviceControlRecord, FlagsAndCustomRate) {
    TComPort p;
    p.SetBaudRate(brCustom);
    p.SetCustomBaudRate(250000);
    p.SetDataBits(dbSeven);
    p.SetStopBits(sbTwoStopBits);
    p.Parity().SetBits(prSpace);
    p.Parity().SetCheck(true);
    p.Parity().SetReplace(true);
    p.Parity().SetReplaceChar('?');
    p.FlowControl().SetControlDTR(dtrHandshake);
    p.FlowControl().SetControlRTS(rtsToggle);
    p.FlowControl().SetOutCTSFlow(true);
    p.FlowControl().SetOutDSRFlow(true);
    p.FlowControl().SetXonXoffIn(true);
    p.FlowControl().SetDSRSensitivity(true);
    p.SetDiscardNull(true);
    const host::DCB d = p.DeviceControlRecord();
    EXPECT_EQ(d.BaudRate, 250000u);
    EXPECT_EQ(d.ByteSize, 7);
    EXPECT_EQ(d.StopBits, 2);
    EXPECT_EQ(d.Parity, 4);
    EXPECT_EQ(d.ErrorChar, '?');
    EXPECT_EQ(d.Flags, 0x0001u | 0x0002u | 0x0004u | 0x0008u | 0x0020u | 0x0040u | 0x0200u | 0x0400u |
                           0x0800u | 0x3000u);
    EXPECT_EQ(d.XonLim, 256); // 1024 div 4
}
