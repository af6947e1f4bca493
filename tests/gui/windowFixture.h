// The main window's test fixture: a window made offscreen over a throwaway home (settings,
// logs, temporary folder), English texts and a scripted alert presenter that keeps what it was
// shown.
#pragma once

#include "frontApi/alerts.h"
#include "mainWindow.h"
#include "platform/constants.h"
#include "scriptedPresenter.h"
#include "settings/localisation.h"
#include "settings/prefs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <memory>

class window : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
        qputenv("XDG_STATE_HOME", (dir.path() + "/state").toUtf8());
        qputenv("FLUXARO_RESOURCE_DIR", FLUXARO_RESOURCE_DIR);
        prefReload();
        loadTranslations(QStringLiteral("en"));
        setTMPFOLDER(dir.path() + "/tmp/");
        setOPENPERM(true);
        setDEBUG(false);
        setAlertPresenter(&presenter);
        w = std::make_unique<fluxaroMainWindow>();
        w->startupWindowSteps();
    }
    void TearDown() override {
        w.reset();
        setAlertPresenter(nullptr);
        setOPENPERM(true);
        prefReload();
    }
    QString file(const QString &name) {
        const QString path = dir.path() + "/" + name;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("not a movie");
        return path;
    }
    QTemporaryDir dir;
    scriptedPresenter presenter;
    std::unique_ptr<fluxaroMainWindow> w;
};

/// A batch row as the analysis makes it: waiting, rewrap at normal rate, of a source at `fps`.
inline QVariantMap windowTestRow(const QString &src, double fps, int order = 1) {
    return QVariantMap{
        {"order", order},     {"src", src.section('/', -1)},
        {"resultat", "puce"}, {"out", 0},
        {"fps", 0},           {"dico", QVariantMap{{"v0_fps", fps}, {"srcPathStr", src}}}};
}
