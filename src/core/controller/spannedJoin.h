// The pieces of spanned recordings among the batch's rows: which rows become one row (every
// piece of the recording is there, readable and alike), and which stay apart, and why. The
// conversion of a joined row reads its pieces as one transport stream (encodage).
#pragma once

#include "dates/spannedRecording.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <optional>

/// A waiting row: its source and its media info dictionary.
struct joinRow {
    QString src;
    QVariantMap dico;
};

/// The rows that are pieces of one recording, in playing order, as indices into the rows given.
/// Joined: one row for all of them (the first), with `paths` the pieces' stream files. Otherwise
/// each stays a row of its own; `notes` says why for each row (same order as `rows`).
struct joinDecision {
    QList<qsizetype> rows;
    bool joined = false;
    QStringList paths;
    QStringList notes;
};

using recordingLookup = std::function<std::optional<spannedRecording>(const QString &src)>;

/// The decisions for the rows whose recording (recordingOf) has more than one piece. `refused`
/// maps sources the analysis refused to its reason (a damaged piece). Without `joining`, every
/// piece stays apart and its note says it was kept apart.
QList<joinDecision> spannedJoinPlan(const QList<joinRow> &rows, const recordingLookup &recordingOf,
                                    const QMap<QString, QString> &refused, bool joining);

/// The name a joined row shows: the first piece's file name and how many pieces follow it.
QString spannedJoinRowName(const QStringList &paths);
