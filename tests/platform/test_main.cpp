// Test entry point for the core's test programs: every per-user folder (home, settings, logs,
// data, runtime, temporary files) points into one fresh temporary folder before Qt looks at
// them, so no test ever reads or writes the real ones. A QCoreApplication runs for the event
// loop and the translations. Widget tests compile this file with FLUXARO_TEST_WIDGETS (a
// QApplication on the offscreen platform, also when CTest lists the tests), and may name a
// language to load with FLUXARO_TEST_LANGUAGE, and a screen with FLUXARO_TEST_SCREEN (its size
// in FLUXARO_TEST_SCREEN_WIDTH and _HEIGHT, its scale factor in FLUXARO_TEST_SCREEN_SCALE).
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "testEnv.h"

#include <QDir>
#include <QFile>
#ifdef FLUXARO_TEST_WIDGETS
#include <QApplication>
using testApplication = QApplication;
#else
#include <QCoreApplication>
using testApplication = QCoreApplication;
#endif

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
    std::string pattern = "/tmp/fluxaro-core-test-XXXXXX";
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
    unsetenv("FLUXARO_RESOURCE_DIR");
#ifdef FLUXARO_TEST_WIDGETS
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
#endif
#ifdef FLUXARO_TEST_SCREEN
    // A screen of another size than the offscreen platform's own 800x600, given to it as its
    // configuration file, and a scale factor: what a person with a small or dense screen sees.
    {
        const std::string config = gRoot + "/screen.json";
        QFile file(QString::fromStdString(config));
        if (!file.open(QIODevice::WriteOnly)) {
            return 2;
        }
        file.write(QStringLiteral("{\"screens\": [{\"name\": \"screen\", \"x\": 0, \"y\": 0, "
                                  "\"width\": %1, \"height\": %2, \"logicalDpi\": 96, "
                                  "\"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                       .arg(FLUXARO_TEST_SCREEN_WIDTH)
                       .arg(FLUXARO_TEST_SCREEN_HEIGHT)
                       .toUtf8());
        file.close();
        setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
        setenv("QT_SCALE_FACTOR", FLUXARO_TEST_SCREEN_SCALE, 1);
    }
#endif

    testApplication app(argc, argv);
#ifdef FLUXARO_TEST_LANGUAGE
    loadTranslations(QStringLiteral(FLUXARO_TEST_LANGUAGE));
#endif
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // The store writes itself out when the program ends: let it do so before the folder goes.
    prefReload();
    QDir(QString::fromStdString(gRoot)).removeRecursively();
    return result;
}
