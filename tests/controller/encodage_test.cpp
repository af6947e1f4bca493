// The ffmpeg argument vector, the size estimates and the export preparation.
#include "controller/encodage.h"

#include "controller/jobFiles.h"
#include "jobOfRecord.h"

#include "platform/resources.h"
#include "settings/prefs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QVariantMap tsRecord() {
    return QVariantMap{{QStringLiteral("srcPathStr"), QStringLiteral("/cards/00001.MTS")},
                       {QStringLiteral("dstPathStr"), QStringLiteral("/out/clip.mov")},
                       {QStringLiteral("wrapper"), QStringLiteral("mpegts")},
                       {QStringLiteral("v0_codec"), QStringLiteral("h264")},
                       {QStringLiteral("a0_id"), 1},
                       {QStringLiteral("a0_codec"), QStringLiteral("ac3")},
                       {QStringLiteral("a0_channels"), 2}};
}

QStringList valueAfter(const QStringList &args, const QString &option) {
    QStringList values;
    for (qsizetype i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == option) {
            values << args[i + 1];
        }
    }
    return values;
}

} // namespace

// The stereo transport stream vector must stay exactly as editors and the progress parser expect.
TEST(encodage, stereoTransportStreamGivesTheFullVector) {
    const auto args = encodage(0, jobOfRecord(tsRecord()));
    ASSERT_TRUE(args);
    const QStringList expected{resourcePathStr() + QStringLiteral("/tools/ffmpeg"),
                               "-loglevel",
                               "info",
                               "-i",
                               "/cards/00001.MTS",
                               "-vcodec",
                               "copy",
                               "-vbsf",
                               "h264_mp4toannexb",
                               "-vtag",
                               "avc1",
                               "-acodec",
                               "pcm_s16le",
                               "-ac",
                               "2",
                               "-ar",
                               "48000",
                               "-atag",
                               "sowt",
                               "-sn",
                               "-y",
                               "/out/clip.mov"};
    EXPECT_EQ(*args, expected);
}

// "-async" moved a sound that starts after the picture onto the picture (FFmpeg 5.1): it is
// never given. A source whose picture comes from its own track gets ffmpeg's sound alone, on
// the source's clock; without sound ffmpeg copies the picture as usual.
TEST(encodage, soundKeepsItsPlaceAndComesAloneBesideTheSourcesPicture) {
    QVariantMap record = tsRecord();
    record[QStringLiteral("wrapper")] = QStringLiteral("mov,mp4,m4a,3gp,3g2,mj2");
    EXPECT_FALSE(encodage(0, jobOfRecord(record))->contains(QStringLiteral("-async")));
    record[QStringLiteral("videoFromSource")] = 1;
    const auto args = encodage(2, jobOfRecord(record));
    ASSERT_TRUE(args);
    EXPECT_FALSE(args->contains(QStringLiteral("-async")));
    EXPECT_TRUE(args->contains(QStringLiteral("-vn")));
    EXPECT_TRUE(args->contains(QStringLiteral("-copyts")));
    EXPECT_TRUE(valueAfter(*args, QStringLiteral("-vcodec")).isEmpty());
    EXPECT_EQ(valueAfter(*args, QStringLiteral("-acodec")), QStringList{"pcm_s16le"});
    EXPECT_EQ(valueAfter(*args, QStringLiteral("-ar")), QStringList{"48000"});
    EXPECT_EQ(valueAfter(*args, QStringLiteral("-atag")), QStringList{"sowt"});
    record.remove(QStringLiteral("a0_id"));
    const auto silent = encodage(2, jobOfRecord(record));
    ASSERT_TRUE(silent);
    EXPECT_FALSE(silent->contains(QStringLiteral("-vn")));
    EXPECT_EQ(valueAfter(*silent, QStringLiteral("-vcodec")), QStringList{"copy"});
}

