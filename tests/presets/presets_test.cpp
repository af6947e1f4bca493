// The export settings of the resource folder: one file for every settings name the conversion
// can ask for, each read back by the toolbox, and each run through trakmill -s on a one-frame
// clip to check that the movie it makes is what the name says.
#include "media.h"

#include "toolbox/components.h"
#include "toolbox/exportSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kPresetDir = QStringLiteral(FLUXARO_RESOURCE_DIR "/presetQt");
const QString kTrakmill = QStringLiteral(FLUXARO_TOOLS_DIR "/trakmill");

// What a settings name promises.
struct Expected {
    QString name;
    QString codec; // QuickTime codec type
    int width = 0;
    int height = 0;
    int rate = 0; // 0: the source's
    bool letterbox = false;
};

// Every name of the conversion's naming rule for 720 and 1080 lines, and the two fall-backs.
QList<Expected> expectedPresets() {
    const QList<QPair<QString, QString>> codecs{{QStringLiteral("aic"), QStringLiteral("icod")},
                                                {QStringLiteral("pr"), QStringLiteral("apch")},
                                                {QStringLiteral("prProxy"), QStringLiteral("apco")},
                                                {QStringLiteral("prLt"), QStringLiteral("apcs")},
                                                {QStringLiteral("pr4x4"), QStringLiteral("ap4h")}};
    QList<Expected> list;
    for (const auto &[key, codec] : codecs) {
        for (const bool hdv : {false, true}) {
            for (const int height : {720, 1080}) {
                for (const int rate : {24, 25, 30, 50, 60}) {
                    const int width = height == 720 ? (hdv ? 960 : 1280) : (hdv ? 1440 : 1920);
                    list.append({QStringLiteral("%1%2%3p%4")
                                     .arg(key, hdv ? QStringLiteral("Hdv") : QString())
                                     .arg(height)
                                     .arg(rate),
                                 codec, width, height, rate, false});
                }
            }
        }
    }
    list.append({QStringLiteral("1280x720p"), QStringLiteral("apch"), 1280, 720, 0, false});
    list.append({QStringLiteral("1280x720pLetterbox"), QStringLiteral("apch"), 1280, 720, 0, true});
    return list;
}

std::vector<std::uint8_t> readBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    return {bytes.begin(), bytes.end()};
}

TEST(Presets, OneFilePerSettingsNameAndNothingElse) {
    QSet<QString> expected;
    for (const Expected &e : expectedPresets()) {
        expected.insert(e.name);
    }
    ASSERT_EQ(expected.size(), 102);
    const QStringList files = QDir(kPresetDir).entryList(QDir::Files);
    EXPECT_EQ(QSet<QString>(files.begin(), files.end()), expected);
}

TEST(Presets, EachFileHoldsWhatItsNameSays) {
    for (const Expected &e : expectedPresets()) {
        SCOPED_TRACE(e.name.toStdString());
        std::string why;
        const auto settings = toolbox::movieExportSettingsFromAtomContainer(
            readBytes(kPresetDir + '/' + e.name), &why);
        ASSERT_TRUE(settings.has_value()) << why;
        EXPECT_TRUE(settings->videoEnabled);
        EXPECT_EQ(settings->codecType, toolbox::fourCharCode(e.codec.toStdString()));
        EXPECT_EQ(settings->width, std::uint32_t(e.width));
        EXPECT_EQ(settings->height, std::uint32_t(e.height));
        EXPECT_EQ(settings->frameRate, e.rate > 0 ? toolbox::frameRateToFixed(e.rate) : 0);
        EXPECT_EQ(settings->fit,
                  e.letterbox ? toolbox::FrameFit::Letterbox : toolbox::FrameFit::Scale);
        EXPECT_TRUE(settings->soundEnabled);
        EXPECT_EQ(settings->soundFormat, toolbox::fourCharCode("twos"));
        EXPECT_EQ(settings->sampleRate, 48000u);
        EXPECT_EQ(settings->sampleBits, 16);
    }
}

// trakmill -s over every file of one codec key, on a one-frame clip with 44.1 kHz sound.
class PresetExport : public ::testing::TestWithParam<const char *> {
protected:
    static void SetUpTestSuite() {
        folder_ = new QTemporaryDir;
        clip_ = folder_->filePath(QStringLiteral("clip.mov"));
        clipMade_ =
            mediatest::run(QStringLiteral("/usr/bin/ffmpeg"),
                           {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                            QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                            QStringLiteral("testsrc=size=64x48:rate=25:duration=0.04"),
                            QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                            QStringLiteral("sine=frequency=440:sample_rate=44100:duration=0.04"),
                            QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-c:a"),
                            QStringLiteral("pcm_s16le"), clip_});
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }

