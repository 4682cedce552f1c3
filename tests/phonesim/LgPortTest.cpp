#include "LgPort.h"
#include "SimTestBytes.h"

#include <gtest/gtest.h>

using phonesim::LgPort;

TEST(LgPort, OpensPerFamilyAndAnswersFramesInItsWrapping)
{
    {
        SCOPED_TRACE("lg: after its AT command, frames as they are");
        LgPort port;
        EXPECT_TRUE(LgPort::isPortOpening("AT$LGAPP=1"));
        EXPECT_EQ(port.openFromAtCommand(), LgPort::kPortReadyFrame);
        EXPECT_EQ(port.mode(), LgPort::Mode::Lg);
        EXPECT_TRUE(port.input(hex("FF AA")).isEmpty());
        EXPECT_EQ(port.input(hex("BB 7E FF 01 7E")), (QList<QByteArray>{hex("FF AA BB 7E"), hex("FF 01 7E")}));
    }
    {
        SCOPED_TRACE("lg2: the OBEX connect opens it, packets follow");
        LgPort port;
        EXPECT_EQ(port.input(hex("80 00 10 11 00 40 00 4A 00 09 4C 69 6E 75 78 00")),
                  QList<QByteArray>{LgPort::kObexConnectAnswer});
        EXPECT_EQ(port.mode(), LgPort::Mode::Lg2);
        EXPECT_EQ(port.input(hex("83 00 0A 70 00 07 FF AA BB 7E")),
                  QList<QByteArray>{hex("A0 00 0A 48 00 07 FF AA BB 7E")});
    }
    {
        SCOPED_TRACE("lg3: packets from the first, in pieces");
        LgPort port;
        EXPECT_TRUE(port.input(hex("82 00 0A 49")).isEmpty());
        EXPECT_EQ(port.mode(), LgPort::Mode::Lg3);
        EXPECT_EQ(port.input(hex("00 07 FF AA BB 7E")), QList<QByteArray>{hex("A0 00 0A 48 00 07 FF AA BB 7E")});
        EXPECT_EQ(port.frames(), QList<QByteArray>{hex("FF AA BB 7E")});
    }
}

TEST(LgPort, BusyAnswersAndBadPackets)
{
    LgPort lg;
    lg.setBusy(LgPort::Busy::Frame);
    EXPECT_EQ(lg.openFromAtCommand(), LgPort::kBusyFrame);

    LgPort lg3;
    lg3.setBusy(LgPort::Busy::Short);
    EXPECT_EQ(lg3.input(hex("83 00 0A 70 00 07 FF AA BB 7E")), QList<QByteArray>{hex("A0 00 09 48 00 06 C0 00 03")});

    LgPort bad;
    EXPECT_TRUE(bad.input(hex("83 00 01 FF FF")).isEmpty());   // a length below the header's own
    EXPECT_TRUE(bad.input(hex("83 00 09 70 00 06 FF 01 7E")).size() == 1);

    LgPort quiet;
    quiet.setFrameHandler([](const QByteArray&) { return QByteArray(); });
    quiet.openFromAtCommand();
    EXPECT_TRUE(quiet.input(hex("FF 01 7E")).isEmpty());
    EXPECT_EQ(quiet.frames().size(), 1);
}
