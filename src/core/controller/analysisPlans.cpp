#include "controller/analysisPlans.h"

#include "controller/exportPreset.h"
#include "controller/jobRecord.h"
#include "controller/rowAllowance.h"

#include <QFileInfo>
#include <QStringList>

namespace {

/// The number of sound tracks a media info dictionary describes ("a0_id", "a1_codec"...).
int32_t soundTrackCount(const QVariantMap &record) {
    int32_t tracks = 0;
    while (record.contains(QStringLiteral("a%1_id").arg(tracks)) ||
           record.contains(QStringLiteral("a%1_codec").arg(tracks))) {
        ++tracks;
    }
    return tracks;
}

QString verdictNotes(const QVariantMap &record) {
    QStringList notes;
    if (record.contains(jobKey::scanNote)) {
        notes << record.value(jobKey::scanNote).toString();
    }
    // The conversion keeps the first sound track only: say so when there are more.
    const int32_t tracks = soundTrackCount(record);
    if (tracks > 1) {
        notes << QStringLiteral("sound: track 1 of %1 kept, the others are left out").arg(tracks);
    }
    return notes.join(QStringLiteral("; "));
}

} // namespace

analysisFinPlanValue analysisFinPlan(const analysisFinFacts &facts) {
    analysisFinPlanValue plan;
    if (!facts.record) {
        return plan;
    }
    if (facts.src.isEmpty() || facts.src == QStringLiteral("cancel")) {
        plan.outcome = analysisFinOutcome::stopped;
        return plan;
    }
    if (facts.listed) {
        plan.outcome = analysisFinOutcome::listed;
        return plan;
    }
    QVariantMap job = *facts.record;
    job.insert(jobKey::srcPath, facts.src);
    if (!facts.img.isEmpty()) {
        job.insert(jobKey::imgPath, facts.img);
    }
    job.insert(jobKey::surround, facts.surround ? 1 : 0);
    const float fps = job.value(QStringLiteral("v0_fps")).toFloat();
    const rowAllowanceValue allowed =
        rowAllowance({facts.format, facts.rate, fps, facts.aicAvailable, facts.proresAvailable});
    plan.outcome = analysisFinOutcome::appended;
    plan.row.insert(rowKey::order, facts.rows + 1);
    plan.row.insert(rowKey::src, QFileInfo(facts.src).fileName());
    plan.row.insert(rowKey::status, rowStatus::waiting);
    plan.row.insert(rowKey::out, allowed.format);
    plan.row.insert(rowKey::fpsSrc, static_cast<int32_t>(fps + 0.5F));
    plan.row.insert(rowKey::fps, allowed.rate);
    plan.row.insert(rowKey::dico, job);
    // "img" comes with the thumbnail (thumbnailEnded), unless the picture was made while the
    // source was still being probed.
    if (!facts.img.isEmpty() && facts.imgMade) {
        plan.row.insert(rowKey::img, facts.img);
    }
    plan.notes = verdictNotes(job);
    return plan;
}
