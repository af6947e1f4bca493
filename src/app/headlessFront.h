// The headless front: `fluxaro --batch SOURCE... [--dest DIR] [--format rewrap|aic|prores]
// [--mode normal|half|slow] [--prores 4444|hq|lt|proxy] [--surround] [--no-join]
// [--replace|--keep] [--debug]`.
// It runs the application controller with plain controls on the event loop, answers alerts
// by their rules (the default button, as after the time-out, or as the flags say), prints each
// source's verdict, the progress of each job and its result, and exits 0 when every source was
// converted, 1 when any was refused, skipped or failed, 2 on a usage error.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

struct headlessOptions {
    QStringList sources;
    QString destination; ///< empty: the stored default destination
    std::optional<int32_t> format;
    std::optional<int32_t> mode;
    std::optional<QString> proresType; ///< "ap4h", "apch", "apcs", "apco"
    bool surround = false;
    bool noJoin = false;         ///< --no-join: the pieces of spanned recordings stay apart
    std::optional<bool> replace; ///< --replace / --keep
};

/// Reads the arguments that follow "--batch" (the program name and "--batch" itself may be
/// included and are skipped). Nothing, with the reason in `error`, on a usage error.
std::optional<headlessOptions> headlessParseArguments(const QStringList &arguments,
                                                      QString *error = nullptr);

/// The usage text.
QString headlessUsageStr();

/// The sources as handed to the batch: every folder replaced, in place, by the files below it
/// (recursively, sorted by path) whose extension is accepted, except those inside skippedFolder
/// (the destination's events folder); files kept as given; repeats dropped.
QStringList headlessExpandSources(const QStringList &sources, const QStringList &extensions,
                                  const QString &skippedFolder = QString());

/// Runs the batch to its end on the running QCoreApplication (start-up already done) and
/// returns the exit status.
int headlessBatchRun(const headlessOptions &options);
