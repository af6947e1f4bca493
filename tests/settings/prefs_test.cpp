#include "settings/appPrefs.h"
#include "settings/prefs.h"

#include "testEnv.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

// Each test starts from an empty store in the test's own settings folder.
class Prefs : public ::testing::Test {
protected:
    void SetUp() override {
        prefReload();
        QFile::remove(prefFilePathStr());
        QFile::remove(prefWorkingFilePathStr());
        QFile::remove(prefFilePathStr() + QStringLiteral(".damaged"));
        QFile::remove(testRootStr() + QStringLiteral("/config/user-dirs.dirs"));
    }
};

} // namespace

TEST_F(Prefs, StoreFileLivesUnderTheConfigFolder) {
    EXPECT_EQ(prefFilePathStr(),
              testRootStr() + QStringLiteral("/config/org.fluxaro.Fluxaro.plist"));
    ASSERT_TRUE(prefWrite(QStringLiteral("prefSpeed"), 1));
    prefSynchronize();
    EXPECT_TRUE(readBytes(prefFilePathStr()).contains("<key>prefSpeed</key>"));
}

TEST_F(Prefs, ValuesComeBackWithTheirTypesAfterARestart) {
    const QDateTime date(QDate(2011, 6, 15), QTime(14, 30, 5), QTimeZone::utc());
    QVariantMap job;
    job.insert(QStringLiteral("srcPathStr"), QStringLiteral("/m/00001.MTS"));
    job.insert(QStringLiteral("v0_fps"), 50.0);
    job.insert(QStringLiteral("nested"), QVariantMap{{QStringLiteral("encV"), 1}});
    ASSERT_TRUE(prefWrite(QStringLiteral("i"), 42));
    ASSERT_TRUE(prefWrite(QStringLiteral("f"), 0.1));
    ASSERT_TRUE(prefWrite(QStringLiteral("s"), QStringLiteral("texte")));
    ASSERT_TRUE(prefWrite(QStringLiteral("b"), true));
    ASSERT_TRUE(prefWrite(QStringLiteral("d"), date));
    ASSERT_TRUE(prefWriteDico(QStringLiteral("processEncDico"), job));

    prefReload(); // as the next run of the program would see it

    EXPECT_EQ(prefRead2(QStringLiteral("i")).typeId(), QMetaType::Int);
    EXPECT_EQ(prefRead2(QStringLiteral("i")).toInt(), 42);
    EXPECT_EQ(prefRead2(QStringLiteral("f")).typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(prefRead2(QStringLiteral("f")).toDouble(), 0.1);
    EXPECT_EQ(prefRead2(QStringLiteral("s")).toString(), QStringLiteral("texte"));
    EXPECT_EQ(prefRead2(QStringLiteral("b")).typeId(), QMetaType::Bool);
    EXPECT_EQ(prefRead2(QStringLiteral("d")).toDateTime(), date);
    EXPECT_EQ(prefReadDico(QStringLiteral("processEncDico")), job);
}

TEST_F(Prefs, ReadsAndTheirTextForms) {
    ASSERT_TRUE(prefWrite(QStringLiteral("one"), 1));
    ASSERT_TRUE(prefWrite(QStringLiteral("yes"), true));
    ASSERT_TRUE(prefWrite(QStringLiteral("rate"), 29.97));
    EXPECT_EQ(prefRead(QStringLiteral("one")), QStringLiteral("1"));
    EXPECT_EQ(prefRead(QStringLiteral("yes")), QStringLiteral("1"));
    EXPECT_EQ(prefRead(QStringLiteral("rate")), QStringLiteral("29.97"));
    EXPECT_EQ(prefRead(QStringLiteral("missing")), QString());
    EXPECT_EQ(prefRead(QString()), QString());
    EXPECT_FALSE(prefRead2(QStringLiteral("missing")).isValid());
    EXPECT_FALSE(prefReadDico(QStringLiteral("one")).has_value());

    // Missing key or value: nothing stored.
    EXPECT_FALSE(prefWrite(QString(), 1));
    EXPECT_FALSE(prefWrite(QStringLiteral("k"), QVariant()));
    EXPECT_FALSE(prefRead2(QStringLiteral("k")).isValid());
    EXPECT_FALSE(prefWriteDico(QString(), {}));

    EXPECT_TRUE(prefDelete(QStringLiteral("one")));
    EXPECT_TRUE(prefDelete(QStringLiteral("one")));
    EXPECT_FALSE(prefRead2(QStringLiteral("one")).isValid());

    const QVariantMap nested{{QStringLiteral("a b"), 1},
                             {QStringLiteral("c"), QStringLiteral("x")}};
    EXPECT_EQ(prefDescription(nested), QStringLiteral("{\n    \"a b\" = 1;\n    c = x;\n}"));
}

TEST_F(Prefs, ChildEntries) {
    // An absent parent is created with the single child.
    EXPECT_TRUE(prefWriteChildDico(QStringLiteral("processEncDico"), QStringLiteral("encV"), 1));
    EXPECT_EQ(prefReadDico(QStringLiteral("processEncDico")),
              (QVariantMap{{QStringLiteral("encV"), 1}}));
    EXPECT_TRUE(prefWriteChildDico(QStringLiteral("processEncDico"), QStringLiteral("out"), 2));
    EXPECT_TRUE(prefWriteChildDico(QStringLiteral("processEncDico"), QStringLiteral("encV"), 3));
    EXPECT_EQ(prefReadChildDico(QStringLiteral("processEncDico"), QStringLiteral("encV")).toInt(),
              3);
    EXPECT_EQ(prefReadChildDico(QStringLiteral("processEncDico"), QStringLiteral("out")).toInt(),
              2);
    EXPECT_FALSE(
        prefReadChildDico(QStringLiteral("processEncDico"), QStringLiteral("no")).isValid());
    EXPECT_FALSE(prefReadChildDico(QStringLiteral("absent"), QStringLiteral("encV")).isValid());
    EXPECT_FALSE(prefReadChildDico(QString(), QStringLiteral("encV")).isValid());
    EXPECT_FALSE(prefWriteChildDico(QStringLiteral("p"), QString(), 1));
    EXPECT_FALSE(prefWriteChildDico(QStringLiteral("p"), QStringLiteral("c"), QVariant()));

    // Deleting an absent child or parent changes nothing and still answers true.
    const std::optional<QVariantMap> before = prefReadDico(QStringLiteral("processEncDico"));
    EXPECT_TRUE(prefDeleteChildDico(QStringLiteral("processEncDico"), QStringLiteral("no")));
    EXPECT_TRUE(prefDeleteChildDico(QStringLiteral("absent"), QStringLiteral("encV")));
    EXPECT_EQ(prefReadDico(QStringLiteral("processEncDico")), before);
    EXPECT_FALSE(prefRead2(QStringLiteral("absent")).isValid());

    EXPECT_TRUE(prefDeleteChildDico(QStringLiteral("processEncDico"), QStringLiteral("encV")));
    EXPECT_EQ(prefReadDico(QStringLiteral("processEncDico")),
              (QVariantMap{{QStringLiteral("out"), 2}}));
}

TEST_F(Prefs, DefaultsAndTheStartUpSweep) {
    // The videos folder as the user's folder list names it, with a final "/" of its own.
    ASSERT_TRUE(writeBytes(testRootStr() + QStringLiteral("/config/user-dirs.dirs"),
                           "XDG_VIDEOS_DIR=\"$HOME/Films/\"\n"));
    QDir().mkpath(testRootStr() + QStringLiteral("/users/me/Films"));
    const QVariantMap defaults = appPrefs();
    EXPECT_EQ(defaults.value(QStringLiteral("prefDefautDstPathStr")).toString(),
              testRootStr() + QStringLiteral("/users/me/Films/"));
    EXPECT_EQ(defaults.value(QStringLiteral("prefSpeed")).toInt(), 2);
    EXPECT_EQ(defaults.size(), 8);
    EXPECT_EQ(defaults.value(QStringLiteral("prefJoinSpanned")).toInt(), 1);

    // What the previous run left behind, killed in the middle of a conversion while it analysed
    // the next sources.
    prefWriteDico(QStringLiteral("processEncDico"), {{QStringLiteral("encV"), 1}});
    prefWrite(QStringLiteral("encFin"), 1);
    prefWrite(QStringLiteral("analysisFfmpeg"), 1);
    prefWrite(QStringLiteral("analysisFfmpegParse"), 1);
    prefWriteDico(QStringLiteral("analysisSrcPathesDico"), {{QStringLiteral("0"), "/b.mts"}});
    prefWrite(QStringLiteral("analysisSrcPathStr"), QStringLiteral("/a.mts"));
    prefWriteDico(QStringLiteral("analysisSrcCurrentDico"),
                  {{QStringLiteral("wrapper"), "mpegts"}});
    prefWrite(QStringLiteral("imgPathStr"), QStringLiteral("/tmp/a.jpg"));
    prefWrite(QStringLiteral("displayedEncDico"), 1);
    prefWrite(QStringLiteral("NSNavLastRootDirectory"), QStringLiteral("/"));
    prefWrite(QStringLiteral("DRBurnOptions"), 1);
    prefWrite(QStringLiteral("prefDefautDstPathStr"), QString(QLatin1String("")));
    prefWrite(QStringLiteral("prefColor"), 1);
    prefReload();

    appRemoveOldTmpPrefs();
    appWriteAllPrefs();
    prefReload();

    // Every working key goes, the analysis's queue and the source it was at with the rest: the
    // next run would list them beside its own sources.
    for (const char *gone :
         {"processEncDico", "encFin", "analysisFfmpeg", "analysisFfmpegParse",
          "analysisSrcPathesDico", "analysisSrcPathStr", "analysisSrcCurrentDico", "imgPathStr"}) {
        EXPECT_FALSE(prefRead2(QString::fromLatin1(gone)).isValid()) << gone;
    }
    for (const char *kept : {"displayedEncDico", "NSNavLastRootDirectory", "DRBurnOptions"}) {
        EXPECT_TRUE(prefRead2(QString::fromLatin1(kept)).isValid()) << kept;
    }
    EXPECT_EQ(prefRead2(QStringLiteral("prefSpeed")).toInt(), 2);
    EXPECT_EQ(prefRead2(QStringLiteral("prefColor")).toInt(), 1);
    // A stored empty destination wins over the default.
    const QVariant destination = prefRead2(QStringLiteral("prefDefautDstPathStr"));
    EXPECT_TRUE(destination.isValid());
    EXPECT_EQ(destination.toString(), QString());
}

// A working store that can't be written (a full home; here a folder in the way) is told by
// prefSynchronize, and stays pending until it can be.
TEST_F(Prefs, SynchronizeTellsAStoreThatCannotBeWritten) {
    ASSERT_TRUE(prefSynchronize());
    ASSERT_TRUE(QDir().mkpath(prefWorkingFilePathStr() + QStringLiteral("/in-the-way")));
    prefWriteDico(QStringLiteral("processEncDico"), {{QStringLiteral("dstPathStr"), "/x.mov"}});
    EXPECT_FALSE(prefSynchronize());
    EXPECT_FALSE(prefSynchronize());
    ASSERT_TRUE(QDir(prefWorkingFilePathStr()).removeRecursively());
    EXPECT_TRUE(prefSynchronize());
    EXPECT_TRUE(QFileInfo(prefWorkingFilePathStr()).isFile());
    prefDelete(QStringLiteral("processEncDico"));
}

TEST_F(Prefs, ADamagedStoreIsSetAsideNotOverwritten) {
    ASSERT_TRUE(writeBytes(prefFilePathStr(), "<plist><dict><key>x</key>"));
    EXPECT_FALSE(prefRead2(QStringLiteral("x")).isValid());
    EXPECT_TRUE(prefWrite(QStringLiteral("y"), 1));
    prefReload();
    EXPECT_EQ(prefRead2(QStringLiteral("y")).toInt(), 1);
    EXPECT_EQ(readBytes(prefFilePathStr() + QStringLiteral(".damaged")),
              QByteArray("<plist><dict><key>x</key>"));
}

// Settings and working keys go to their own files: a marker of the step machine never rewrites
// the user's settings, and a setting is on the disk without waiting for the event loop's next
// turn only when it is flushed, which prefSynchronize does.
TEST_F(Prefs, SettingsAndWorkingKeysInTheirOwnFiles) {
    ASSERT_TRUE(prefWrite(QStringLiteral("prefSpeed"), 1));
    ASSERT_TRUE(prefWrite(QStringLiteral("encFin"), 1));
    ASSERT_TRUE(prefWriteChildDico(QStringLiteral("processEncDico"), QStringLiteral("encV"), 1));
    prefSynchronize();
    const QByteArray settings = readBytes(prefFilePathStr());
    const QByteArray working = readBytes(prefWorkingFilePathStr());
    EXPECT_TRUE(settings.contains("<key>prefSpeed</key>"));
    EXPECT_FALSE(settings.contains("encFin"));
    EXPECT_FALSE(settings.contains("processEncDico"));
    EXPECT_TRUE(working.contains("<key>encFin</key>"));
    EXPECT_TRUE(working.contains("<key>processEncDico</key>"));
    EXPECT_FALSE(working.contains("prefSpeed"));

    // A marker's change leaves the settings file as it is.
    const QDateTime before = QFileInfo(prefFilePathStr()).lastModified();
    ASSERT_TRUE(prefDelete(QStringLiteral("encFin")));
    ASSERT_TRUE(prefWrite(QStringLiteral("encQtEnc"), 1));
    prefSynchronize();
    EXPECT_EQ(readBytes(prefFilePathStr()), settings);
    EXPECT_EQ(QFileInfo(prefFilePathStr()).lastModified(), before);
    EXPECT_FALSE(readBytes(prefWorkingFilePathStr()).contains("encFin"));
    EXPECT_TRUE(readBytes(prefWorkingFilePathStr()).contains("encQtEnc"));

    // No hidden file of a write is left beside them.
    const QStringList left = QDir(QFileInfo(prefFilePathStr()).absolutePath())
                                 .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : left) {
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
    }
}

