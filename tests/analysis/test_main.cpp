// The probing runs go through the task chain runner, which needs an event loop; reports that
// ffInfos makes go to a temporary folder of this run.
#include "platform/constants.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    setTMPFOLDER(tmp.path() + QStringLiteral("/"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