TEST(encodage, quickTimeFamilyHasNoBitstreamFilter) {
    for (const char *wrapper : {"mov,mp4,m4a,3gp,3g2,mj2", "avi", "MOV"}) {
        QVariantMap record = tsRecord();
        record[QStringLiteral("wrapper")] = QString::fromLatin1(wrapper);
        const auto args = encodage(2, jobOfRecord(record));
        ASSERT_TRUE(args);
        EXPECT_FALSE(args->contains(QStringLiteral("-vbsf"))) << wrapper;
        EXPECT_EQ(valueAfter(*args, QStringLiteral("-vtag")), QStringList{"avc1"}) << wrapper;
    }
}

// Other video codecs are copied with their own tag: forcing avc1 or the H.264 filter on them
// makes ffmpeg refuse the run.
TEST(encodage, nonH264VideoKeepsItsOwnTag) {
    for (const char *codec : {"mpeg2video", "mjpeg", "prores", "aic", ""}) {
        QVariantMap record = tsRecord();
        record[QStringLiteral("v0_codec")] = QString::fromLatin1(codec);
        const auto args = encodage(0, jobOfRecord(record));
        ASSERT_TRUE(args);
        EXPECT_FALSE(args->contains(QStringLiteral("-vbsf"))) << codec;
        EXPECT_FALSE(args->contains(QStringLiteral("-vtag"))) << codec;
        EXPECT_EQ(valueAfter(*args, QStringLiteral("-vcodec")), QStringList{"copy"});
    }
}

TEST(encodage, audioArguments) {
    QVariantMap silent = tsRecord();
    silent.remove(QStringLiteral("a0_id"));
    const auto noAudio = encodage(0, jobOfRecord(silent));
    ASSERT_TRUE(noAudio);
    EXPECT_FALSE(noAudio->contains(QStringLiteral("-async")));
    EXPECT_FALSE(noAudio->contains(QStringLiteral("-acodec")));
    EXPECT_FALSE(noAudio->contains(QStringLiteral("-ac")));

    QVariantMap surround = tsRecord();
    surround[QStringLiteral("a0_channels")] = 6;
    surround[QStringLiteral("prefSurrond")] = 1;
    EXPECT_EQ(valueAfter(*encodage(0, jobOfRecord(surround)), QStringLiteral("-ac")),
              QStringList{"6"});
    surround[QStringLiteral("prefSurrond")] = 0;
    EXPECT_EQ(valueAfter(*encodage(0, jobOfRecord(surround)), QStringLiteral("-ac")),
              QStringList{"2"});
    QVariantMap stereoSurround = tsRecord();
    stereoSurround[QStringLiteral("prefSurrond")] = 1;
    EXPECT_EQ(valueAfter(*encodage(0, jobOfRecord(stereoSurround)), QStringLiteral("-ac")),
              QStringList{"2"});
}

TEST(encodage, forcedDecoderStandsBeforeTheInput) {
    QVariantMap record = tsRecord();
    record[QStringLiteral("a0_force")] = 1;
    record[QStringLiteral("a0_codec")] = QStringLiteral("pcm_bluray");
    const auto args = encodage(0, jobOfRecord(record));
    ASSERT_TRUE(args);
    const qsizetype input = args->indexOf(QStringLiteral("-i"));
    EXPECT_EQ(args->indexOf(QStringLiteral("-acodec")), input - 2);
    EXPECT_EQ(args->value(input - 1), QStringLiteral("pcm_bluray"));
    EXPECT_EQ(valueAfter(*args, QStringLiteral("-acodec")),
              (QStringList{"pcm_bluray", "pcm_s16le"}));

    record.remove(QStringLiteral("a0_codec"));
    const auto noCodec = encodage(0, jobOfRecord(record));
    EXPECT_GT(noCodec->indexOf(QStringLiteral("-acodec")), noCodec->indexOf(QStringLiteral("-i")));
}

