#include "dates/recordingDate.h"

#include "avchdCard.h"
#include "scopedTimeZone.h"

#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

using namespace avchd;

namespace {

QString q(const fs::path &path) {
    return QString::fromStdString(path.string());
}

constexpr std::int64_t k20110615At123005Utc = 1308141005;

const ClipRecord kClip3{3, {0x11, 0x06, 0x15, 0x14, 0x30, 0x05}};
const QString kClip3Name = QStringLiteral("clip-2011-06-15 14;30;05-00003");

void setModificationTime(const fs::path &path, std::int64_t seconds) {
    timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// The creation-date name the source must get: "clip-<date without a + zone>-<base>", ":" -> ";".
QString creationDateName(const fs::path &source, const QString &base) {
    QString date = dateCreation(q(source)).value_or(QString());
    const qsizetype plus = date.indexOf(QStringLiteral(" +"));
    if (plus >= 0) {
        date.truncate(plus);
    }
    QString name = QStringLiteral("clip-") + date + QLatin1Char('-') + base;
    return name.replace(QLatin1Char(':'), QLatin1Char(';'));
}

class RecordingDate : public ::testing::Test {
protected:
    TempDir tmp;
    ScopedTimeZone zone{"FLX-02"}; // two hours east of Greenwich, no daylight saving

    // A card with STREAM/00003.MTS and one playlist; answers the stream's path.
    fs::path cardWithClip3(const fs::path &card, CardForm form,
                           const std::vector<ClipRecord> &records) {
        const fs::path playlists = makeCard(card, form);
        addPlaylist(playlists, "00000.MPL", records);
        const fs::path stream = playlists.parent_path() / "STREAM" / "00003.MTS";
        writeFile(stream, "not really a stream");
        return stream;
    }
};

} // namespace

TEST(DateCreationText, LocalTimeWithZoneOffset) {
    {
        ScopedTimeZone east("FLX-02");
        EXPECT_EQ(dateCreationText(k20110615At123005Utc), "2011-06-15 14:30:05 +0200");
    }
    {
        ScopedTimeZone west("FLX+05");
        EXPECT_EQ(dateCreationText(k20110615At123005Utc), "2011-06-15 07:30:05 -0500");
    }
    {
        ScopedTimeZone halfHour("FLX-05:30");
        EXPECT_EQ(dateCreationText(k20110615At123005Utc), "2011-06-15 18:00:05 +0530");
    }
    ScopedTimeZone utc("UTC0");
    EXPECT_EQ(dateCreationText(0), "1970-01-01 00:00:00 +0000");
}

TEST_F(RecordingDate, CreationDateIsBirthTimeWhereRecordedElseModificationTime) {
    const fs::path file = tmp.path() / "holiday.mov";
    writeFile(file, "movie");
    setModificationTime(file, k20110615At123005Utc);
    struct statx status {};
    ASSERT_EQ(statx(AT_FDCWD, file.c_str(), 0, STATX_BTIME | STATX_MTIME, &status), 0);
    const QString expected = (status.stx_mask & STATX_BTIME) != 0
                                 ? dateCreationText(status.stx_btime.tv_sec)
                                 : QStringLiteral("2011-06-15 14:30:05 +0200");
    EXPECT_EQ(dateCreation(q(file)), expected);
    if ((status.stx_mask & STATX_BTIME) != 0) {
        // The birth time is now, not the modification time that was set back.
        EXPECT_NE(dateCreation(q(file)), QStringLiteral("2011-06-15 14:30:05 +0200"));
    }

    // Links are followed: through a link the target's date; a dangling link has none.
    const fs::path link = tmp.path() / "link.mov";
    fs::create_symlink(file, link);
    EXPECT_EQ(dateCreation(q(link)), expected);
    fs::create_symlink(tmp.path() / "gone", tmp.path() / "dangling.mov");
    EXPECT_EQ(dateCreation(q(tmp.path() / "dangling.mov")), std::nullopt);
    EXPECT_EQ(dateCreation(q(tmp.path() / "missing.mov")), std::nullopt);
    EXPECT_EQ(dateCreation(QString()), std::nullopt);
    // "." and ".." are resolved, "~" expanded.
    EXPECT_EQ(dateCreation(q(tmp.path() / "x" / ".." / "." / "holiday.mov")), expected);
    EXPECT_TRUE(dateCreation(QStringLiteral("~")).has_value());
}

TEST_F(RecordingDate, ClipListedInThePlaylistsTakesItsRecordedDate) {
    for (const CardForm form : {CardForm::Bdmv, CardForm::PrivateAvchd}) {
        const fs::path stream =
            cardWithClip3(tmp.path() / (form == CardForm::Bdmv ? "a" : "b"), form,
                          {ClipRecord{1, {0x10, 1, 1, 1, 1, 1}}, kClip3,
                           // The same clip again with another date: the first line wins.
                           ClipRecord{3, {0x12, 2, 2, 2, 2, 2}}});
        EXPECT_EQ(dateCreation2iMovieName(q(stream)), kClip3Name);
    }
}

TEST_F(RecordingDate, ClipNotListedTakesItsCreationDate) {
    const fs::path stream =
        cardWithClip3(tmp.path() / "card", CardForm::Bdmv,
                      {ClipRecord{1, {0x11, 1, 1, 1, 1, 1}}, ClipRecord{2, {0x11, 2, 2, 2, 2, 2}},
                       // 00030 is no match for 00003
                       ClipRecord{30, {0x11, 3, 3, 3, 3, 3}}});
    const std::optional<QString> name = dateCreation2iMovieName(q(stream));
    EXPECT_EQ(name, creationDateName(stream, QStringLiteral("00003")));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^clip-\\d{4}-\\d\\d-\\d\\d \\d\\d;\\d\\d;\\d\\d-00003$"))
            .match(name.value_or(QString()))
            .hasMatch())
        << name.value_or(QString()).toStdString();

