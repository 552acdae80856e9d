#include "fieldkit/device/connection_port.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

using Port = TConnectionPort::ECommPort;

TEST(ConnectionPort, DefaultIsBluetoothWithoutANumber) {
    const TConnectionPort port;
    EXPECT_TRUE(port.IsBluetooth());
    EXPECT_FALSE(port.IsUSB() || port.IsUnregistered() || port.IsKVLN());
    EXPECT_EQ(port.GetCommPort(), 0u);
    EXPECT_FALSE(port.IsValidPort());
}

TEST(ConnectionPort, FlagsAndNumbers) {
    const TConnectionPort usb(static_cast<Port>(0x403));
    EXPECT_TRUE(usb.IsUSB());
    EXPECT_EQ(usb.GetCommPort(), 3u);
    EXPECT_TRUE(usb.IsValidPort());
    EXPECT_FALSE(usb == TConnectionPort(static_cast<Port>(3)));
    EXPECT_TRUE(TConnectionPort(static_cast<Port>(0xA05)).IsKVLN());
    EXPECT_TRUE(TConnectionPort(static_cast<Port>(0x205)).IsUnregistered());

    struct Case {
        unsigned value;
        bool valid;
    };
    for (const Case c : {Case{99, true}, Case{100, false}, Case{0, false}, Case{1, true},
                         Case{0xF63, true}, Case{0x1001, false}, Case{0xFFFFFFFF, false}}) {
        EXPECT_EQ(TConnectionPort(static_cast<Port>(c.value)).IsValidPort(), c.valid) << c.value;
    }
    // Bits above the flags belong to the number.
    EXPECT_EQ(TConnectionPort(static_cast<Port>(0x1001)).GetCommPort(), 0x1001u);

    TConnectionPort copy;
    copy = usb;
    EXPECT_TRUE(copy == usb);
}