// The recording date goes into the movie header and the creation-date key, before the output;
// without a date nothing is added.
TEST(encodage, recordingDateBecomesTheOutputsMetadata) {
    QVariantMap record = tsRecord();
    record.insert(QStringLiteral("recordingDateUTC"),
                  QStringLiteral("2011-06-15T12:30:05.000000Z"));
    record.insert(QStringLiteral("recordingDateISO"), QStringLiteral("2011-06-15T14:30:05+02:00"));
    const auto args = encodage(0, jobOfRecord(record));
    ASSERT_TRUE(args.has_value());
    const qsizetype at = args->indexOf(QStringLiteral("creation_time=2011-06-15T12:30:05.000000Z"));
    ASSERT_GT(at, 0);
    EXPECT_EQ(args->at(at - 1), QStringLiteral("-metadata"));
    EXPECT_EQ(args->at(at + 1), QStringLiteral("-metadata"));
    EXPECT_EQ(args->at(at + 2),
              QStringLiteral("com.apple.quicktime.creationdate=2011-06-15T14:30:05+02:00"));
    EXPECT_EQ(args->at(at + 3), QStringLiteral("-movflags"));
    EXPECT_EQ(args->at(at + 4), QStringLiteral("+use_metadata_tags"));
    EXPECT_GT(args->indexOf(QStringLiteral("-y")), at);
    EXPECT_FALSE(encodage(0, jobOfRecord(tsRecord()))->contains(QStringLiteral("-movflags")));
}

// 24p in 2:3 pulldown bound for an export: the pulldown is removed (fields matched in the
// stream's order, the repeated picture dropped) into a lossless picture stream; pictures coded
// as fields but progressive, and any rewrap, keep the stream copy.
TEST(encodage, pulldownIsRemovedForAnExportOnly) {
    QVariantMap pulldown = tsRecord();
    pulldown.insert(QStringLiteral("v0_scanStr"), QStringLiteral("pulldown"));
    pulldown.insert(QStringLiteral("v0_streamFields"), QStringLiteral("TFF"));
    const auto exported = encodage(2, jobOfRecord(pulldown));
    ASSERT_TRUE(exported);
    EXPECT_EQ(valueAfter(*exported, QStringLiteral("-vf")),
              QStringList{QStringLiteral("fieldmatch=order=tff:combmatch=full,decimate")});
    EXPECT_EQ(valueAfter(*exported, QStringLiteral("-vcodec")),
              QStringList{QStringLiteral("libx264")});
    EXPECT_EQ(valueAfter(*exported, QStringLiteral("-qp")), QStringList{QStringLiteral("0")});
    EXPECT_TRUE(valueAfter(*exported, QStringLiteral("-vbsf")).isEmpty());
    EXPECT_EQ(valueAfter(*exported, QStringLiteral("-acodec")),
              QStringList{QStringLiteral("pcm_s16le")});

    pulldown.insert(QStringLiteral("v0_streamFields"), QStringLiteral("BFF"));
    EXPECT_EQ(valueAfter(*encodage(1, jobOfRecord(pulldown)), QStringLiteral("-vf")),
              QStringList{QStringLiteral("fieldmatch=order=bff:combmatch=full,decimate")});

    for (const auto &[out, scan] : {std::pair{0, "pulldown"}, std::pair{2, "psf"}}) {
        QVariantMap record = tsRecord();
        record.insert(QStringLiteral("v0_scanStr"), QString::fromLatin1(scan));
        const auto args = encodage(out, jobOfRecord(record));
        ASSERT_TRUE(args);
        EXPECT_EQ(*args, *encodage(out, jobOfRecord(tsRecord()))) << scan;
    }
}

TEST(encodage, missingPathsGiveNothing) {
    QVariantMap record = tsRecord();
    record.remove(QStringLiteral("dstPathStr"));
    EXPECT_FALSE(encodage(0, jobOfRecord(record)));
    EXPECT_FALSE(encodage(0, jobOfRecord(QVariantMap{})));
}

TEST(encDstPoidsEstimatif, ratesPerFormat) {
    EXPECT_NEAR(encDstPoidsEstimatif(120, 50, 0), 72.0, 1e-4);
    EXPECT_FLOAT_EQ(encDstPoidsEstimatif(120, 50, 1), 720.0F);
    EXPECT_FLOAT_EQ(encDstPoidsEstimatif(120, 50, 2), 1080.0F);
    EXPECT_FLOAT_EQ(encDstPoidsEstimatif(60, 0, 3), 540.0F);
    EXPECT_EQ(encDstExtensionStr(2, QStringLiteral("mpeg2video")), QStringLiteral("mov"));
}