    // A stream whose number has other digits than the playlist's does not match either.
    const fs::path short3 = stream.parent_path() / "0003.MTS";
    writeFile(short3, "x");
    EXPECT_EQ(dateCreation2iMovieName(q(short3)), creationDateName(short3, QStringLiteral("0003")));
}

TEST_F(RecordingDate, OtherMovieTakesItsCreationDateAndKeepsAWesternZone) {
    const fs::path folder = tmp.path() / "movies" / "summer";
    fs::create_directories(folder);
    const fs::path movie = folder / "holiday.mov";
    writeFile(movie, "movie");
    const QString date = QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d;\\d\\d;\\d\\d");
    const QString east = dateCreation2iMovieName(q(movie)).value_or(QString());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^clip-") + date + QStringLiteral("-holiday$"))
                    .match(east)
                    .hasMatch())
        << east.toStdString();
    EXPECT_EQ(east, creationDateName(movie, QStringLiteral("holiday")));

    ScopedTimeZone west("FLX+05");
    const QString westName = dateCreation2iMovieName(q(movie)).value_or(QString());
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^clip-") + date + QStringLiteral(" -0500-holiday$"))
            .match(westName)
            .hasMatch())
        << westName.toStdString();
    EXPECT_FALSE(westName.contains(QLatin1Char(':')));
}

TEST_F(RecordingDate, QuotesAndShellTextInThePathAreHarmless) {
    const fs::path card = tmp.path() / "it's \"a\" $(touch pwned) `touch pwned2` card";
    const fs::path stream = cardWithClip3(card, CardForm::PrivateAvchd, {kClip3});
    EXPECT_EQ(dateCreation2iMovieName(q(stream)), kClip3Name);
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_FALSE(fs::exists("pwned2"));
}

TEST_F(RecordingDate, RecordingFolderNamedWithPlaylistMatchesEveryEntry) {
    // Every entry of ".../PLAYLIST card/BDMV" contains "PLAYLIST": clipdater runs for each of
    // them on the same folder and the first matching line still wins.
    const fs::path stream = cardWithClip3(tmp.path() / "PLAYLIST card", CardForm::Bdmv, {kClip3});
    EXPECT_EQ(dateCreation2iMovieName(q(stream)), kClip3Name);
}

