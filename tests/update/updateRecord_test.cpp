// The update record, the offer rule, the addresses, the mail address and the subtitle choice:
// pure functions over texts and numbers.
#include "testEnv.h"
#include "update/supportMail.h"
#include "update/updateInstall.h"
#include "update/updateRecord.h"

#include <QProcess>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <utility>
#include <vector>

namespace {

updateRecordDico recordOf(const char *version, const char *systemMin) {
    return {{QStringLiteral("version"), QString::fromLatin1(version)},
            {QStringLiteral("systemVersionMin"), QString::fromLatin1(systemMin)}};
}

TEST(UpdateRecord, ReadsPairsByTheFourMarkers) {
    const auto record = updateRecordParse(
        QStringLiteral("<plist><dict><key>version</key><string/><value>1.5</value>\n"
                       "<key>dlPath</key><value>builds/x.zip</value>"
                       "<key>noValue</key><string>1</string>"
                       "<key>version</key><value>1.6</value></dict>"));
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->value(QStringLiteral("version")), QStringLiteral("1.6")); // later wins
    EXPECT_EQ(record->value(QStringLiteral("dlPath")), QStringLiteral("builds/x.zip"));
    EXPECT_FALSE(record->contains(QStringLiteral("noValue")));
    // A value without its closing marker runs to the end of the piece.
    const auto open =
        updateRecordParse(QStringLiteral("<key>a</key><value>b</value><key>c</key><value>d"));
    ASSERT_TRUE(open.has_value());
    EXPECT_EQ(open->value(QStringLiteral("c")), QStringLiteral("d"));
}

TEST(UpdateRecord, AnswerWithoutAllMarkersIsUnreadable) {
    EXPECT_FALSE(updateRecordParse(QStringLiteral("<html>garbage</html>")));
    EXPECT_FALSE(updateRecordParse(QStringLiteral("<key>version</key><value>2")));
    EXPECT_FALSE(updateRecordParse(QString()));
}

TEST(UpdateRecord, OfferRuleOnVersionsAndSystemVersion) {
    EXPECT_FALSE(updateOffered(recordOf("1.0", "0"), 1.0F, 12.0F));     // same version
    EXPECT_TRUE(updateOffered(recordOf("1.1", "12.0"), 1.0F, 12.0F));   // system at the minimum
    EXPECT_FALSE(updateOffered(recordOf("1.1", "12.01"), 1.0F, 12.0F)); // system too old
    EXPECT_FALSE(updateOffered(recordOf("0.9", "0"), 1.0F, 12.0F));
    // 2.1.3 reads as 2.1: not newer than 2.1, newer than 2.09.
    EXPECT_FLOAT_EQ(updateVersionFloat(QStringLiteral("2.1.3")), 2.1F);
    EXPECT_FALSE(updateOffered(recordOf("2.1.3", "0"), 2.1F, 12.0F));
    EXPECT_TRUE(updateOffered(recordOf("2.1.3", "0"), 2.09F, 12.0F));
    // No version in the record reads as 0 and offers nothing; a failed system query (0) is
    // older than any minimum.
    EXPECT_FALSE(updateOffered({}, 1.0F, 12.0F));
    EXPECT_FALSE(updateOffered(recordOf("3", "10.4"), 1.0F, 0.0F));
}

TEST(UpdateRecord, Addresses) {
    const QString base = QStringLiteral("http://u.example/");
    EXPECT_EQ(updateDownloadUrlStr(base, QStringLiteral("builds/x.zip")),
              QStringLiteral("http://u.example/dlCenter/builds/x.zip"));
    EXPECT_EQ(updateDownloadUrlStr(base, QStringLiteral("http://m.example/y.zip")),
              QStringLiteral("http://m.example/y.zip"));
    EXPECT_EQ(updateProbeUrlStr(base, QStringLiteral("fx")),
              QStringLiteral("http://u.example/fx/isConnected.htm"));
    EXPECT_EQ(updateQueryUrlStr(base, QStringLiteral("fx"), QStringLiteral("fr"), 12.08F),
              QStringLiteral("http://u.example/dlCenter/update.php?s=fx&l=fr&os=12.080000"));
    EXPECT_EQ(updateNotesUrlStr(base, QStringLiteral("fx"), QStringLiteral("en")),
              QStringLiteral("http://u.example/dlCenter/update.php?s=fx&l=en&h"));
    // No base address: nothing to probe, so the check reports no network.
    EXPECT_TRUE(updateProbeUrlStr(QString(), QStringLiteral("fx")).isEmpty());
}

