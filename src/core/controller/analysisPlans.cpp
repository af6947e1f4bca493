#include "controller/analysisPlans.h"

#include "controller/exportPreset.h"
#include "controller/jobRecord.h"
#include "controller/rowAllowance.h"

#include <QFileInfo>
#include <QStringList>

namespace {

QString verdictNotes(const batchRow &row) {
    QStringList notes;
    if (!row.scanNote.isEmpty()) {
        notes << row.scanNote;
    }
    // The conversion keeps the first sound track only: say so when there are more.
    const qsizetype tracks = row.facts.sounds.size();
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
    batchRow &row = plan.row;
    row.mediaInfo = *facts.record;
    row.scanNote = row.mediaInfo.take(jobKey::scanNote).toString();
    row.facts = mediaFactsOf(row.mediaInfo);
    row.source = facts.src;
    row.name = QFileInfo(facts.src).fileName();
    row.thumbnailPath = facts.img;
    row.surround = facts.surround;
    const rowAllowanceValue allowed = rowAllowance(
        {facts.format, facts.rate, row.facts.fps, facts.aicAvailable, facts.proresAvailable});
    plan.outcome = analysisFinOutcome::appended;
    row.state = rowState::waiting;
    row.format = allowed.format;
    row.rateMode = allowed.rate;
    // The thumbnail is shown once made (thumbnailEnded), unless the picture was made while the
    // source was still being probed.
    row.thumbnailShown = !facts.img.isEmpty() && facts.imgMade;
    plan.notes = verdictNotes(row);
    return plan;
}
