#include "fieldkit/device/connection_port.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

static TConnectionPort P(unsigned value) {
    return TConnectionPort(static_cast<TConnectionPort::ECommPort>(value));
}

TEST(ConnectionPort, DefaultIsBluetoothWithoutANumber) {
    const TConnectionPort port;
    EXPECT_TRUE(port.IsBluetooth());
    EXPECT_FALSE(port.IsUSB() || port.IsUnregistered() || port.IsKVLN());
    EXPECT_EQ(port.GetCommPort(), 0u);
    EXPECT_FALSE(port.IsValidPort());
}

TEST(ConnectionPort, FlagsAndNumbers) {
    const TConnectionPort usb = P(0x403);
    EXPECT_TRUE(usb.IsUSB());
    EXPECT_EQ(usb.GetCommPort(), 3u);
    EXPECT_FALSE(usb == P(3));
    EXPECT_TRUE(P(0xA05).IsKVLN());
    EXPECT_TRUE(P(0x205).IsUnregistered());
    for (const unsigned v : {0x403u, 99u, 1u, 0xF63u})
        EXPECT_TRUE(P(v).IsValidPort()) << v;
    for (const unsigned v : {100u, 0u, 0x1001u, 0xFFFFFFFFu})
        EXPECT_FALSE(P(v).IsValidPort()) << v;
    // Bits above the flags belong to the number.
    EXPECT_EQ(P(0x1001).GetCommPort(), 0x1001u);
    TConnectionPort copy;
    copy = usb;
    EXPECT_TRUE(copy == usb);
}
