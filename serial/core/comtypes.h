#pragma once
// Enumerations and sets of the port component. Ordinals are positions from 0; a set has one bit per member.

#include <cstdint>
#include <initializer_list>

enum TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent { evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };
enum TStoredProp { spBasic, spFlowControl, spBuffer, spTimeouts, spParity, spOthers };
enum TComError { errFrame, errRxParity, errOverrun, errBreak, errIO, errMode, errRxOverflow, errTxFull };
enum TModemSignal { msCTS, msDSR, msRing, msRLSD };
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Family error codes of EComPort.
enum TComExceptions {
    peUnableToOpen = 1,
    peWriteFile,
    peReadFile,
    peInvalidAsync,
    pePurgeComm,
    peAsyncStatus,
    peSetCommState,
    peSetCommTimeouts,
    peSetupComm,
    peClearCommError,
    peGetModemStatus,
    peEscapeComm,
    peTransmitChar,
    peWhileConnected,
    peEnumPorts,
    peStoreSettings,
    peLoadSettings,
    peLinkRegistration,
    peLedState,
    peThreadWait,
    peWaitForEvent,
    peRxBufLinked,
    peRegistry,
    pePortNotOpen
};

// A set of enumeration members, bit = ordinal.
template <typename E> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> members) {
        for (E m : members)
            bits_ |= Bit(m);
    }
    static constexpr TEnumSet FromBits(std::uint32_t bits) {
        TEnumSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
    constexpr void Include(E m) { bits_ |= Bit(m); }
    constexpr void Exclude(E m) { bits_ &= ~Bit(m); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr std::uint32_t Bits() const { return bits_; }
    constexpr bool operator==(const TEnumSet&) const = default;
    constexpr TEnumSet operator|(TEnumSet o) const { return FromBits(bits_ | o.bits_); }

private:
    static constexpr std::uint32_t Bit(E m) { return std::uint32_t{1} << static_cast<unsigned>(m); }
    std::uint32_t bits_ = 0;
};

using TComEvents = TEnumSet<TComEvent>;
using TStoredProps = TEnumSet<TStoredProp>;
using TComErrors = TEnumSet<TComError>;
using TModemSignals = TEnumSet<TModemSignal>;

inline constexpr TComEvents AllComEvents = TComEvents::FromBits(0x3FF);
