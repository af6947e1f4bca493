// The conversion's command lines and estimates: the ffmpeg argument vector that rewraps a source
// into a QuickTime movie, the output's extension and expected size, and the preparation of the
// trakmill export that re-encodes the converted movie with a stored export setting.
#pragma once

#include "controller/runningJob.h"
#include <QString>
#include <QStringList>

#include <QVariantMap>

#include <cstdint>
#include <optional>

/// The ffmpeg argument vector (first item the executable "<resources>/tools/ffmpeg") that copies
/// the video of the job's source into a QuickTime movie at its working path, turns the first
/// sound stream into 48 kHz 16-bit PCM ('sowt') and drops subtitles. The pieces of a joined
/// recording are read as one stream (encInputStr).
///
/// H.264 video gets the 'avc1' tag, and the Annex B bitstream filter unless the container is of
/// the QuickTime or AVI family. Any other video is copied with the tag the QuickTime muxer gives
/// its codec: forcing 'avc1' or the H.264 filter on MPEG-2, Motion JPEG or ProRes makes ffmpeg
/// refuse the run. Sound arguments only when the source has a sound stream; its decoder forced
/// before the input when the analysis says so; the source's channel count kept when the row
/// keeps surround and it has 3 or more channels, else stereo. When the picture is taken from
/// the source's own track afterwards (videoFromSource) and there is a sound, ffmpeg gives the
/// sound alone ("-vn"), on the source's clock ("-copyts").
/// Nothing when the job has no source or no working path.
std::optional<QStringList> encodage(int32_t outInt, const runningJob &job);

/// ffmpeg's input for the row: its source, or for a joined spanned recording (two or more
/// pieces, none holding a "|", the first being the source) the concat protocol's list of the
/// pieces in order, each whole or, where its range gives other bytes ("start end",
/// spannedJoin's pieceBytes), as the subfile protocol's range.
QString encInputStr(const batchRow &row);

/// The output file's extension: always "mov".
QString encDstExtensionStr(int32_t outInt, const QString &videoCodec);

/// Estimated output size in MB: rewrap (0) duration x 0.18333 MB/s of PCM plus the source size;
/// format 1 duration x 6; any other duration x 9.
float encDstPoidsEstimatif(float durationSeconds, double srcSizeMB, int32_t outInt);

/// The settings name used when none was chosen: letterbox for 4:3 pictures.
QString encDefaultSettingsName(float aspectRatio);

/// Prepares the export of the working movie: moves it aside to its "_MASTER" sibling and gives
/// the trakmill vector "<resources>/tools/trakmill -s <resources>/presetQt/<settings> -i MASTER
/// -y -o WORKING" (the caller names the master, encMasterPathOf, in the job first). Nothing when
/// the volume's free space is known and smaller than the export's estimate (duration x 9 MB), or
/// when the movie can't be moved aside; failure, when given, then says which of the two it was (the
/// step machine shows the disk alert for the first only).
enum class encPostQtEncFailure { none, notEnoughSpace, cannotMoveAside };
std::optional<QStringList> encPostQtEnc(const QString &workingPath, float durationSeconds,
                                        float aspectRatio, const QString &settingsName,
                                        encPostQtEncFailure *failure = nullptr);

/// Prepares the copy of a working reference movie into a self-contained one, the rewrap of a
/// source whose picture is its own track (its edit list kept): moves it aside to its
/// "_MASTER" sibling and gives "<resources>/tools/trakmill -i MASTER -y -o WORKING", recorded as
/// encPostQtEnc does. Nothing when the free space is known and smaller than the rewrap's
/// estimate (encDstPoidsEstimatif of format 0 with the source's size), or when the movie can't
/// be moved aside.
std::optional<QStringList> encPostQtSelfContained(const QString &workingPath, float durationSeconds,
                                                  double sourceMB,
                                                  encPostQtEncFailure *failure = nullptr);
