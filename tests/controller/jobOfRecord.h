// The running job a record of the journal's form describes: the tables of the conversion's
// plans and commands give their cases as such records (a source's media info dictionary and
// the job's keys), as a killed run's journal holds them.
#pragma once

#include "analysis/mediaFacts.h"
#include "controller/jobRecord.h"
#include "controller/runningJob.h"

inline batchRow rowOfRecord(const QVariantMap &record) {
    batchRow row;
    row.source = record.value(jobKey::srcPath).toString();
    row.pieces = record.value(jobKey::joinPaths).toStringList();
    row.pieceRanges = record.value(jobKey::joinRanges).toStringList();
    row.surround = record.value(jobKey::surround).toInt() != 0;
    row.scanNote = record.value(jobKey::scanNote).toString();
    row.joinNote = record.value(jobKey::joinNote).toString();
    row.thumbnailPath = record.value(jobKey::imgPath).toString();
    row.mediaInfo = record;
    row.facts = mediaFactsOf(record);
    return row;
}

inline runningJob jobOfRecord(const QVariantMap &record) {
    runningJob job;
    job.row = rowOfRecord(record);
    job.working = record.value(jobKey::dstPath).toString();
    job.finalPath = record.value(jobKey::finalPath).toString();
    job.trimReference = record.value(jobKey::postProcessPurge).toString();
    job.retimeFile = record.value(jobKey::workPath).toString();
    job.soundFile = record.value(jobKey::soundPath).toString();
    job.masterFile = record.value(jobKey::purgePath1).toString();
    job.recordingDateUtc = record.value(jobKey::recordingDateUtc).toString();
    job.recordingDateIso = record.value(jobKey::recordingDateIso).toString();
    if (record.contains(jobKey::recordingDateSeconds)) {
        job.recordingDateSeconds = record.value(jobKey::recordingDateSeconds).toLongLong();
    }
    job.nameNote = record.value(jobKey::nameNote).toString();
    job.replaceFileId = record.value(jobKey::replaceFile).toString();
    job.videoFromSource = record.value(jobKey::videoFromSource).toInt() != 0;
    job.retimeOpened = record.value(jobKey::retimeOpened).toInt() != 0;
    job.reason = record.value(jobKey::skipReason).toString();
    job.toolError = record.value(jobKey::toolError).toString();
    if (record.contains(jobKey::failure)) {
        job.failure = static_cast<jobFailure>(record.value(jobKey::failure).toInt());
    }
    if (record.contains(jobKey::outcome)) {
        job.kind = static_cast<jobOutcomeKind>(record.value(jobKey::outcome).toInt());
    }
    job.verifyWords = record.value(jobKey::verifyWords).toString();
    job.verifyLog = record.value(jobKey::verifyLog).toString();
    job.incompletePath = record.value(jobKey::incompletePath).toString();
    return job;
}
