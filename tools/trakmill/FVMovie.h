// One source movie of trakmill, opened from a path.
#pragma once

#include "toolbox/movie.h"

#include <memory>
#include <string>
#include <vector>

class FVMovie {
public:
    /// A new object for the file at path, or nothing when no such file exists.
    static std::unique_ptr<FVMovie> movieWithPath(const std::string &path);

    /// Opens the movie (once); true when it is open.
    bool openMovieSync();
    /// Why openMovieSync failed, in words; empty after a success.
    [[nodiscard]] const std::string &openError() const { return openError_; }
    /// The files other than path() whose samples the movie's tracks refer to (its data
    /// references), each once, in track order.
    [[nodiscard]] std::vector<std::string> referencedFiles() const;

    /// The path the object was made from.
    [[nodiscard]] const std::string &path() const { return path_; }
    /// The track count of the open movie (0 before it is open).
    [[nodiscard]] unsigned numberOfTracks() const;
    /// The open movie, or null.
    [[nodiscard]] toolbox::Movie *movie() const { return movie_.get(); }

private:
    explicit FVMovie(std::string path) : path_(std::move(path)) {}
    std::string path_;
    std::unique_ptr<toolbox::Movie> movie_;
    bool hasMovie_ = false;
    std::string openError_;
};
