#pragma once
// The device-control record as termios settings: pure functions, testable without a device.

#include "serial/host/comm_types.h"

#include <termios.h>

namespace host {

// Baud-rate constant (B115200 …) for a rate the C library's speed calls accept; 0 when there is none.
speed_t StandardSpeed(DWORD rate);

// Edits t for the record: raw mode, character size, parity (mark and space too), stop bits (1.5 becomes
// the driver's two, which a UART gives as 1.5 at five data bits), CTS/RTS and XON/XOFF flow control,
// VMIN = VTIME = 0 so that poll() reports every byte. *customRate is set to the rate when it must go
// through the arbitrary-rate interface, else to 0. False (t unchanged) when the record is invalid.
bool DcbToTermios(const DCB& dcb, termios& t, DWORD* customRate);

} // namespace host