TEST_F(RecordingDate, MissingToolOrSourceFallsBack) {
    const fs::path stream = cardWithClip3(tmp.path() / "card", CardForm::Bdmv, {kClip3});
    {
        // Without clipdater in the tools folder the creation date names the clip.
        const QByteArray resources = qgetenv("FLUXARO_RESOURCE_DIR");
        const fs::path empty = tmp.path() / "no resources";
        fs::create_directories(empty / "tools");
        qputenv("FLUXARO_RESOURCE_DIR", QFile::encodeName(q(empty)));
        EXPECT_EQ(dateCreation2iMovieName(q(stream)),
                  creationDateName(stream, QStringLiteral("00003")));
        qputenv("FLUXARO_RESOURCE_DIR", resources);
    }
    // A source that is gone but listed still gets its recorded date; one that is not listed
    // has no date at all and keeps its file name.
    fs::remove(stream);
    EXPECT_EQ(dateCreation2iMovieName(q(stream)), kClip3Name);
    EXPECT_EQ(dateCreation2iMovieName(q(tmp.path() / "gone" / "lost.MTS")),
              QStringLiteral("lost.MTS"));
    EXPECT_EQ(dateCreation2iMovieName(QString()), std::nullopt);
}

// Lines of clipdater are used only when they name the clip and a date that exists: a BCD byte
// above 9 prints as a letter, and month 13 or 31 April are no dates.
TEST(ClipdaterLineName, OnlyPossibleDatesOfTheClip) {
    const QString clip = QStringLiteral("00001");
    EXPECT_EQ(clipdaterLineName(QStringLiteral("00001 : clip-2011-06-15 14;30;05"), clip),
              QStringLiteral("clip-2011-06-15 14;30;05"));
    EXPECT_EQ(clipdaterLineName(QStringLiteral("00001 : clip-2012-02-29 23;59;59"), clip),
              QStringLiteral("clip-2012-02-29 23;59;59"));
    for (const char *line :
         {"00002 : clip-2011-06-15 14;30;05", "00001 : clip-201E-06-15 14;30;05",
          "00001 : clip-2011-13-15 14;30;05", "00001 : clip-2011-00-15 14;30;05",
          "00001 : clip-2011-04-31 14;30;05", "00001 : clip-2011-02-29 14;30;05",
          "00001 : clip-2011-06-00 14;30;05", "00001 : clip-2011-06-15 24;30;05",
          "00001 : clip-2011-06-15 14;60;05", "00001 : clip-2011-06-15 14;30;60",
          "00001 : clip-2011-06-15 14;30;0", "00001 : clip-2011-06-15 14:30:05",
          "00001 : clip-20 1-06-15 14;30;05", "00001 clip-2011-06-15 14;30;05"}) {
        EXPECT_EQ(clipdaterLineName(QString::fromLatin1(line), clip), std::nullopt) << line;
    }
}

// The playlist's wall-clock time is read in the machine's zone; midnight and a change of
// daylight saving time give the right moment, and the ISO text says the offset in force then.
TEST(ClipNameUtcSeconds, WallClockInTheLocalZone) {
    std::int32_t offset = 0;
    {
        ScopedTimeZone east("FLX-02");
        EXPECT_EQ(clipNameUtcSeconds(QStringLiteral("clip-2011-06-15 14;30;05"), offset),
                  k20110615At123005Utc);
        EXPECT_EQ(offset, 7200);
        // Just before midnight on New Year's Eve in the zone is still the old year in UTC.
        EXPECT_EQ(clipNameUtcSeconds(QStringLiteral("clip-2012-01-01 00;10;00"), offset),
                  1325369400);
        EXPECT_EQ(recordingDateIso8601(1325369400, offset),
                  QStringLiteral("2012-01-01T00:10:00+02:00"));
        EXPECT_EQ(recordingDateUtcText(1325369400), QStringLiteral("2011-12-31T22:10:00.000000Z"));
        EXPECT_EQ(clipNameUtcSeconds(QStringLiteral("clip-2011-13-01 00;10;00"), offset),
                  std::nullopt);
    }
    ScopedTimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    // 27 March 2011: 02:00 CET became 03:00 CEST (01:00 UTC).
    EXPECT_EQ(clipNameUtcSeconds(QStringLiteral("clip-2011-03-27 01;50;00"), offset),
              1301187000); // 00:50 UTC
    EXPECT_EQ(offset, 3600);
    EXPECT_EQ(recordingDateIso8601(1301187000, offset),
              QStringLiteral("2011-03-27T01:50:00+01:00"));
    EXPECT_EQ(clipNameUtcSeconds(QStringLiteral("clip-2011-03-27 03;10;00"), offset),
              1301188200); // 01:10 UTC
    EXPECT_EQ(offset, 7200);
    EXPECT_EQ(recordingDateIso8601(1301188200, offset),
              QStringLiteral("2011-03-27T03:10:00+02:00"));
    ScopedTimeZone west("FLX+05:30");
    EXPECT_EQ(recordingDateIso8601(0, -19800), QStringLiteral("1969-12-31T18:30:00-05:30"));
}

