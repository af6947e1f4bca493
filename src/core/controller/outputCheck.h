#pragma once

#include <QObject>
#include <QString>

#include <functional>

/// Whether a converted output holds a video stream whose first picture decodes, asked on a
/// worker thread: decoding a full-size frame takes longer than a window may stop drawing.
/// `done` runs on the application's thread with the verdict and, for a failure, the reason;
/// never when `receiver` has been destroyed by then.
void outputPictureCheckAsync(const QString &path, QObject *receiver,
                             std::function<void(bool readable, const QString &why)> done);
