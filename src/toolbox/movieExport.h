// Export of a movie by re-encoding: a QuickTime movie with export settings (video through an
// image compressor of the registry, PCM sound), or a WAVE file of the sound.
//
// Both read the movie through MovieReader (edit lists applied), decode, convert (swscale,
// swresample), encode through libavcodec and mux through libavformat, packet by packet: memory
// does not grow with the movie's length. The file is written without a name in the
// destination folder (a TemporaryOutput) and named only when complete, so a failed or killed
// export (full disk, unreadable source...) leaves no file that looks like a finished movie.
#pragma once

#include "exportSettings.h"
#include "movie.h"

#include <string>

namespace toolbox {

/// Exports movie as a QuickTime file at path.
///  - Video: the first enabled video track, through the image compressor of
///    settings.codecType (the ProRes family through prores_ks with the type's profile), at the
///    settings' frame rate (frames repeated or dropped to a constant rate; 0 keeps the source's
///    rate) and frame size (0 keeps the source's size through the track and movie matrices;
///    FrameFit::Letterbox keeps the picture's aspect ratio inside black bars).
///  - Sound: every enabled sound track, as PCM of settings.soundFormat and sampleBits, at
///    sampleRate and channels (0 keeps the source's).
///  - Other tracks are left out.
/// Damaged packets are skipped, but a sound track that decodes to no sound, or loses more of
/// its frames than it keeps, or a video track that gives no picture, fails the export
/// (ReadFailed, the track named in the message).
/// Progress: fractions from 0 to 1.0 (0x10000), the last one once the file is in place.
MovieStatus exportMovieAsQuickTime(const Movie &movie, const std::string &path,
                                   const MovieExportSettings &settings,
                                   const MovieProgressProc &progress = {});

/// Exports the first enabled sound track of movie as a WAVE file at path: 16-bit PCM at the
/// source's sample rate and channel count. Fails with NoTracks when the movie has no sound.
MovieStatus exportMovieAsWave(const Movie &movie, const std::string &path,
                              const MovieProgressProc &progress = {});

/// Whether settings can be exported: the video codec (when video is enabled) has an image
/// compressor in the registry and the sound format a PCM encoder the QuickTime muxer takes.
bool movieExportSettingsSupported(const MovieExportSettings &settings,
                                  std::string *error = nullptr);

} // namespace toolbox