TEST_F(RecordingDate, RecordingDateOfAListedClipAndOfAnotherFile) {
    const fs::path stream = cardWithClip3(tmp.path() / "card", CardForm::Bdmv, {kClip3});
    const std::optional<recordingDate> listed = recordingDateOf(q(stream));
    ASSERT_TRUE(listed.has_value());
    EXPECT_EQ(listed->name, kClip3Name);
    EXPECT_EQ(listed->utcSeconds, k20110615At123005Utc);
    EXPECT_EQ(listed->offsetSeconds, 7200);
    EXPECT_TRUE(listed->fromPlaylist);

    const fs::path movie = tmp.path() / "holiday.mov";
    writeFile(movie, "movie");
    const std::optional<recordingDate> other = recordingDateOf(q(movie));
    ASSERT_TRUE(other.has_value() && other->utcSeconds.has_value());
    EXPECT_FALSE(other->fromPlaylist);
    EXPECT_EQ(other->name, creationDateName(movie, QStringLiteral("holiday")));
    EXPECT_EQ(dateCreationText(*other->utcSeconds), dateCreation(q(movie)));

    // The file's times become the recording date.
    ASSERT_TRUE(setFileRecordingTime(q(movie), k20110615At123005Utc));
    struct stat status {};
    ASSERT_EQ(stat(movie.c_str(), &status), 0);
    EXPECT_EQ(status.st_mtim.tv_sec, k20110615At123005Utc);
    EXPECT_FALSE(setFileRecordingTime(q(tmp.path() / "missing.mov"), 0));
}

// A listed clip whose date is impossible is named after its creation date, like an unlisted
// one, and a later possible line for it still wins.
TEST_F(RecordingDate, ImpossiblePlaylistDateFallsBackToTheCreationDate) {
    const fs::path stream = cardWithClip3(tmp.path() / "card", CardForm::Bdmv,
                                          {ClipRecord{3, {0x11, 0x13, 0x15, 0x14, 0x30, 0x05}},
                                           ClipRecord{3, {0x1A, 0x06, 0x15, 0x14, 0x30, 0x05}}});
    EXPECT_EQ(dateCreation2iMovieName(q(stream)),
              creationDateName(stream, QStringLiteral("00003")));
    const fs::path other =
        cardWithClip3(tmp.path() / "other", CardForm::Bdmv,
                      {ClipRecord{3, {0x11, 0x13, 0x15, 0x14, 0x30, 0x05}}, kClip3});
    EXPECT_EQ(dateCreation2iMovieName(q(other)), kClip3Name);
}

