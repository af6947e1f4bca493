// Test entry point for the window's dialogs: the same sandboxed user folders as the core's tests
// (see tests/platform/test_main.cpp), with a QApplication on the offscreen platform, also when
// CTest lists the tests.
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "testEnv.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
std::string gRoot;
} // namespace

QString testRootStr() {
    return QString::fromStdString(gRoot);
}

int main(int argc, char **argv) {
    std::string pattern = "/tmp/fluxaro-dialogs-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        return 2;
    }
    gRoot = pattern;
    const std::string home = gRoot + "/users/me";
    for (const std::string &dir : {home, gRoot + "/config", gRoot + "/state", gRoot + "/data",
                                   gRoot + "/runtime", gRoot + "/tmp", gRoot + "/cache"}) {
        QDir().mkpath(QString::fromStdString(dir));
    }
    ::chmod((gRoot + "/runtime").c_str(), 0700);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (gRoot + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (gRoot + "/state").c_str(), 1);
    setenv("XDG_DATA_HOME", (gRoot + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (gRoot + "/cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (gRoot + "/runtime").c_str(), 1);
    setenv("TMPDIR", (gRoot + "/tmp").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("FLUXARO_RESOURCE_DIR", FLUXARO_RESOURCE_DIR, 1);

    QApplication app(argc, argv);
    loadTranslations(QStringLiteral("en"));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    prefReload();
    QDir(QString::fromStdString(gRoot)).removeRecursively();
    return result;
}
