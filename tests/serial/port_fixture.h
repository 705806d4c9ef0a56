#pragma once
#include "pty_master.h"
#include "serial/serial_port.h"

#include <gtest/gtest.h>

namespace kavro::test {

// A port opened on the slave side of a fresh pseudo-terminal.
class PortOnPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(master.isOpen());
        ASSERT_EQ(port.open(master.slavePath()), S_OK);
    }

    void setReadTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant)
    {
        SerialTimeouts t;
        t.ReadIntervalTimeout = interval;
        t.ReadTotalTimeoutMultiplier = multiplier;
        t.ReadTotalTimeoutConstant = constant;
        ASSERT_EQ(port.setTimeouts(t), S_OK);
    }

    QByteArray readPort(uint32_t size, HRESULT expected = S_OK)
    {
        QByteArray buffer(qsizetype(size), '\0');
        uint32_t got = 12345;
        EXPECT_EQ(port.read(buffer.data(), size, &got), expected);
        EXPECT_LE(got, size);
        buffer.resize(qsizetype(std::min(got, size)));
        return buffer;
    }

    PtyMaster master;
    SerialPort port;
};

} // namespace kavro::test
