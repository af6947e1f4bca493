// Running programs for the install and package tests.
#pragma once

#include <QString>
#include <QStringList>

struct commandResult {
    int status = -1;
    QString out;
    QString err;
};

/// Runs the program with the arguments (environment of the test, plus `env` "NAME=value"
/// entries) and waits up to `timeoutMs`.
commandResult runCommand(const QString &program, const QStringList &args,
                         const QStringList &env = {}, int timeoutMs = 300000);

/// True when the program is found on PATH.
bool haveProgram(const QString &name);

/// Every path below `root` (files, links, folders), relative to it, sorted.
QStringList treeOf(const QString &root);

/// Converts a one-clip generated card with `fluxaro` (the program's path) in a private home and
/// checks the output; the failure text, or empty on success.
QString convertCardWith(const QString &fluxaro);
