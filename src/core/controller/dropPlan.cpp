#include "controller/dropPlan.h"

#include "platform/utilsFile.h"
#include "settings/localisation.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace {

dropItem dropItemOf(const QString &path, bool inFolder) {
    dropItem item;
    item.path = path;
    item.inFolder = inFolder;
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        item.kind = dropItemKind::missing;
        item.readable = false;
        return item;
    }
    item.kind = S_ISREG(info.st_mode) ? dropItemKind::file : dropItemKind::special;
    item.readable = ::access(name.constData(), R_OK) == 0;
    return item;
}

/// The refusal of an item, or nothing when it may be queued (duplicates aside).
std::optional<dropRefusal> refusalOf(const dropItem &item, const QStringList &extensions) {
    if (item.kind == dropItemKind::unreadFolder) {
        return dropRefusal::unreadFolder;
    }
    if (item.kind == dropItemKind::missing) {
        // A name whose bytes are not UTF-8 came back from the file system as text that no
        // longer names the file: it is refused by name, not as missing.
        return item.path.contains(QChar::ReplacementCharacter) ? dropRefusal::nameNotUtf8
                                                               : dropRefusal::missing;
    }
    if (!extensions.contains(QFileInfo(item.path).suffix())) {
        return dropRefusal::notAMovie;
    }
    if (item.kind == dropItemKind::special) {
        return dropRefusal::notRegularFile;
    }
    if (!item.readable) {
        return dropRefusal::unreadable;
    }
    return std::nullopt;
}

} // namespace

bool dropRefusalShown(const dropRefused &refused) {
    return !refused.inFolder || (refused.reason != dropRefusal::notAMovie &&
                                 refused.reason != dropRefusal::alreadyListed);
}

QList<dropItem> dropRead(const QStringList &paths, const QString &skippedFolder) {
    const QString skipped =
        skippedFolder.isEmpty() ? QString() : QFileInfo(skippedFolder).absoluteFilePath() + '/';
    QList<dropItem> items;
    for (const QString &given : paths) {
        if (given.isEmpty()) {
            continue;
        }
        const QString path = QFileInfo(given).absoluteFilePath();
        if (!QFileInfo(path).isDir()) {
            items << dropItemOf(pathByResolvingAlias(path), false);
            continue;
        }
        const folderListing listing = lsCocoaRecursiveListing(path);
        QStringList files;
        for (const QString &found : listing.items) {
            const QFileInfo info(found);
            if (info.isDir() || info.fileName().startsWith(QLatin1Char('.')) ||
                (!skipped.isEmpty() && info.absoluteFilePath().startsWith(skipped))) {
                continue;
            }
            files << found;
        }
        files.sort();
        for (const QString &file : files) {
            items << dropItemOf(file, true);
        }
        // A folder that could not be listed hides sources: it is said, never taken for empty.
        for (const QString &unread : listing.unread) {
            const qsizetype colon = unread.lastIndexOf(QStringLiteral(": "));
            dropItem item;
            item.kind = dropItemKind::unreadFolder;
            item.readable = false;
            item.path = colon < 0 ? unread : unread.left(colon);
            item.why = colon < 0 ? QString() : unread.mid(colon + 2);
            items << item;
        }
    }
    return items;
}

dropPlanValue dropPlan(const QList<dropItem> &items, const QStringList &listed,
                       const QStringList &extensions) {
    dropPlanValue plan;
    for (const QString &ext : extensions) {
        const QString kind = QLatin1Char('.') + ext.toLower();
        if (!plan.acceptedKinds.contains(kind)) {
            plan.acceptedKinds << kind;
        }
    }
    const QSet<QString> inBatch(listed.cbegin(), listed.cend());
    QSet<QString> seen;
    for (const dropItem &item : items) {
        // The same path twice in one drop (a file and its folder) is one source: two rows of
        // one path could not be told apart by the step machine, which finds its row by path.
        if (seen.contains(item.path)) {
            continue;
        }
        seen.insert(item.path);
        std::optional<dropRefusal> reason = refusalOf(item, extensions);
        if (!reason && inBatch.contains(item.path)) {
            reason = dropRefusal::alreadyListed;
        }
        if (reason) {
            plan.refused << dropRefused{item.path, *reason, item.inFolder, item.why};
            plan.shownRefusals += dropRefusalShown(plan.refused.last()) ? 1 : 0;
        } else {
            plan.queued << item.path;
        }
    }
    plan.tellRefusals = plan.queued.isEmpty() && !plan.refused.isEmpty();
    return plan;
}

