/// @file
/// The link to a receiver or instrument: a numbered serial port, possibly carried over
/// Bluetooth or USB. A plain value type that applications store in their settings.
///
/// @ingroup device
#pragma once

#include <cstdint>

/// @addtogroup device
/// @{

/// The port a receiver or instrument is connected through, with its link flags.
class TConnectionPort {
  public:
    /// The port value: the port number in bits 0-7 and 12-31, link flags in bits 8-11. Any
    /// 32-bit value is a valid ECommPort; the names below are the flags.
    enum ECommPort : std::uint32_t {
        COMMPORT_BLUETOOTH = 0x100,
        COMMPORT_UNREGISTERED = 0x200,
        COMMPORT_USB = 0x400,
        COMMPORT_KVLN = 0x800,
        COMMPORT_FLAGS = 0xF00
    };

    /// The default, 256, is a Bluetooth link with port number 0 (not a valid port).
    TConnectionPort(ECommPort value = COMMPORT_BLUETOOTH)  // NOLINT(google-explicit-constructor)
        : m_value(value) {}

    /// Whether the flag of that link is set.
    ///@{
    bool IsBluetooth() const { return (m_value & COMMPORT_BLUETOOTH) != 0; }
    bool IsUnregistered() const { return (m_value & COMMPORT_UNREGISTERED) != 0; }
    bool IsUSB() const { return (m_value & COMMPORT_USB) != 0; }
    bool IsKVLN() const { return (m_value & COMMPORT_KVLN) != 0; }
    ///@}

    /// The value with the flag bits 8-11 cleared.
    ECommPort GetCommPort() const { return static_cast<ECommPort>(m_value & ~COMMPORT_FLAGS); }
    /// A port number from 1 to 99 (higher bits set make it invalid).
    bool IsValidPort() const { return GetCommPort() >= 1 && GetCommPort() <= 99; }

    /// Whole values, flags included.
    ///@{
    bool operator==(const TConnectionPort& other) const { return m_value == other.m_value; }
    bool operator!=(const TConnectionPort& other) const { return m_value != other.m_value; }
    TConnectionPort& operator=(const TConnectionPort& other) = default;
    TConnectionPort(const TConnectionPort& other) = default;
    ///@}

  private:
    ECommPort m_value;
};

/// @}
