#include "FVMovie.h"

#include <sys/stat.h>

std::unique_ptr<FVMovie> FVMovie::movieWithPath(const std::string &path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0)
        return nullptr;
    return std::unique_ptr<FVMovie>(new FVMovie(path));
}

bool FVMovie::openMovieSync() {
    if (hasMovie_)
        return true;
    movie_ = toolbox::Movie::open(path_);
    hasMovie_ = movie_ != nullptr;
    return hasMovie_;
}

unsigned FVMovie::numberOfTracks() const {
    return movie_ ? static_cast<unsigned>(movie_->trackCount()) : 0;
}
