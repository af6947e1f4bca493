// Naming of outputs by recording date: an AVCHD clip is named after the date its camcorder
// recorded in the card's playlists (read by the clipdater tool), any other source after its
// file's creation date. Names look like "clip-2011-06-15 14;30;05-00001" and sort in shooting
// order; they never hold a colon.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

/// The base name (no extension) of the output made from the source at `path`:
/// "<clipdater name>-<clip number>" when the clipdater tool lists the clip in the PLAYLIST folder
/// of its recording (the folder two levels above the file), otherwise
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
