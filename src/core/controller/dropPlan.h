// New sources, from a drop, the Open command or the program's arguments: what is queued for the
// analysis and what is refused, and why. Reading the file system (`dropRead`: what each path is,
// the files below a folder) comes first; `dropPlan` then decides from those facts alone.
#pragma once

#include "controller/outcomes.h"

#include <QList>
#include <QString>
#include <QStringList>

/// What a dropped path (or a file found below a dropped folder) is on the file system.
enum class dropItemKind {
    file,         ///< a regular file
    special,      ///< a FIFO, a device or a socket: the probe would wait on it for ever
    missing,      ///< nothing by that name
    unreadFolder, ///< a dropped folder, or one below it, whose files could not be listed
};

/// One path of a drop as read from the file system.
struct dropItem {
    QString path;
    dropItemKind kind = dropItemKind::file;
    bool readable = true;  ///< this user may open it for reading
    bool inFolder = false; ///< found below a dropped folder (not named by the user)
    QString why{};         ///< unreadFolder: the system's reason (too many open files...)
};

/// Why a path of a drop is not queued.
enum class dropRefusal {
    notAMovie,      ///< its extension is not one of the accepted kinds
    alreadyListed,  ///< the batch has it already (a joined row counts for each of its pieces)
    missing,        ///< it does not exist (any more)
    unreadable,     ///< it may not be read
    notRegularFile, ///< a FIFO, a device or a socket
    nameNotUtf8,    ///< its name can't be given back to the file system once read as text
    unreadFolder,   ///< a folder whose files could not be listed: its sources are not known
};

/// A path of the drop that is not queued.
struct dropRefused {
    QString path;
    dropRefusal reason = dropRefusal::notAMovie;
    bool inFolder = false;
    QString why{}; ///< the system's reason, for a folder that could not be listed
};

/// What a drop does.
struct dropPlanValue {
    QStringList queued;          ///< for the analysis, in order, each once
    QList<dropRefused> refused;  ///< in the drop's order
    QStringList acceptedKinds;   ///< ".mts", ".m2ts"...: each extension once, lower case
    bool tellRefusals = false;   ///< nothing is queued and something was refused: say so
    qsizetype shownRefusals = 0; ///< refusals worth a row of their own (see dropRefusalShown)
};

/// True when a refusal concerns a path the user named, or a movie found below a folder that is
/// not in the batch yet: the other files of a folder (a card's index files) are not the user's
/// sources, and a card dropped again for its new clips need not list its old ones.
bool dropRefusalShown(const dropRefused &refused);

/// Reads what each path is, relative paths taken from the working folder: a folder stands for
/// the regular files below it (sorted, as a card numbers its clips in recording order; hidden
/// files and the destination's events folder `skippedFolder` left out: converting its outputs
/// again would never end), followed by the folders below it that could not be listed (with the
/// system's reason); a link stands for its target. Empty folders give nothing.
QList<dropItem> dropRead(const QStringList &paths, const QString &skippedFolder);

/// The plan of a drop: every item, folder contents included, is queued when it is a readable
/// regular file of an accepted extension (`extensions`, compared as they stand) not yet in
/// `listed` nor earlier in the drop; otherwise it is refused with its reason.
dropPlanValue dropPlan(const QList<dropItem> &items, const QStringList &listed,
                       const QStringList &extensions);

/// The refusal's code for the fronts.
sourceRefusal dropRefusalCode(dropRefusal reason);
/// The reason's words for people, localised (the fronts' words for its code, but for a file
/// this user may not read, which is said apart from one that is no movie).
QString dropRefusalWords(dropRefusal reason);
/// The reason as the logs and the terminal say it (untranslated).
QString dropRefusalLogWords(dropRefusal reason);
/// The refusal as the analysis verdict the fronts are told.
analysisVerdictValue dropRefusalVerdict(const dropRefused &refused);

/// The message of a drop that added nothing, localised: why, the names of the refused files
/// grouped by reason (the first few: a drop can hold thousands) and the kinds of files that are
/// taken. The files a folder holds beside its movies are named only when nothing else was refused.
QString dropRefusedMessage(const dropPlanValue &plan);
