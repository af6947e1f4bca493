// The thumbnails of new sources: the seek point and size of each, the early start from the
// probe's first lines, and where a made picture goes.
#include "analysis/ffmpeg.h"
#include "controller/jobRecord.h"
#include "controller/sourceAnalysis.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/utilsFile.h"
#include "platform/utilsStr.h"
#include "settings/prefs.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

bool sourceAnalysis::holdsPicture(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(8);
    return head.startsWith("\xFF\xD8\xFF") || head.startsWith("\x89PNG");
}

QString sourceAnalysis::thumbnailSeekPoint(const QVariant &duration) {
    if (!duration.isValid() || duration.isNull()) {
        return QStringLiteral("0");
    }
    const double d = duration.toDouble();
    if (d > 120) {
        return QStringLiteral("120");
    }
    if (d > 60) {
        return QStringLiteral("60");
    }
    if (d > 10) {
        return QStringLiteral("10");
    }
    return QStringLiteral("0");
}

float sourceAnalysis::aspectRatio(const QVariantMap &dico) {
    float ratio = 1.77F;
    if (dico.contains(QStringLiteral("v0_dar"))) {
        ratio = fractionStr2Float(dico.value(QStringLiteral("v0_dar")));
    } else if (dico.contains(QStringLiteral("v0_width")) &&
               dico.contains(QStringLiteral("v0_height"))) {
        const float w = dico.value(QStringLiteral("v0_width")).toFloat();
        const float h = dico.value(QStringLiteral("v0_height")).toFloat();
        const float r = h > 0 ? nbTrimmed(w / h, 2) : 1.77F;
        ratio = std::fabs(r - 1.7F) < 0.1F ? 1.77F : (std::fabs(r - 1.3F) < 0.1F ? 1.33F : r);
    }
    return ratio;
}

thumbnailJob sourceAnalysis::thumbnailJobFor(const QString &src, const QVariantMap &dico) const {
    const QString name =
        findAndReplace(QFileInfo(src).fileName(), QStringLiteral("%"), QStringLiteral("_"), false);
    QString img = getTMPFOLDER() + name + QStringLiteral(".jpg");
    while (QFileInfo::exists(img) || thumbnails_.pending(img)) {
        img = QStringLiteral("%1_%2.jpg")
                  .arg(getTMPFOLDER() + name)
                  .arg(QRandomGenerator::global()->bounded(0x7fffffff));
    }
    // The picture of `ffmpeg -ss SEEK -i SRC -vframes 1 -vf scale=W:90`, made in process.
    const double seek = thumbnailSeekPoint(dico.value(QStringLiteral("w_duration"))).toDouble();
    const int32_t width = std::fabs(aspectRatio(dico) - 1.77F) < 0.1F ? 160 : 120;
    return {src, img, seek, width, 90};
}

void sourceAnalysis::thumbnailEarly() {
    if (thumbnailTried_ || !taskVerboseMStr_) {
        return;
    }
    // ffmpeg prints its stream mapping once the input is described (duration, picture size)
    // and before it decodes a frame: the thumbnail can start while the probe goes on. The mark
    // starts a line, which no metadata value of the source can do.
    const qsizetype from = std::max<qsizetype>(0, reportScanned_ - 16);
    reportScanned_ = taskVerboseMStr_->size();
    if (taskVerboseMStr_->indexOf(QStringLiteral("\nStream mapping:"), from) < 0) {
        return;
    }
    thumbnailTried_ = true;
    const QString src = current_;
    const std::optional<QVariantMap> dico = ffInfos(std::nullopt, taskVerboseMStr_);
    if (src.isEmpty() || src == QStringLiteral("cancel") || !dico ||
        !dico->contains(QStringLiteral("v0_codec"))) {
        return;
    }
    thumbnailJob job = thumbnailJobFor(src, *dico);
    thumbnail_ = job;
    thumbnails_.enqueue(std::move(job));
}

void sourceAnalysis::thumbnailEnded(const QString &src, const QString &img,
                                    const QString &failure) {
    if (!failure.isEmpty()) {
        logDebug(QStringLiteral("thumbnail           : %1").arg(failure));
    }
    const bool made = failure.isEmpty() && holdsPicture(img);
    // The source being analysed: its row comes when the probe is over and takes the picture.
    bool kept = made && thumbnail_ && thumbnail_->img == img;
    for (int32_t row = 0; row < list_.count(); ++row) {
        if (list_.row(row).thumbnailPath == img) {
            kept = made;
            if (made) {
                list_.setThumbnailShown(row);
            }
        }
    }
    // A picture whose row is gone (removed, or its analysis stopped), or a broken one, is not
    // left in the temporary folder.
    if (!kept && QFileInfo::exists(img)) {
        rmCocoa(img);
    }
    logStr(kept ? QStringLiteral("thumbnail           : %1").arg(img)
                : QStringLiteral("thumbnail           :-( none for %1").arg(src));
    owner_.analysisThumbnailMade(src, kept ? img : QString());
}
