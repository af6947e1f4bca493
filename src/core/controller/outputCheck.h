#pragma once

#include "toolbox/movieFacts.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

/// What the check of a converted output found: whether its first picture decodes (and why not),
/// and the facts of its index, read once the picture decodes (toolbox::readMovieFacts).
struct outputCheckResult {
    bool readable = false;
    QString why;                              ///< why not readable
    std::optional<toolbox::MovieFacts> facts; ///< none when unreadable or the index is damaged
    QString factsWhy;                         ///< why the index could not be read
};

/// Checks a converted output on a worker thread: decoding a full-size frame takes longer than a
/// window may stop drawing. `done` runs on the application's thread with the result; never when
/// `receiver` has been destroyed by then.
void outputCheckAsync(const QString &path, QObject *receiver,
                      std::function<void(const outputCheckResult &result)> done);

/// Whether a converted output holds a video stream whose first picture decodes, asked on a
/// worker thread (outputCheckAsync without the facts' use). `done` runs on the application's
/// thread with the verdict and, for a failure, the reason.
void outputPictureCheckAsync(const QString &path, QObject *receiver,
                             std::function<void(bool readable, const QString &why)> done);
