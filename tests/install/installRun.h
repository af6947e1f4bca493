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
/// entries; a bare "NAME" removes the variable) and waits up to `timeoutMs`.
commandResult runCommand(const QString &program, const QStringList &args,
                         const QStringList &env = {}, int timeoutMs = 300000);

/// True when the program is found on PATH.
bool haveProgram(const QString &name);

/// Every path below `root` (files, links, folders), relative to it, sorted.
QStringList treeOf(const QString &root);

/// Converts a one-clip generated card with `fluxaro` (the program's path) in a private home and
/// checks the output; the failure text, or empty on success.
QString convertCardWith(const QString &fluxaro);

/// The media types a movie player owns and a converter leaves alone (Matroska, AVI, WebM...).
QStringList playerOwnedTypes();

/// Checks the desktop entry and the metainfo of an installed tree (`share` is its share/
/// folder): the entry claims the camcorder's types (transport streams, QuickTime, MPEG-4,
/// MPEG, DV) and none a player owns, names the window's class (Qt's: the application name), and
/// the metainfo provides exactly the entry's types and the web site as homepage with bug tracker
/// and help addresses on it. The failures, one a line, or empty.
QString desktopEntryProblems(const QString &share, const QString &webSite);

/// Runs `fluxaro` in window mode without any display in its environment; the failure text, or
/// empty when it says "no display: use fluxaro --batch" and exits 1.
QString noDisplayProblems(const QString &fluxaro);
