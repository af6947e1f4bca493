#pragma once

#include "analysis/fieldSample.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

/// The look at the pictures of a stream flagged interlaced (fieldSampleStarts' samples through
/// FFmpeg's idet, in process), made on a worker thread: decoding some thirty full-size pictures
/// takes longer than a window may stop drawing. `done` runs on the application's thread with one
/// entry per sample (empty ones for samples that gave nothing) and, when the file or its video
/// could not be opened, the reason; never when `receiver` has been destroyed by then.
/// `forceFormat` is FFmpeg's input format name, or empty.
void fieldSampleLookAsync(
    const QString &path, double durationSeconds, const QString &forceFormat, QObject *receiver,
    std::function<void(const QList<idetSampleCounts> &samples, const QString &why)> done);
