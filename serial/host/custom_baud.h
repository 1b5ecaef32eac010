#pragma once
// Arbitrary line rates through the kernel's termios2 interface. Its header clashes with <termios.h>,
// so it is kept apart in a source file of its own.

#include <cstdint>

namespace host {

// Sets input and output rate of the open tty to rate bits/s; false with errno set on failure.
bool SetArbitraryBaudRate(int fd, std::uint32_t rate);
// The output rate the kernel holds for the tty, or 0 when it cannot be read.
std::uint32_t GetOutputBaudRate(int fd);

} // namespace host