sourceRefusal dropRefusalCode(dropRefusal reason) {
    switch (reason) {
    case dropRefusal::notAMovie:
        return sourceRefusal::notAcceptedType;
    case dropRefusal::alreadyListed:
        return sourceRefusal::duplicate;
    case dropRefusal::missing:
        return sourceRefusal::missing;
    case dropRefusal::unreadable:
        return sourceRefusal::unreadable;
    case dropRefusal::notRegularFile:
        return sourceRefusal::notRegularFile;
    case dropRefusal::nameNotUtf8:
        return sourceRefusal::nameNotUtf8;
    case dropRefusal::unreadFolder:
        return sourceRefusal::folderUnreadable;
    }
    return sourceRefusal::none;
}

QString dropRefusalWords(dropRefusal reason) {
    return reason == dropRefusal::unreadable ? localizedStr(QStringLiteral("dropUnreadable"))
                                             : sourceRefusalWords(dropRefusalCode(reason));
}

QString dropRefusalLogWords(dropRefusal reason) {
    switch (reason) {
    case dropRefusal::notAMovie:
        return QStringLiteral("not an accepted file type");
    case dropRefusal::alreadyListed:
        return QStringLiteral("already in the list");
    case dropRefusal::missing:
        return QStringLiteral("the file is missing");
    case dropRefusal::unreadable:
        return QStringLiteral("no permission to read it");
    case dropRefusal::notRegularFile:
        return QStringLiteral("not a regular file");
    case dropRefusal::nameNotUtf8:
        return QStringLiteral("its name is not valid UTF-8: rename it to convert it");
    case dropRefusal::unreadFolder:
        return QStringLiteral("can't read the folder");
    }
    return QString();
}

QString dropRefusedMessage(const dropPlanValue &plan) {
    constexpr qsizetype shownNames = 8;
    QList<dropRefused> named;
    for (const dropRefused &refused : plan.refused) {
        if (plan.shownRefusals == 0 || dropRefusalShown(refused)) {
            named << refused;
        }
    }
    const bool onlyNotMovies = std::all_of(named.cbegin(), named.cend(), [](const dropRefused &r) {
        return r.reason == dropRefusal::notAMovie;
    });
    QStringList lines{localizedStr(onlyNotMovies ? QStringLiteral("D_go_source3")
                                                 : QStringLiteral("dropNothingAdded"))};
    qsizetype listed = 0;
    for (const dropRefusal reason :
         {dropRefusal::notAMovie, dropRefusal::alreadyListed, dropRefusal::missing,
          dropRefusal::unreadable, dropRefusal::notRegularFile, dropRefusal::nameNotUtf8,
          dropRefusal::unreadFolder}) {
        bool headed = false;
        for (const dropRefused &refused : named) {
            if (refused.reason != reason || listed >= shownNames) {
                continue;
            }
            if (!headed) {
                lines << QString();
                if (!onlyNotMovies) {
                    lines << dropRefusalWords(reason) + QLatin1Char(':');
                }
                headed = true;
            }
            lines << QFileInfo(refused.path).fileName();
            ++listed;
        }
    }
    if (named.size() > listed) {
        lines << localizedStr(QStringLiteral("D_go_sourceMore")).arg(named.size() - listed);
    }
    if (!plan.acceptedKinds.isEmpty()) {
        lines << QString()
              << localizedStr(QStringLiteral("D_go_source4"))
                     .arg(plan.acceptedKinds.join(QStringLiteral(", ")));
    }
    return lines.join(QLatin1Char('\n'));
}

analysisVerdictValue dropRefusalVerdict(const dropRefused &refused) {
    analysisVerdictValue verdict;
    verdict.src = refused.path;
    verdict.refusal = dropRefusalCode(refused.reason);
    verdict.words = dropRefusalWords(refused.reason);
    verdict.logWords = dropRefusalLogWords(refused.reason);
    if (!refused.why.isEmpty()) {
        verdict.words += QStringLiteral(" (%1)").arg(refused.why);
        verdict.logWords += QStringLiteral(": %1").arg(refused.why);
        verdict.note = refused.why;
    }
    return verdict;
}
