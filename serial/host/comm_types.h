#pragma once
// Records, flag values, event bits and error numbers of the Windows serial interface that the port
// component is written against. The layouts are binding: the port builds these records byte for byte.

#include <cstddef>
#include <cstdint>

namespace host {

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;

// Device-control record (28 bytes). The Windows bit fields are kept as one flag word with their masks.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD Flags;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
static_assert(sizeof(DCB) == 28, "device-control record must be 28 bytes");
static_assert(offsetof(DCB, Flags) == 8 && offsetof(DCB, XonLim) == 14 && offsetof(DCB, ByteSize) == 18 &&
                  offsetof(DCB, EvtChar) == 25,
              "device-control record field offsets");

// DCB.Flags
constexpr DWORD fBinary = 0x0001;
constexpr DWORD fParity = 0x0002;
constexpr DWORD fOutxCtsFlow = 0x0004;
constexpr DWORD fOutxDsrFlow = 0x0008;
constexpr DWORD fDtrControlMask = 0x0030;
constexpr DWORD fDtrControlEnable = 0x0010;
constexpr DWORD fDtrControlHandshake = 0x0020;
constexpr DWORD fDsrSensitivity = 0x0040;
constexpr DWORD fTXContinueOnXoff = 0x0080;
constexpr DWORD fOutX = 0x0100;
constexpr DWORD fInX = 0x0200;
constexpr DWORD fErrorChar = 0x0400;
constexpr DWORD fNull = 0x0800;
constexpr DWORD fRtsControlMask = 0x3000;
constexpr DWORD fRtsControlEnable = 0x1000;
constexpr DWORD fRtsControlHandshake = 0x2000;
constexpr DWORD fRtsControlToggle = 0x3000;
constexpr DWORD fAbortOnError = 0x4000;

// DCB.Parity and DCB.StopBits
constexpr BYTE NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;

// Time-out record: five values in this order.
struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
static_assert(sizeof(COMMTIMEOUTS) == 20);
constexpr DWORD MAXDWORD = 0xFFFFFFFFu;

struct COMSTAT {
    DWORD Flags; // hold reasons; always 0 here, nothing is ever sent
    DWORD cbInQue;
    DWORD cbOutQue;
};

// Line error flags (ClearCommError)
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;
constexpr DWORD CE_TXFULL = 0x0100;
constexpr DWORD CE_IOE = 0x0400;
constexpr DWORD CE_MODE = 0x8000;

// Modem status (GetCommModemStatus)
constexpr DWORD MS_CTS_ON = 0x0010;
constexpr DWORD MS_DSR_ON = 0x0020;
constexpr DWORD MS_RING_ON = 0x0040;
constexpr DWORD MS_RLSD_ON = 0x0080;

// PurgeComm actions
constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

// Event mask bits (SetCommMask / WaitCommEvent)
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;
constexpr DWORD EV_RX80FULL = 0x0400;

// Host error numbers
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_SEM_TIMEOUT = 121;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD ERROR_IO_DEVICE = 1117;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;

} // namespace host
