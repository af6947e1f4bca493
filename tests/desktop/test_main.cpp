// The desktop services' tests run against a session bus of their own, started before the first
// use of the bus by this process, in a private home (the trash lives under XDG_DATA_HOME).
#include "testBus.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

testBus *theTestBus = nullptr;
QString theTestHome;

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    theTestHome = home.path();
    for (const char *sub : {"home", "data", "state", "config"}) {
        QDir().mkpath(home.path() + QLatin1Char('/') + QLatin1String(sub));
    }
    setenv("HOME", qPrintable(home.path() + QStringLiteral("/home")), 1);
    setenv("XDG_DATA_HOME", qPrintable(home.path() + QStringLiteral("/data")), 1);
    setenv("XDG_STATE_HOME", qPrintable(home.path() + QStringLiteral("/state")), 1);
    setenv("XDG_CONFIG_HOME", qPrintable(home.path() + QStringLiteral("/config")), 1);
    QCoreApplication app(argc, argv);
    testBus bus;
    theTestBus = &bus;
    setenv("DBUS_SESSION_BUS_ADDRESS", qPrintable(bus.address()), 1);
    const int status = RUN_ALL_TESTS();
    theTestBus = nullptr;
    return status;
}