TEST(encPostQtEnc, defaultSettingsByAspectRatio) {
    EXPECT_EQ(encDefaultSettingsName(1.3333F), QStringLiteral("1280x720pLetterbox"));
    EXPECT_EQ(encDefaultSettingsName(1.7778F), QStringLiteral("1280x720p"));
}

// The movie is set aside as its master and the vector names master, settings and output; the
// master is where encMasterPathOf says, the name the step machine gives the job before.
TEST(encPostQtEnc, movesTheMovieAsideAndBuildsTheVector) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    prefReload();
    QTemporaryDir dir;
    const QString working = dir.path() + QStringLiteral("/clip 'it' 100%.mov");
    QFile file(working);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("movie");
    file.close();

    const auto args = encPostQtEnc(working, 1, 1.3333F, QString());
    ASSERT_TRUE(args);
    const QString master = dir.path() + QStringLiteral("/clip 'it' 100%_MASTER.mov");
    EXPECT_FALSE(QFile::exists(working));
    EXPECT_TRUE(QFile::exists(master));
    const QStringList expected{toolsPathStr() + "/trakmill",
                               "-s",
                               resourcePathStr() + "/presetQt/1280x720pLetterbox",
                               "-i",
                               master,
                               "-y",
                               "-o",
                               working};
    EXPECT_EQ(*args, expected);
    EXPECT_EQ(encMasterPathOf(working), master);

    // A need beyond any disk: the vector is refused, the master stays for the end step.
    ASSERT_TRUE(QFile::rename(master, working));
    encPostQtEncFailure failure = encPostQtEncFailure::none;
    EXPECT_FALSE(encPostQtEnc(working, 1.0e9F, 1.77F, QStringLiteral("prHdv1080p25"), &failure));
    EXPECT_TRUE(QFile::exists(master));
    EXPECT_EQ(failure, encPostQtEncFailure::notEnoughSpace);
    // A movie that can't be moved aside is no shortage of space, and says so.
    EXPECT_FALSE(encPostQtEnc(dir.path() + "/gone.mov", 1, 1.77F, QString(), &failure));
    EXPECT_EQ(failure, encPostQtEncFailure::cannotMoveAside);

    // The self-contained copy of a reference movie: no settings, the rewrap's need.
    ASSERT_TRUE(QFile::rename(master, working));
    const auto copy = encPostQtSelfContained(working, 1, 3, &failure);
    ASSERT_TRUE(copy);
    EXPECT_EQ(failure, encPostQtEncFailure::none);
    EXPECT_EQ(*copy,
              (QStringList{toolsPathStr() + "/trakmill", "-i", master, "-y", "-o", working}));
    EXPECT_EQ(encMasterPathOf(working), master);
    ASSERT_TRUE(QFile::rename(master, working));
    EXPECT_FALSE(encPostQtSelfContained(working, 1, 1.0e12, &failure));
    EXPECT_EQ(failure, encPostQtEncFailure::notEnoughSpace);
    prefDelete("processEncDico");
}

// Of two sound tracks the first is the one kept: ffmpeg is told the streams to take, since it
// would take the one with the most channels. One sound track: ffmpeg's own choice stays.
TEST(encodage, theFirstOfSeveralSoundTracksIsMapped) {
    QVariantMap record = tsRecord();
    const std::optional<QStringList> one = encodage(0, jobOfRecord(record));
    ASSERT_TRUE(one);
    EXPECT_TRUE(valueAfter(*one, QStringLiteral("-map")).isEmpty());
    record.insert(QStringLiteral("a1_id"), 2);
    const std::optional<QStringList> two = encodage(0, jobOfRecord(record));
    ASSERT_TRUE(two);
    EXPECT_EQ(valueAfter(*two, QStringLiteral("-map")),
              (QStringList{QStringLiteral("0:v:0"), QStringLiteral("0:a:0")}));
}