// Updates come over HTTPS only: the site and the record's download address, whatever their
// case; a length or digest the record gives must be readable, or nothing is downloaded.
TEST(UpdateRecord, TheDownloadPlanTakesHttpsOnlyAndReadableChecks) {
    const QString base = QStringLiteral("https://u.example/");
    auto planOf = [&](const QString &site, const std::vector<std::pair<QString, QString>> &keys) {
        updateRecordDico record;
        record.insert(QStringLiteral("dlPath"), QStringLiteral("builds/x.zip"));
        for (const auto &[key, value] : keys) {
            record.insert(key, value);
        }
        return updateDownloadPlanOf(site, record);
    };
    updateDownloadPlan plan = planOf(base, {});
    EXPECT_TRUE(plan.refusal.isEmpty());
    EXPECT_EQ(plan.url, QStringLiteral("https://u.example/dlCenter/builds/x.zip"));
    EXPECT_EQ(plan.length, -1);
    EXPECT_TRUE(plan.sha256.isEmpty());

    struct insecureCase {
        const char *name;
        QString site;
        QString dlPath;
        QString refused;
    };
    const std::vector<insecureCase> insecure = {
        {"plain site", QStringLiteral("http://u.example/"), QStringLiteral("builds/x.zip"),
         QStringLiteral("http://u.example/")},
        {"plain link from a secure site", base, QStringLiteral("http://m.example/y.zip"),
         QStringLiteral("http://m.example/y.zip")},
        {"plain link in capitals", base, QStringLiteral("HTTP://m.example/y.zip"),
         QStringLiteral("HTTP://m.example/y.zip")},
        {"secure scheme without a host", base, QStringLiteral("https:///y.zip"),
         QStringLiteral("https:///y.zip")},
        {"another scheme as site", QStringLiteral("ftp://u.example/"),
         QStringLiteral("builds/x.zip"), QStringLiteral("ftp://u.example/")},
    };
    for (const insecureCase &c : insecure) {
        SCOPED_TRACE(c.name);
        plan = planOf(c.site, {{QStringLiteral("dlPath"), c.dlPath}});
        EXPECT_EQ(plan.insecureUrl, c.refused);
        EXPECT_TRUE(plan.refusal.contains(QStringLiteral("not an HTTPS address")));
    }
    plan = planOf(base, {{QStringLiteral("dlPath"), QStringLiteral("HTTPS://m.example/y.zip")}});
    EXPECT_TRUE(plan.refusal.isEmpty()) << plan.refusal.toStdString();

    const QString digest =
        QStringLiteral("9F86D081884C7D659A2FEAA0C55AD015a3bf4f1b2b0b822cd15d6c15b0f00a08");
    plan = planOf(base, {{QStringLiteral("dlLength"), QStringLiteral(" 1234 ")},
                         {QStringLiteral("dlSha256"), digest}});
    EXPECT_TRUE(plan.refusal.isEmpty()) << plan.refusal.toStdString();
    EXPECT_EQ(plan.length, 1234);
    EXPECT_EQ(plan.sha256, QByteArray::fromHex(digest.toLatin1()));
    EXPECT_EQ(plan.sha256.size(), 32);

    for (const QString &length :
         {QStringLiteral(""), QStringLiteral("-1"), QStringLiteral("1e3"), QStringLiteral("12 KB"),
          QStringLiteral("\u0661\u0662"), QStringLiteral("1234567890123456789")}) {
        SCOPED_TRACE(length.toStdString());
        plan = planOf(base, {{QStringLiteral("dlLength"), length}});
        EXPECT_TRUE(plan.refusal.contains(QStringLiteral("length"))) << plan.refusal.toStdString();
        EXPECT_TRUE(plan.insecureUrl.isEmpty());
    }
    for (const QString &bad : {QString(), digest.left(63), digest + QLatin1Char('0'),
                               digest.left(63) + QLatin1Char('g')}) {
        SCOPED_TRACE(bad.toStdString());
        plan = planOf(base, {{QStringLiteral("dlSha256"), bad}});
        EXPECT_TRUE(plan.refusal.contains(QStringLiteral("SHA-256"))) << plan.refusal.toStdString();
    }
}

TEST(UpdateRecord, BaseAddressFromTheEnvironmentEndsWithASlash) {
    setenv("FLUXARO_UPDATE_URL", "http://mirror.example/up", 1);
    EXPECT_EQ(updateBaseUrlStr(), QStringLiteral("http://mirror.example/up/"));
    unsetenv("FLUXARO_UPDATE_URL");
    EXPECT_EQ(updateBaseUrlStr(), QString()); // the default build has no update site
}