    static QTemporaryDir *folder_;
    static QString clip_;
    static bool clipMade_;
};

QTemporaryDir *PresetExport::folder_ = nullptr;
QString PresetExport::clip_;
bool PresetExport::clipMade_ = false;

// "codec_type=video|codec_tag_string=apch|height=720|r_frame_rate=25/1" lines of ffprobe.
QMap<QString, QString> streamFacts(const QString &path, const QString &stream) {
    QString out;
    mediatest::run(QStringLiteral("/usr/bin/ffprobe"),
                   {QStringLiteral("-v"), QStringLiteral("error"),
                    QStringLiteral("-select_streams"), stream, QStringLiteral("-show_entries"),
                    QStringLiteral("stream=codec_name,codec_tag_string,width,height,r_frame_rate,"
                                   "sample_rate"),
                    QStringLiteral("-of"), QStringLiteral("compact=p=0"), path},
                   &out);
    QMap<QString, QString> facts;
    for (const QString &field : out.trimmed().split(QLatin1Char('|'))) {
        const qsizetype equal = field.indexOf(QLatin1Char('='));
        if (equal > 0) {
            facts.insert(field.left(equal), field.mid(equal + 1));
        }
    }
    return facts;
}

TEST_P(PresetExport, TrakmillMakesWhatTheNameSays) {
    ASSERT_TRUE(clipMade_);
    ASSERT_TRUE(QFileInfo(kTrakmill).isExecutable()) << kTrakmill.toStdString();
    const QString key = QString::fromLatin1(GetParam());
    // The settings names of this key, and nothing of a longer key ("pr" is not "prLt").
    const QRegularExpression own(QStringLiteral("^%1(Hdv)?[0-9]+p[0-9]+$").arg(key));
    int runs = 0;
    for (const Expected &e : expectedPresets()) {
        const bool fallback = !e.name.contains(own) && e.name.startsWith(QLatin1String("1280x"));
        if (!(e.name.contains(own) || (key == QLatin1String("1280x") && fallback))) {
            continue;
        }
        SCOPED_TRACE(e.name.toStdString());
        ++runs;
        const QString out = folder_->filePath(e.name + QStringLiteral(".mov"));
        QString stdOut;
        QString stdErr;
        const bool ok =
            mediatest::run(kTrakmill,
                           {QStringLiteral("-s"), kPresetDir + '/' + e.name, QStringLiteral("-i"),
                            clip_, QStringLiteral("-y"), QStringLiteral("-o"), out},
                           &stdOut, &stdErr);
        const bool encoder =
            toolbox::findImageCompressor(toolbox::fourCharCode(e.codec.toStdString())) != nullptr;
        if (!encoder) {
            // No encoder in this build (the Apple Intermediate Codec): refused cleanly, nothing
            // written.
            EXPECT_FALSE(ok);
            EXPECT_TRUE(stdErr.contains(QLatin1String("Unable to set export settings")))
                << stdErr.toStdString();
            EXPECT_FALSE(QFileInfo::exists(out));
            continue;
        }
        ASSERT_TRUE(ok) << stdErr.toStdString();
        const auto video = streamFacts(out, QStringLiteral("v:0"));
        EXPECT_EQ(video.value(QStringLiteral("codec_tag_string")), e.codec);
        EXPECT_EQ(video.value(QStringLiteral("height")), QString::number(e.height));
        EXPECT_EQ(video.value(QStringLiteral("width")), QString::number(e.width));
        EXPECT_EQ(video.value(QStringLiteral("r_frame_rate")),
                  e.rate > 0 ? QStringLiteral("%1/1").arg(e.rate) : QStringLiteral("25/1"));
        const auto sound = streamFacts(out, QStringLiteral("a:0"));
        EXPECT_EQ(sound.value(QStringLiteral("sample_rate")), QStringLiteral("48000"));
        EXPECT_TRUE(sound.value(QStringLiteral("codec_name")).startsWith(QLatin1String("pcm_s16")))
            << sound.value(QStringLiteral("codec_name")).toStdString();
        QFile::remove(out);
    }
    EXPECT_EQ(runs, key == QLatin1String("1280x") ? 2 : 20);
}

INSTANTIATE_TEST_SUITE_P(Keys, PresetExport,
                         ::testing::Values("aic", "pr", "prProxy", "prLt", "pr4x4", "1280x"),
                         [](const auto &param) { return std::string(param.param); });

} // namespace
