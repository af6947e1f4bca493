#include "analysis/ffmpeg.h"
#include "clips.h"
#include "settings/localisation.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Sets an environment variable for the scope, restoring the previous value after it.
class scopedEnv {
public:
    scopedEnv(const char *name, const QString &value) : name_(name), previous_(qgetenv(name)) {
        qputenv(name, value.toLocal8Bit());
    }
    ~scopedEnv() {
        if (previous_.isNull()) {
            qunsetenv(name_);
        } else {
            qputenv(name_, previous_);
        }
    }
    scopedEnv(const scopedEnv &) = delete;
    scopedEnv &operator=(const scopedEnv &) = delete;

private:
    const char *name_;
    QByteArray previous_;
};

void makeExecutable(const QString &path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

} // namespace

TEST(FfmpegAccess, RevisionOfBanners) {
    struct banner {
        const char *text;
        int32_t revision;
    };
    const banner banners[] = {
        {"ffmpeg version git-N-30000-gabcdef0, Copyright (c) 2000-2011", 30000},
        {"FFmpeg version git-N-29865-g1a2b3c4, Copyright", 29865},
        {"FFmpeg version 0.7.1, Copyright (c) 2000-2011", 70000},
        {"FFmpeg version 0.6.1, Copyright (c) 2000-2010", 60000},
        {"ffmpeg version 0.10.2, Copyright (c) 2000-2012", 100000},
        {"ffmpeg version 2.8, Copyright", 2},
        {"ffmpeg version 1.0, Copyright", 1},
        {"FFmpeg version svn-r25000, Copyright", 0},
        {"ffmpeg version 0.6.1 built on Nov 18 2010", 0},
        {"ffmpeg version 1.0 built on Nov 18 2012", 1},
        {"ffmpeg version 5.1.9-0+deb12u1 Copyright (c) 2000-2026 the FFmpeg developers\n"
         "  configuration: --prefix=/usr --extra-version=0+deb12u1 --enable-gpl\n",
         5},
        {"  1234 is not a banner", 1234},
        {"sh: 1: ffmpeg: not found", 0},
        {"", 0},
    };
    for (const banner &b : banners) {
        EXPECT_EQ(ffRevisionFromBanner(QString::fromUtf8(b.text)), b.revision) << b.text;
    }
    EXPECT_EQ(ffRevisionFromBanner(std::nullopt), 0);
}

// The shipped ffmpeg's banner, read through the blocking command: its major release number.
TEST(FfmpegAccess, RevisionOfTheShippedFfmpeg) {
    const QString banner = clips::runFfmpeg({});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("version (\\d+)\\.")).match(banner);
    ASSERT_TRUE(match.hasMatch()) << banner.toStdString();
    EXPECT_EQ(ffRevisionInt(), match.captured(1).toInt());
}

TEST(FfmpegAccess, PathPrefersTheResourceFolderThenTheToolsLinkThenTheOtherPlaces) {
    QTemporaryDir root;
    const QString resources = root.filePath("share/fluxaro");
    const QString dataHome = root.filePath("data");
    QDir().mkpath(resources);
    scopedEnv resourceDir("FLUXARO_RESOURCE_DIR", resources);
    scopedEnv xdgData("XDG_DATA_HOME", dataHome);

    // Nothing of ours: the system's program, where Debian puts it.
    EXPECT_EQ(ffmpegPathStr(), QFile::exists("/usr/bin/ffmpeg") ? "/usr/bin/ffmpeg" : "");

    makeExecutable(dataHome + "/Fluxaro/ffmpeg");
    EXPECT_EQ(ffmpegPathStr(), dataHome + "/Fluxaro/ffmpeg");
    makeExecutable(resources + "/tools/ffmpeg");
    EXPECT_EQ(ffmpegPathStr(), resources + "/tools/ffmpeg");
    makeExecutable(resources + "/ffmpeg");
    EXPECT_EQ(ffmpegPathStr(), resources + "/ffmpeg");

    // A file that can't be run is not a program.
    QFile::setPermissions(resources + "/ffmpeg", QFileDevice::ReadOwner);
    EXPECT_EQ(ffmpegPathStr(), resources + "/tools/ffmpeg");
}

TEST(FfmpegAccess, SuccessIsTheAbsenceOfFailurePhrases) {
    EXPECT_TRUE(ffmpegSuccess(clips::fixture("old-avchd-info.txt")));
    EXPECT_FALSE(ffmpegSuccess(QStringLiteral("x.mts: Operation not permitted")));
    EXPECT_FALSE(ffmpegSuccess(QStringLiteral("x.mts: operation not permitted")));
    EXPECT_FALSE(ffmpegSuccess(QStringLiteral("Error while opening file x")));
    EXPECT_FALSE(ffmpegSuccess(QStringLiteral("x.avi: Unknown format")));
    EXPECT_FALSE(ffmpegSuccess(QStringLiteral("x.mts: could not find codec parameters")));
    EXPECT_FALSE(ffmpegSuccess(QStringLiteral("")));
    EXPECT_FALSE(ffmpegSuccess(std::nullopt));
    // A report that just stops is not a failure by itself.
    EXPECT_TRUE(ffmpegSuccess(QStringLiteral("Input #0, mpegts, from 'x.mts':\n  Dura")));
}

// What the shipped ffmpeg prints when it can't read a file counts as a failure too.
TEST(FfmpegAccess, FailuresOfTheShippedFfmpeg) {
    const QString notAMovie = clips::clip("notAMovie");
    ASSERT_FALSE(notAMovie.isEmpty());
    EXPECT_FALSE(ffmpegSuccess(clips::runFfmpeg({"-i", notAMovie})));
    QTemporaryDir dir;
    EXPECT_FALSE(ffmpegSuccess(clips::runFfmpeg({"-i", dir.filePath("missing.mts")})));
    const QString movie = clips::clip("movie");
    ASSERT_FALSE(movie.isEmpty());
    EXPECT_TRUE(ffmpegSuccess(clips::runFfmpeg({"-i", movie})));
}

TEST(FfmpegAccess, FieldOrderLabels) {
    EXPECT_EQ(interlacedYuvheaders2dudStr(QStringLiteral("t")), fieldsStr("TFF"));
    EXPECT_EQ(interlacedYuvheaders2dudStr(QStringLiteral("b")), fieldsStr("BFF"));
    EXPECT_EQ(interlacedYuvheaders2dudStr(QStringLiteral("T")), fieldsStr("PFF"));
    EXPECT_EQ(interlacedYuvheaders2dudStr(QStringLiteral("p")), fieldsStr("PFF"));
    EXPECT_EQ(interlacedYuvheaders2dudStr(QStringLiteral("m")), fieldsStr("PFF"));
    EXPECT_EQ(interlacedYuvheaders2dudStr(std::nullopt), fieldsStr("PFF"));
    EXPECT_NE(fieldsStr("TFF"), fieldsStr("PFF"));
}