TEST(UpdateRecord, ApplicationArchiveByItsName) {
    EXPECT_TRUE(updateIsAppArchive(QStringLiteral("http://h/dlCenter/Fluxaro-1.2.zip")));
    EXPECT_FALSE(updateIsAppArchive(QStringLiteral("http://h/dlCenter/ffmpeg.zip")));
    EXPECT_FALSE(updateIsAppArchive(QStringLiteral("http://h/fluxaro/ffmpeg.zip")));
}

TEST(SupportMail, AddressCarriesVersionsAndEscapesTheBody) {
    supportMailFacts facts;
    facts.bugReport = true;
    facts.appName = QStringLiteral("Fluxaro");
    facts.shortVersion = QStringLiteral("1.0.0");
    facts.buildVersion = QStringLiteral("100");
    facts.language = QStringLiteral("en");
    facts.versionCaption = QStringLiteral("Fluxaro 1.0 R&D & more");
    facts.ffRevision = 59;
    facts.body = QStringLiteral("Please attach the logs");
    const QString url = supportMailUrlStr(facts);
    EXPECT_TRUE(url.startsWith(QStringLiteral("mailto:bugs@fluxaro.org?subject=")));
    const QString decoded = QUrl::fromPercentEncoding(url.toLatin1());
    EXPECT_TRUE(
        decoded.contains(QStringLiteral("subject=Fluxaro - version 1.00 (100) - en&body=")));
    EXPECT_TRUE(
        decoded.contains(QStringLiteral("Fluxaro 1.0 R'n'D 'n' more-r59\nPlease attach the logs")));
    // Exactly one field separator: no "&" of the texts survives unescaped.
    EXPECT_EQ(url.count(QLatin1Char('&')), 1);
    EXPECT_FALSE(url.contains(QLatin1Char(' ')));

    facts.bugReport = false;
    facts.buildVersion.clear();
    facts.body.clear();
    const QString contact = QUrl::fromPercentEncoding(supportMailUrlStr(facts).toLatin1());
    EXPECT_TRUE(contact.startsWith(QStringLiteral("mailto:contact@fluxaro.org?")));
    EXPECT_TRUE(contact.contains(QStringLiteral("(undefined rev)")));
    EXPECT_TRUE(contact.endsWith(QStringLiteral("-r59\n")));
}

TEST(HelpSubtitles, TrackByLanguage) {
    EXPECT_EQ(helpSubtitleTrackIndex(QStringLiteral("en"), 2), 0);
    EXPECT_EQ(helpSubtitleTrackIndex(QStringLiteral("fr"), 2), 1);
    EXPECT_EQ(helpSubtitleTrackIndex(QStringLiteral("de"), 2), 0);
    // One track: shown everywhere except in French.
    EXPECT_EQ(helpSubtitleTrackIndex(QStringLiteral("de"), 1), 0);
    EXPECT_EQ(helpSubtitleTrackIndex(QStringLiteral("fr"), 1), -1);
    EXPECT_EQ(helpSubtitleTrackIndex(QStringLiteral("en"), 0), -1);
}

} // namespace

namespace {

// The help movies made by the build, one per language of the slides: a video track, then the
// English and the French subtitle tracks, in that order (the window enables them by position),
// the slides' language the default track so that it shows from the first second.
TEST(HelpMovie, VideoThenEnglishThenFrenchSubtitles) {
    for (const auto &[movie, english, french] :
         {std::tuple{"help.m4v", "1", "0"}, std::tuple{"help_fr.m4v", "0", "1"}}) {
        SCOPED_TRACE(movie);
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                     QStringLiteral("stream=codec_type,codec_name:stream_disposition=default:"
                                    "stream_tags=language"),
                     QStringLiteral("-of"), QStringLiteral("csv=p=0"),
                     QStringLiteral(FLUXARO_RESOURCE_DIR "/") + QLatin1String(movie)});
        ASSERT_TRUE(probe.waitForFinished(30000));
        const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 3) << lines.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(lines.at(0).startsWith(QStringLiteral("h264,video")));
        EXPECT_EQ(lines.at(1),
                  QStringLiteral("mov_text,subtitle,%1,eng").arg(QLatin1String(english)));
        EXPECT_EQ(lines.at(2),
                  QStringLiteral("mov_text,subtitle,%1,fra").arg(QLatin1String(french)));
    }
}

} // namespace
