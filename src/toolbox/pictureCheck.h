// Whether a movie file holds a picture that FFmpeg's libraries decode: the check a converter
// makes before it calls an output a success, without starting another program.
#pragma once

#include "movie.h"

#include <string>

namespace toolbox {

/// Opens the file, finds its first video stream and decodes pictures until one comes out.
/// Success when one does; otherwise the reason (not a movie, no video stream, no decoder, no
/// picture before the end of the file). A file name is never read as a protocol or a device.
MovieStatus decodeFirstPicture(const std::string &path);

} // namespace toolbox
