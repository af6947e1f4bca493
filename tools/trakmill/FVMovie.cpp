#include "FVMovie.h"

#include <algorithm>
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
    toolbox::MovieStatus status;
    movie_ = toolbox::Movie::open(path_, &status);
    hasMovie_ = movie_ != nullptr;
    openError_ = hasMovie_ ? std::string() : status.message;
    return hasMovie_;
}

std::vector<std::string> FVMovie::referencedFiles() const {
    std::vector<std::string> files;
    for (std::size_t t = 0; movie_ && t < movie_->trackCount(); ++t) {
        const std::string &file = movie_->track(t).sourcePath();
        if (file != movie_->path() && std::find(files.begin(), files.end(), file) == files.end())
            files.push_back(file);
    }
    return files;
}

unsigned FVMovie::numberOfTracks() const {
    return movie_ ? static_cast<unsigned>(movie_->trackCount()) : 0;
}