// A crafted playlist of millions of record markers: the answer for one clip reads clipdater's
// output as it comes, holds no more than a line of it and logs only the clip's own lines.
TEST_F(RecordingDate, CraftedPlaylistCostsWhatTheClipCosts) {
    const fs::path playlists = makeCard(tmp.path() / "card", CardForm::Bdmv);
    Bytes crafted = "MPLS0100";
    crafted += Bytes(24, '\0');
    crafted.append(reinterpret_cast<const char *>(kStartMarker), sizeof kStartMarker);
    // 4 MB of 1E 20: two million records of clip 03032 with the date 1E 20 1E 20 1E 20.
    for (int i = 0; i < 2 * 1024 * 1024; ++i) {
        crafted += "\x1E\x20";
    }
    writeFile(playlists / "00000.MPL", crafted);
    const fs::path stream = playlists.parent_path() / "STREAM" / "03032.MTS";
    writeFile(stream, "x");

    // The log goes to standard error; count its lines for this one answer.
    fflush(stderr);
    const fs::path logPath = tmp.path() / "log.txt";
    const int saved = dup(STDERR_FILENO);
    const int logFd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(logFd, 0);
    dup2(logFd, STDERR_FILENO);
    close(logFd);
    const std::optional<QString> name = dateCreation2iMovieName(q(stream));
    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);

    EXPECT_EQ(name, creationDateName(stream, QStringLiteral("03032")));
    const Bytes log = readFile(logPath);
    const auto lines = std::count(log.begin(), log.end(), '\n');
    EXPECT_LT(lines, 60) << log.substr(0, 2000);
    EXPECT_LT(log.size(), 8000u);
}

// A later piece's date is its first piece's moved by the pieces before it: over midnight in a
// fixed zone, and over a change of the local zone's offset, where the wall clock jumps.
TEST(ClipNameAfter, MovesTheWallClockByTheMoment) {
    EXPECT_EQ(clipNameAfter(QStringLiteral("clip-2011-12-31 23;50;00"), 1200, 3600),
              QStringLiteral("clip-2012-01-01 00;10;00"));
    EXPECT_EQ(clipNameAfter(QStringLiteral("clip-2011-06-15 14;30;05"), 0, -19800),
              QStringLiteral("clip-2011-06-15 14;30;05"));
    {
        ScopedTimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
        // 01:50 CET and 20 minutes: 03:10 CEST, not 02:10.
        EXPECT_EQ(clipNameAfter(QStringLiteral("clip-2011-03-27 01;50;00"), 1200, std::nullopt),
                  QStringLiteral("clip-2011-03-27 03;10;00"));
        // The same in a fixed zone keeps the hour.
        EXPECT_EQ(clipNameAfter(QStringLiteral("clip-2011-03-27 01;50;00"), 1200, 3600),
                  QStringLiteral("clip-2011-03-27 02;10;00"));
    }
    EXPECT_EQ(clipNameAfter(QStringLiteral("clip-2011-13-01 00;10;00"), 10, 0), std::nullopt);
    EXPECT_EQ(clipNameAfter(QStringLiteral("clip-2011-06-15"), 10, 0), std::nullopt);
}

// The later pieces of a recording the camera split are no shots: the playlist dates only the
// first. Converted apart, each is named and dated by the recording's date with the playing time
// of the pieces before it added (the first piece 10 minutes, the second 5 minutes and a half).
TEST_F(RecordingDate, LaterPiecesTakeTheirRecordingsDate) {
    const fs::path playlists = makeCard(tmp.path() / "card", CardForm::Bdmv);
    const std::vector<PlayItem> items = {
        {1, 63000, 63000 + 600 * 45000, 1},
        {2, 63000 + 600 * 45000, 63000 + 600 * 45000 + 330 * 45000 + 22500, 6},
        {3, 63000 + 930 * 45000 + 22500, 63000 + 940 * 45000, 6}};
    writeFile(playlists / "00000.MPL", playlistBytes({ClipRecord{1, kClip3.date}}, items));
    const fs::path stream = playlists.parent_path() / "STREAM";
    for (const int clip : {1, 2, 3}) {
        writeFile(stream / streamName(clip), "not really a stream");
    }
    EXPECT_EQ(dateCreation2iMovieName(q(stream / "00001.MTS")),
              QStringLiteral("clip-2011-06-15 14;30;05-00001"));
    EXPECT_EQ(dateCreation2iMovieName(q(stream / "00002.MTS")),
              QStringLiteral("clip-2011-06-15 14;40;05-00002"));
    const std::optional<recordingDate> third = recordingDateOf(q(stream / "00003.MTS"));
    ASSERT_TRUE(third.has_value());
    // 930.5 s after 14:30:05: the piece began in the second 14:45:35.
    EXPECT_EQ(third->name, QStringLiteral("clip-2011-06-15 14;45;35-00003"));
    EXPECT_EQ(third->utcSeconds, k20110615At123005Utc + 930);
    EXPECT_EQ(third->offsetSeconds, 7200);
    EXPECT_TRUE(third->fromPlaylist);

    // The first piece undated (its mark's date impossible), or a piece before without a length:
    // the piece's own file date, as for any clip the playlist does not date.
    writeFile(playlists / "00000.MPL",
              playlistBytes({ClipRecord{1, {0x11, 0x13, 0x15, 0x14, 0x30, 0x05}}}, items));
    EXPECT_EQ(dateCreation2iMovieName(q(stream / "00002.MTS")),
              creationDateName(stream / "00002.MTS", QStringLiteral("00002")));
    std::vector<PlayItem> backwards = items;
    std::swap(backwards[1].inTime, backwards[1].outTime);
    writeFile(playlists / "00000.MPL", playlistBytes({ClipRecord{1, kClip3.date}}, backwards));
    EXPECT_EQ(dateCreation2iMovieName(q(stream / "00003.MTS")),
              creationDateName(stream / "00003.MTS", QStringLiteral("00003")));
    EXPECT_EQ(dateCreation2iMovieName(q(stream / "00002.MTS")),
              QStringLiteral("clip-2011-06-15 14;40;05-00002"));
}

