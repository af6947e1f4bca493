// The current movie: the one movie of the process that the conversion steps share, opened from a
// path through the movie toolbox, and the path it was opened from.
//
// QTMovie is the core's movie object: a toolbox movie plus what the toolbox leaves to its user
// (whether edits are allowed). Everything runs on the main thread, between steps of the
// conversion; nothing here is thread-safe.
#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace toolbox {
class Movie;
}

/// A movie opened by the core: the toolbox movie and its editable flag. Edits (movieCut,
/// movieRescalePreExport) need the flag; movieEditable sets it.
class QTMovie {
public:
    /// Opens the movie at path; nothing when the file can't be opened as a movie (the reason is
    /// given in error). asyncOpenOK says whether the caller allows the movie to finish loading
    /// after the call: the toolbox reads every movie at once, so it only travels to the log.
    static std::unique_ptr<QTMovie> movieWithFile(const QString &path, bool asyncOpenOK,
                                                  QString *error = nullptr);
    /// Wraps a toolbox movie (tests, and movies built in memory).
    explicit QTMovie(std::unique_ptr<toolbox::Movie> movie);
    ~QTMovie();
    QTMovie(const QTMovie &) = delete;
    QTMovie &operator=(const QTMovie &) = delete;

    [[nodiscard]] toolbox::Movie &movie() { return *movie_; }
    [[nodiscard]] const toolbox::Movie &movie() const { return *movie_; }
    [[nodiscard]] bool editable() const { return editable_; }
    void setEditable(bool on) { editable_ = on; }

private:
    std::unique_ptr<toolbox::Movie> movie_;
    bool editable_ = false;
};

/// The current movie, or null. The module owns it: callers use it and never delete it; it lives
/// until QTMOVIErelease or an instantiate with another path.
QTMovie *getQTMOVIE();

/// The path the current movie was opened from, or nothing.
std::optional<QString> getQTMOVIESTR();
/// Stores a copy of the path as QTMOVIESTR; nothing clears it.
void setQTMOVIESTR(const std::optional<QString> &path);

/// Forgets the current movie and its path ("QTMOVIE loaded" / "QTMOVIE no more loaded" in the
/// log); does nothing when there is none.
void QTMOVIErelease();

/// Makes the movie at path the current movie: true when the current movie is the movie at that
/// path. The same path twice opens the file once; another path forgets the first movie before
/// opening the second. No file at the path, or a file that isn't a movie: false, no current
/// movie.
bool QTMOVIEinstantiate(const std::optional<QString> &path);

/// Whether a movie may be opened asynchronously: its extension, lower-cased, is "flv", "mkv" or
/// "avi" and the file is larger than 100 megabytes.
bool QTMOVIEasyncOpenAllowed(const QString &path);
