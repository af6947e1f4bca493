#include "movie/qt.h"

#include "platform/log.h"
#include "platform/utilsFile.h"

#include "toolbox/movie.h"

#include <QFile>
#include <QFileInfo>

namespace {

std::unique_ptr<QTMovie> gMovie;
std::optional<QString> gMoviePath;

// "nil" where the log shows an absent object, as the old log lines did.
QString orNil(const std::optional<QString> &text) {
    return text ? *text : QStringLiteral("nil");
}

QString movieDescription(const QTMovie *movie) {
    if (movie == nullptr) {
        return QStringLiteral("nil");
    }
    return QStringLiteral("QTMovie(%1 tracks, %2 s)")
        .arg(movie->movie().trackCount())
        .arg(movie->movie().durationSeconds());
}

} // namespace

QTMovie::QTMovie(std::unique_ptr<toolbox::Movie> movie) : movie_(std::move(movie)) {}

QTMovie::~QTMovie() = default;

std::unique_ptr<QTMovie> QTMovie::movieWithFile(const QString &path, bool asyncOpenOK,
                                                QString *error) {
    (void)asyncOpenOK; // the toolbox reads a movie completely before it answers
    toolbox::MovieStatus status;
    auto movie = toolbox::Movie::open(QFile::encodeName(path).toStdString(), &status);
    if (!movie) {
        if (error != nullptr) {
            *error = QString::fromStdString(status.message);
        }
        return nullptr;
    }
    return std::make_unique<QTMovie>(std::move(movie));
}

QTMovie *getQTMOVIE() {
    return gMovie.get();
}

std::optional<QString> getQTMOVIESTR() {
    return gMoviePath;
}

void setQTMOVIESTR(const std::optional<QString> &path) {
    gMoviePath = path;
}

void QTMOVIErelease() {
    if (!gMovie) {
        return;
    }
    logStr(QStringLiteral("QTMOVIE loaded"));
    gMovie.reset();
    gMoviePath.reset();
    logStr(QStringLiteral("QTMOVIE no more loaded"));
}

bool QTMOVIEasyncOpenAllowed(const QString &path) {
    const QString extension = QFileInfo(path).suffix().toLower();
    const bool asyncType = extension == QLatin1String("flv") || extension == QLatin1String("mkv") ||
                           extension == QLatin1String("avi");
    return asyncType && poidsFile(path, QStringLiteral("m")) > 100.0;
}

bool QTMOVIEinstantiate(const std::optional<QString> &path) {
    // A loop rather than the recursion of "forget it and start again": the second pass finds no
    // current movie and always ends.
    for (;;) {
        logStr(QStringLiteral("QTMOVIEinstantiate  - deb : %1")
                   .arg(path && !path->isEmpty() ? *path : QStringLiteral("-")));
        if (!path || path->isEmpty()) {
            return false;
        }
        if (!testPresenceCocoa(*path)) {
            logStr(QStringLiteral("QTMOVIEinstantiate  :-( fin - no file at path : %1").arg(*path));
            QTMOVIErelease();
            return false;
        }
        if (gMovie && gMoviePath == *path) {
            logDebug(QStringLiteral("re-utilisation      : %1").arg(*path));
            return true;
        }
        if (!gMovie) {
            break;
        }
        logDebug(QStringLiteral("nouveau             != %1 / %2")
                     .arg(orNil(gMoviePath), movieDescription(gMovie.get())));
        QTMOVIErelease();
    }

    const bool asyncFlag = QTMOVIEasyncOpenAllowed(*path);
    logStr(QStringLiteral("asyncFlagBool       : %1").arg(asyncFlag ? 1 : 0));
    QString why;
    std::unique_ptr<QTMovie> movie = QTMovie::movieWithFile(*path, asyncFlag, &why);
    if (!movie) {
        logStr(QStringLiteral("Erreur instantiate  : le fichier n'existe pas OU pas lisible OU "
                              "echec"));
        logDebug(QStringLiteral("                    : %1").arg(why));
        QTMOVIErelease();
        logStr(QStringLiteral("QTMOVIEinstantiate  :-( fin - failure"));
        return false;
    }
    gMovie = std::move(movie);
    gMoviePath = *path;
    logStr(QStringLiteral("QTMOVIEinstantiate  :-) fin"));
    return true;
}
