#pragma once
// What the port's errors must say, shared by the tests that meet them.

#include "serial/core/comerror.h"

#include <gtest/gtest.h>

// The port's error for a device path that does not exist.
inline void ExpectDeviceNotFound(const EComPort& e) {
    EXPECT_STREQ(e.what(), "Unable to open com port (Error: 2)");
    EXPECT_EQ(e.ErrorCode(), 1);
    EXPECT_EQ(e.SystemError(), 2);
    EXPECT_EQ(e.HostErrorText(), "No such file or directory");
}
