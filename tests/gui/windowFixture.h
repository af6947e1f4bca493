// The main window's test fixture: a window made offscreen over a throwaway home (settings,
// logs, temporary folder), English texts and a scripted alert presenter that keeps what it was
// shown.
#pragma once

#include "analysis/mediaFacts.h"
#include "batchTableModel.h"
#include "controller/batchList.h"
#include "controller/jobRecord.h"
#include "frontApi/alerts.h"
#include "mainWindow.h"
#include "platform/constants.h"
#include "scriptedPresenter.h"
#include "settings/localisation.h"
#include "settings/prefs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

/// Settings and logs in a throwaway folder, the built resources and English texts: the window
/// tests' home.
inline void useThrowawayHome(const QString &root) {
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    qputenv("XDG_STATE_HOME", (root + "/state").toUtf8());
    qputenv("FLUXARO_RESOURCE_DIR", FLUXARO_RESOURCE_DIR);
    prefReload();
    loadTranslations(QStringLiteral("en"));
}

/// Writes `bytes` to path, its folders made first.
inline void writeTestFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class window : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        useThrowawayHome(dir.path());
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

/// A batch row as the analysis makes it of `src` and its media info dictionary: waiting, rewrap
/// at normal rate, named by the source's file name, its scan note taken from the dictionary.
inline batchRow windowTestRowOf(const QString &src, QVariantMap mediaInfo) {
    batchRow row;
    row.name = src.section('/', -1);
    row.source = src;
    row.scanNote = mediaInfo.take(jobKey::scanNote).toString();
    row.facts = mediaFactsOf(mediaInfo);
    row.mediaInfo = mediaInfo;
    return row;
}

/// A batch row as the analysis makes it: waiting, rewrap at normal rate, of a source at `fps`.
inline batchRow windowTestRow(const QString &src, double fps) {
    return windowTestRowOf(src, QVariantMap{{"v0_fps", fps}, {jobKey::srcPath, src}});
}

/// A row's state as its status image is named, in the failure messages.
inline void PrintTo(rowState state, std::ostream *os) {
    *os << batchRowStateImage(state).toStdString();
}
