#include "fieldkit/device/connection_port.h"

#include <gtest/gtest.h>

namespace {

TConnectionPort P(unsigned value) {
    return TConnectionPort(static_cast<TConnectionPort::ECommPort>(value));
}

// Fault: flags compared without the number, or bits above the flags dropped from the number
TEST(ConnectionPort, FlagsNumbersAndComparison) {
    const TConnectionPort port;  // Bluetooth without a number
    EXPECT_TRUE(port.IsBluetooth() && port == P(0x100));
    EXPECT_FALSE(port.IsUSB() || port.IsUnregistered() || port.IsKVLN() || port.IsValidPort());
    EXPECT_EQ(port.GetCommPort(), 0u);

    const TConnectionPort usb = P(0x403);
    EXPECT_TRUE(usb.IsUSB() && !usb.IsBluetooth());
    EXPECT_EQ(usb.GetCommPort(), 3u);
    EXPECT_TRUE(usb != P(3) && !(usb == P(3)));  // whole values compare, flags included
    EXPECT_TRUE(P(0xA05).IsKVLN() && P(0xA05).IsUnregistered() && !P(0xA05).IsUSB());
    for (const unsigned v : {0x403u, 99u, 1u, 0xF63u})
        EXPECT_TRUE(P(v).IsValidPort()) << v;
    for (const unsigned v : {100u, 0u, 0x1001u, 0xFFFFFFFFu})
        EXPECT_FALSE(P(v).IsValidPort()) << v;
    // Bits above the flags belong to the number.
    EXPECT_EQ(P(0x1001).GetCommPort(), 0x1001u);
    EXPECT_EQ(P(0xFFFFFFFF).GetCommPort(), 0xFFFFF0FFu);
}

}  // namespace