// Changes made in one turn of the event loop are written at its next turn, not one by one.
TEST_F(Prefs, ChangesAreWrittenAtTheNextTurnOfTheEventLoop) {
    ASSERT_TRUE(prefWrite(QStringLiteral("prefColor"), 1));
    prefSynchronize();
    ASSERT_TRUE(prefWrite(QStringLiteral("encV"), 1));
    ASSERT_TRUE(prefWrite(QStringLiteral("prefColor"), 2));
    EXPECT_FALSE(readBytes(prefWorkingFilePathStr()).contains("encV"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(readBytes(prefWorkingFilePathStr()).contains("encV"));
    prefReload();
    EXPECT_EQ(prefRead2(QStringLiteral("prefColor")).toInt(), 2);
}

// A run that crashed leaves its working file; the next start reads it, and the sweep clears the
// markers in it and the analysis's source with them. A settings file of an older version that holds
// working keys is read the same way.
TEST_F(Prefs, ACrashedRunsWorkingFileIsSwept) {
    ASSERT_TRUE(writeBytes(prefWorkingFilePathStr(),
                           "<plist><dict><key>encFin</key><integer>1</integer>"
                           "<key>analysisSrcPathStr</key><string>/a.mts</string>"
                           "<key>prefSpeed</key><integer>0</integer></dict></plist>"));
    ASSERT_TRUE(writeBytes(prefFilePathStr(),
                           "<plist><dict><key>prefSpeed</key><integer>1</integer>"
                           "<key>analysisFfmpeg</key><integer>1</integer></dict></plist>"));
    EXPECT_EQ(prefRead2(QStringLiteral("encFin")).toInt(), 1);
    // Settings come from the settings file only; working keys from the working file.
    EXPECT_EQ(prefRead2(QStringLiteral("prefSpeed")).toInt(), 1);
    EXPECT_FALSE(prefRead2(QStringLiteral("analysisFfmpeg")).isValid());
    appRemoveOldTmpPrefs();
    appWriteAllPrefs();
    prefReload();
    EXPECT_FALSE(prefRead2(QStringLiteral("encFin")).isValid());
    EXPECT_FALSE(prefRead2(QStringLiteral("analysisSrcPathStr")).isValid());
    EXPECT_EQ(prefRead2(QStringLiteral("prefSpeed")).toInt(), 1);

    prefReload();
    QFile::remove(prefWorkingFilePathStr());
    ASSERT_TRUE(writeBytes(prefFilePathStr(),
                           "<plist><dict><key>prefSpeed</key><integer>1</integer>"
                           "<key>encFin</key><integer>1</integer></dict></plist>"));
    EXPECT_EQ(prefRead2(QStringLiteral("encFin")).toInt(), 1);
    appRemoveOldTmpPrefs();
    prefReload();
    EXPECT_FALSE(prefRead2(QStringLiteral("encFin")).isValid());
    EXPECT_FALSE(readBytes(prefFilePathStr()).contains("encFin"));
    EXPECT_EQ(prefRead2(QStringLiteral("prefSpeed")).toInt(), 1);
}

TEST_F(Prefs, ADeeplyNestedStoreIsSetAsideLikeADamagedOne) {
    QByteArray text = "<plist><dict><key>x</key>";
    for (int i = 0; i < 30000; ++i)
        text += "<dict><key>k</key>";
    ASSERT_TRUE(writeBytes(prefFilePathStr(), text));
    EXPECT_FALSE(prefRead2(QStringLiteral("x")).isValid());
    EXPECT_TRUE(prefWrite(QStringLiteral("y"), 1));
    prefReload();
    EXPECT_EQ(prefRead2(QStringLiteral("y")).toInt(), 1);
    EXPECT_EQ(readBytes(prefFilePathStr() + QStringLiteral(".damaged")), text);
}
