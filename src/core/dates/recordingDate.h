// Naming of outputs by recording date: an AVCHD clip is named after the date its camcorder
// recorded in the card's playlists (read by the clipdater tool), a QuickTime or MP4 movie after
// the date it says it was recorded (a phone's creation-date key, else its movie header), any
// other source after its file's creation date. Names look like "clip-2011-06-15 14;30;05-00001" and
// sort in shooting order; they never hold a colon.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

/// The base name (no extension) of the output made from the source at `path`:
/// "<clipdater name>-<clip number>" when the clipdater tool lists the clip in the PLAYLIST folder
/// of its recording (the folder two levels above the file); for a later piece of a spanned
/// recording, which clipdater does not list, its first piece's date with the playing time of
/// the pieces before it added (in the first piece's camera zone when it gives one); otherwise
/// "clip-<creation date>-<base name>" with the date's "+hhmm" zone cut off (a "-hhmm" zone is
/// kept) and ":" replaced by ";". When the source has no creation date (it cannot be read), its
/// file name with extension. Nothing for an empty path.
std::optional<QString> dateCreation2iMovieName(const QString &path);

/// The creation date of the file (symbolic links followed) as "YYYY-MM-DD hh:mm:ss ±hhmm" in
/// the local time zone: the birth time where the file system records one, else the last
/// modification time. Nothing for an empty path or a file whose status can't be read.
std::optional<QString> dateCreation(const QString &path);

/// A time as dateCreation writes it: "YYYY-MM-DD hh:mm:ss ±hhmm" in the local time zone (TZ).
QString dateCreationText(std::int64_t secondsSinceEpoch);

/// The moment a source was recorded, and the output name made from it.
struct recordingDate {
    /// The base name of the output (as dateCreation2iMovieName answers it).
    QString name;
    /// The moment, in seconds since 1970-01-01 UTC; nothing when the source has no date.
    std::optional<std::int64_t> utcSeconds;
    /// The zone offset east of Greenwich (seconds) in which the moment was given.
    std::int32_t offsetSeconds = 0;
    /// True when the card's playlist gave it (a wall-clock time), false when the file's
    /// creation date did.
    bool fromPlaylist = false;
    /// True when the playlist's wall-clock time was read in the zone the camera recorded in,
    /// as the clip's stream gives it; false when it was read in the machine's zone.
    bool cameraZone = false;
    /// Where a date not from a playlist came from: the file's creation date, or the movie's own
    /// creation-date key (with its zone, else the machine's) or movie header (UTC, named in the
    /// machine's zone).
    enum movieDate { fileDate, movieKey, movieHeader };
    movieDate fromMovie = fileDate;
};

/// The recording date of the source at `path` and its output name; nothing for an empty path.
/// A playlist's wall-clock time is read in the camera's zone when the clip's stream gives a
/// possible one (its first MDPM message), else in the machine's zone (TZ).
std::optional<recordingDate> recordingDateOf(const QString &path);

/// The date name of one clipdater line when it lists the clip `baseName` with a date that
/// exists ("clip-2011-06-15 14;30;05" for "00001 : clip-2011-06-15 14;30;05" and "00001"); an
/// impossible date (digits that are no BCD, month 13, 31 April, hour 24...) is nothing, as is a
/// line of another clip or shape.
std::optional<QString> clipdaterLineName(const QString &line, const QString &baseName);

/// The moment of the wall-clock time of a clipdater date name ("clip-YYYY-MM-DD hh;mm;ss"),
/// read in the local time zone (TZ): nothing when the name holds no possible date. The offset
/// of that zone at that moment goes to offsetSeconds.
std::optional<std::int64_t> clipNameUtcSeconds(const QString &name, std::int32_t &offsetSeconds);

/// The moment of the wall-clock time of a clipdater date name read in the zone offsetSeconds
/// east of Greenwich; nothing when the name holds no possible date.
std::optional<std::int64_t> clipNameUtcSecondsInZone(const QString &name,
                                                     std::int32_t offsetSeconds);

/// The date name of the moment `seconds` after the wall-clock time of a clipdater date name:
/// in the zone `offsetSeconds` east of Greenwich when given, else in the local time zone (TZ),
/// whose offset may change in between. Nothing when the name holds no possible date (or the
/// moment has a year of more than four digits).
std::optional<QString> clipNameAfter(const QString &name, std::int64_t seconds,
                                     std::optional<std::int32_t> offsetSeconds);

/// A zone offset as "+01:00", "-05:30".
QString zoneOffsetText(std::int32_t offsetSeconds);

/// The camera's zone offset (seconds east of Greenwich) that the stream file at `path` gives in
/// its first access units; nothing when it gives none or an impossible one.
std::optional<std::int32_t> cameraZoneOf(const QString &path);

/// ISO 8601 with the zone offset: "2011-06-15T14:30:05+02:00" for the moment utcSeconds given
/// in the zone offsetSeconds east of Greenwich.
QString recordingDateIso8601(std::int64_t utcSeconds, std::int32_t offsetSeconds);

/// ISO 8601 in UTC: "2011-06-15T12:30:05.000000Z" (the form movie headers' creation_time takes).
QString recordingDateUtcText(std::int64_t utcSeconds);

/// Sets the file's modification (and access) time to utcSeconds; false when it can't be set.
bool setFileRecordingTime(const QString &path, std::int64_t utcSeconds);