// A phone's or a camera's movie says when it was recorded: its creation-date key, in the zone
// the key gives (a western one stays in the name, as a file date's does), else its movie
// header's UTC time named in the machine's zone; a header that says 1904 or nothing leaves the
// file's date. The copy's own file date is never taken over the movie's.
TEST_F(RecordingDate, MoviesTakeTheDateTheySayTheyWereRecorded) {
    const auto make = [&](const std::string &name, const std::string &options) {
        const fs::path path = tmp.path() / name;
        const std::string command =
            "ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10:duration=0.3 -c:v mjpeg " +
            options + " '" + path.string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        setModificationTime(path, k20110615At123005Utc);
        return path;
    };
    const fs::path phone =
        make("IMG_0001.MOV", "-metadata creation_time=2016-02-02T13:30:05Z -metadata "
                             "com.apple.quicktime.creationdate=2016-02-02T14:30:05+0100 "
                             "-movflags +use_metadata_tags");
    const fs::path west =
        make("IMG_0002.MOV", "-metadata com.apple.quicktime.creationdate=2016-02-02T08:30:05-0500 "
                             "-movflags +use_metadata_tags");
    const fs::path header = make("clip.mp4", "-metadata creation_time=2016-02-02T13:30:05Z");
    const fs::path none = make("plain.mov", "");
    const struct {
        const fs::path &path;
        const char *name;
        std::int32_t offset;
        recordingDate::movieDate from;
    } cases[] = {
        {phone, "clip-2016-02-02 14;30;05-IMG_0001", 3600, recordingDate::movieKey},
        {west, "clip-2016-02-02 08;30;05 -0500-IMG_0002", -5 * 3600, recordingDate::movieKey},
        {header, "clip-2016-02-02 15;30;05-clip", 2 * 3600, recordingDate::movieHeader},
    };
    for (const auto &c : cases) {
        const std::optional<recordingDate> date = recordingDateOf(q(c.path));
        ASSERT_TRUE(date) << c.name;
        EXPECT_EQ(date->name, QString::fromLatin1(c.name));
        EXPECT_EQ(date->utcSeconds, std::optional<std::int64_t>(1454419805)) << c.name;
        EXPECT_EQ(date->offsetSeconds, c.offset) << c.name;
        EXPECT_EQ(date->fromMovie, c.from) << c.name;
        EXPECT_FALSE(date->fromPlaylist) << c.name;
    }
    const std::optional<recordingDate> plain = recordingDateOf(q(none));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->fromMovie, recordingDate::fileDate);
    EXPECT_EQ(plain->name, creationDateName(none, QStringLiteral("plain")));
}
