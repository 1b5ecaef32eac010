#include "serial/host/termios_map.h"

namespace host {

speed_t StandardSpeed(DWORD rate) {
    switch (rate) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    case 1152000:
        return B1152000;
    case 1500000:
        return B1500000;
    case 2000000:
        return B2000000;
    case 2500000:
        return B2500000;
    case 3000000:
        return B3000000;
    case 3500000:
        return B3500000;
    case 4000000:
        return B4000000;
    default:
        return 0;
    }
}

bool DcbToTermios(const DCB& dcb, termios& out, DWORD* customRate) {
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS ||
        dcb.BaudRate == 0)
        return false;
    termios t = out;
    t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                           INPCK | IGNPAR | IUCLC | IMAXBEL);
    t.c_oflag &= ~tcflag_t(OPOST);
    t.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= CREAD | CLOCAL; // modem lines never end the session; a hang-up is seen by the wait

    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[dcb.ByteSize - 5];

    switch (dcb.Parity) {
    case ODDPARITY:
        t.c_cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        t.c_cflag |= PARENB;
        break;
    case MARKPARITY:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.Parity != NOPARITY) t.c_iflag |= (dcb.Flags & fParity) ? INPCK : IGNPAR;

    if (dcb.StopBits != ONESTOPBIT) t.c_cflag |= CSTOPB;

    if ((dcb.Flags & fOutxCtsFlow) || (dcb.Flags & fRtsControlMask) == fRtsControlHandshake)
        t.c_cflag |= CRTSCTS;
    if (dcb.Flags & fOutX) t.c_iflag |= IXON;
    if (dcb.Flags & fInX) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    speed_t speed = StandardSpeed(dcb.BaudRate);
    *customRate = speed ? 0 : dcb.BaudRate;
    if (!speed)
        speed = B38400; // placeholder for the termios call; the real rate follows via the rate interface
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    out = t;
    return true;
}

} // namespace host
