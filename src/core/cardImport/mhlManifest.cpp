#include "cardImport/mhlManifest.h"

#include "platform/renameNoReplace.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTimeZone>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *kMhlNamespace = "urn:ASC:MHL:v2.0";
constexpr const char *kChainNamespace = "urn:ASC:MHL:DIRECTORY:v2.0";

QString isoDate(std::int64_t utcSeconds, std::int32_t offsetSeconds) {
    return QDateTime::fromSecsSinceEpoch(utcSeconds, QTimeZone(offsetSeconds))
        .toString(Qt::ISODate);
}

std::optional<std::int64_t> isoSeconds(const QString &text) {
    const QDateTime date = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!date.isValid()) {
        return std::nullopt;
    }
    return date.toSecsSinceEpoch();
}

std::optional<std::uint64_t> hexHash(const QString &text) {
    if (text.size() != 16) {
        return std::nullopt;
    }
    bool ok = false;
    const std::uint64_t value = text.toULongLong(&ok, 16);
    return ok ? std::optional<std::uint64_t>(value) : std::nullopt;
}

// Writes bytes durably under `name` in `folder`: a working file made exclusively, flushed, then
// renamed (never over a file unless `replace`), and the folder flushed so the name lasts.
bool writeDurably(const QString &folder, const QString &name, const QByteArray &bytes, bool replace,
                  QString *why) {
    const QString working = folder + QLatin1Char('/') + QLatin1String(kImportWorkingPrefix) +
                            QString::number(QRandomGenerator::global()->generate64(), 36) +
                            QStringLiteral(".xml");
    const QByteArray workingPath = QFile::encodeName(working);
    const int fd = ::open(workingPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    qsizetype done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        ok = wrote > 0;
        done += ok ? wrote : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    const QByteArray target = QFile::encodeName(folder + QLatin1Char('/') + name);
    if (ok) {
        ok = replace ? ::rename(workingPath.constData(), target.constData()) == 0
                     : renameNoReplace(workingPath.constData(), target.constData());
    }
    if (!ok) {
        *why = QString::fromLocal8Bit(std::strerror(errno != 0 ? errno : error));
        ::unlink(workingPath.constData());
        return false;
    }
    const int dir =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace

std::string xxh64Hex(std::uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

QString mhlC4Id(const QByteArray &bytes) {
    static constexpr char kDigits[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
    QByteArray number = QCryptographicHash::hash(bytes, QCryptographicHash::Sha512);
    // The digest as one big-endian number, divided by 58 until nothing is left: the digits
    // come least significant first.
    std::string digits;
    while (std::any_of(number.begin(), number.end(), [](char c) { return c != 0; })) {
        unsigned remainder = 0;
        for (char &c : number) {
            const unsigned value = remainder * 256 + static_cast<unsigned char>(c);
            c = static_cast<char>(value / 58);
            remainder = value % 58;
        }
        digits.push_back(kDigits[remainder]);
    }
    while (digits.size() < 88) {
        digits.push_back(kDigits[0]);
    }
    std::reverse(digits.begin(), digits.end());
    return QStringLiteral("c4") + QString::fromLatin1(digits.c_str());
}

QString mhlGenerationFileName(int generation, const QString &folderName, std::int64_t utcSeconds) {
    return QStringLiteral("%1_%2_%3Z.mhl")
        .arg(generation, 4, 10, QLatin1Char('0'))
        .arg(folderName, QDateTime::fromSecsSinceEpoch(utcSeconds, QTimeZone::utc())
                             .toString(QStringLiteral("yyyy-MM-dd_HHmmss")));
}

QByteArray mhlGenerationXml(const mhlCreator &creator, const std::vector<mhlEntry> &entries) {
    QByteArray xml;
    QXmlStreamWriter out(&xml);
    out.setAutoFormatting(true);
    out.setAutoFormattingIndent(2);
    out.writeStartDocument();
    out.writeDefaultNamespace(QLatin1String(kMhlNamespace));
    out.writeStartElement(QLatin1String(kMhlNamespace), QStringLiteral("hashlist"));
    out.writeAttribute(QStringLiteral("version"), QStringLiteral("2.0"));
    out.writeStartElement(QStringLiteral("creatorinfo"));
    out.writeTextElement(QStringLiteral("creationdate"),
                         isoDate(creator.creationSeconds, creator.offsetSeconds));
    out.writeTextElement(QStringLiteral("hostname"), creator.hostName);
    out.writeStartElement(QStringLiteral("tool"));
    out.writeAttribute(QStringLiteral("version"), creator.toolVersion);
    out.writeCharacters(QStringLiteral("fluxaro"));
    out.writeEndElement();
    out.writeEndElement(); // creatorinfo
    out.writeStartElement(QStringLiteral("processinfo"));
    out.writeTextElement(QStringLiteral("process"), QStringLiteral("transfer"));
    out.writeStartElement(QStringLiteral("ignore"));
    out.writeTextElement(QStringLiteral("pattern"),
                         QLatin1String(kImportWorkingPrefix) + QLatin1Char('*'));
    out.writeEndElement(); // ignore
    out.writeEndElement(); // processinfo
    if (!entries.empty()) {
        out.writeStartElement(QStringLiteral("hashes"));
        for (const mhlEntry &entry : entries) {
            out.writeStartElement(QStringLiteral("hash"));
            out.writeStartElement(QStringLiteral("path"));
            out.writeAttribute(QStringLiteral("size"), QString::number(entry.size));
            out.writeAttribute(QStringLiteral("lastmodificationdate"),
                               isoDate(entry.mtimeSeconds, creator.offsetSeconds));
            out.writeCharacters(QString::fromStdString(entry.path));
            out.writeEndElement();
            out.writeStartElement(QStringLiteral("xxh64"));
            out.writeAttribute(QStringLiteral("action"), entry.verifiedAgain
                                                             ? QStringLiteral("verified")
                                                             : QStringLiteral("original"));
            out.writeAttribute(QStringLiteral("hashdate"),
                               isoDate(entry.hashSeconds, creator.offsetSeconds));
            out.writeCharacters(QString::fromStdString(xxh64Hex(entry.xxh64)));
            out.writeEndElement();
            out.writeEndElement(); // hash
        }
        out.writeEndElement(); // hashes
    }
    out.writeEndElement(); // hashlist
    out.writeEndDocument();
    return xml;
}

QByteArray mhlChainXml(const std::vector<mhlChainLink> &links) {
    QByteArray xml;
    QXmlStreamWriter out(&xml);
    out.setAutoFormatting(true);
    out.setAutoFormattingIndent(2);
    out.writeStartDocument();
    out.writeDefaultNamespace(QLatin1String(kChainNamespace));
    out.writeStartElement(QLatin1String(kChainNamespace), QStringLiteral("ascmhldirectory"));
    for (const mhlChainLink &link : links) {
        out.writeStartElement(QStringLiteral("hashlist"));
        out.writeAttribute(QStringLiteral("sequencenr"), QString::number(link.sequence));
        out.writeTextElement(QStringLiteral("path"), link.fileName);
        out.writeTextElement(QStringLiteral("c4"), link.c4);
        out.writeEndElement();
    }
    out.writeEndElement();
    out.writeEndDocument();
    return xml;
}

std::optional<std::vector<mhlEntry>> mhlReadGeneration(const QByteArray &xml, QString *why) {
    QXmlStreamReader in(xml);
    std::vector<mhlEntry> entries;
    bool hashList = false;
    while (!in.atEnd()) {
        if (in.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (in.name() == QLatin1String("hashlist")) {
            hashList = in.namespaceUri() == QLatin1String(kMhlNamespace);
            continue;
        }
        if (!hashList || in.name() != QLatin1String("hash")) {
            continue;
        }
        mhlEntry entry;
        bool hasPath = false;
        bool hasHash = false;
        bool hasSize = false;
        while (in.readNextStartElement()) {
            if (in.name() == QLatin1String("path")) {
                const QXmlStreamAttributes attributes = in.attributes();
                entry.size = attributes.value(QLatin1String("size")).toLongLong(&hasSize);
                const std::optional<std::int64_t> modified =
                    isoSeconds(attributes.value(QLatin1String("lastmodificationdate")).toString());
                entry.mtimeSeconds = modified.value_or(0);
                entry.path = in.readElementText().toStdString();
                hasPath = !entry.path.empty();
            } else if (in.name() == QLatin1String("xxh64")) {
                const QXmlStreamAttributes attributes = in.attributes();
                entry.verifiedAgain =
                    attributes.value(QLatin1String("action")) == QLatin1String("verified");
                entry.hashSeconds =
                    isoSeconds(attributes.value(QLatin1String("hashdate")).toString()).value_or(0);
                const std::optional<std::uint64_t> hash = hexHash(in.readElementText().trimmed());
                hasHash = hash.has_value();
                entry.xxh64 = hash.value_or(0);
            } else {
                in.skipCurrentElement();
            }
        }
        if (!hasPath || !hasHash || !hasSize) {
            *why = QStringLiteral("a file without path, size or xxh64 hash at line %1")
                       .arg(in.lineNumber());
            return std::nullopt;
        }
        entries.push_back(std::move(entry));
    }
    if (in.hasError()) {
        *why = QStringLiteral("%1 at line %2").arg(in.errorString()).arg(in.lineNumber());
        return std::nullopt;
    }
    if (!hashList) {
        *why = QStringLiteral("no ASC MHL hash list");
        return std::nullopt;
    }
    return entries;
}

std::optional<std::vector<mhlChainLink>> mhlReadChain(const QByteArray &xml, QString *why) {
    QXmlStreamReader in(xml);
    std::vector<mhlChainLink> links;
    bool directory = false;
    while (!in.atEnd()) {
        if (in.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (in.name() == QLatin1String("ascmhldirectory")) {
            directory = in.namespaceUri() == QLatin1String(kChainNamespace);
            continue;
        }
        if (!directory || in.name() != QLatin1String("hashlist")) {
            continue;
        }
        mhlChainLink link;
        bool numbered = false;
        link.sequence = in.attributes().value(QLatin1String("sequencenr")).toInt(&numbered);
        while (in.readNextStartElement()) {
            if (in.name() == QLatin1String("path")) {
                link.fileName = in.readElementText().trimmed();
            } else if (in.name() == QLatin1String("c4")) {
                link.c4 = in.readElementText().trimmed();
            } else {
                in.skipCurrentElement();
            }
        }
        // A generation is a file of the ascmhl folder itself, never a path out of it.
        if (!numbered || link.fileName.isEmpty() || link.fileName.contains(QLatin1Char('/')) ||
            link.fileName.startsWith(QLatin1Char('.'))) {
            *why = QStringLiteral("a generation without number or file name at line %1")
                       .arg(in.lineNumber());
            return std::nullopt;
        }
        links.push_back(std::move(link));
    }
    if (in.hasError()) {
        *why = QStringLiteral("%1 at line %2").arg(in.errorString()).arg(in.lineNumber());
        return std::nullopt;
    }
    if (!directory) {
        *why = QStringLiteral("no ASC MHL chain");
        return std::nullopt;
    }
    std::sort(links.begin(), links.end(),
              [](const mhlChainLink &a, const mhlChainLink &b) { return a.sequence < b.sequence; });
    return links;
}

mhlHistory mhlReadHistory(const QString &copyFolder) {
    mhlHistory history;
    const QString folder = copyFolder + QLatin1Char('/') + QLatin1String(kMhlFolder);
    QFile chainFile(folder + QLatin1Char('/') + QLatin1String(kMhlChainFile));
    if (!QDir(folder).exists()) {
        history.problem = mhlProblem::noManifest;
        return history;
    }
    QString why;
    std::optional<std::vector<mhlChainLink>> links;
    if (chainFile.open(QIODevice::ReadOnly)) {
        links = mhlReadChain(chainFile.readAll(), &why);
    }
    if (!links) {
        history.problem = mhlProblem::chainUnreadable;
        history.problemFile = chainFile.fileName();
        return history;
    }
    history.links = *links;
    if (links->empty()) {
        history.problem = mhlProblem::noManifest;
        return history;
    }
    std::map<std::string, mhlEntry> newest;
    for (const mhlChainLink &link : *links) {
        history.lastGeneration = std::max(history.lastGeneration, link.sequence);
        QFile generation(folder + QLatin1Char('/') + link.fileName);
        if (!generation.open(QIODevice::ReadOnly)) {
            if (history.problem == mhlProblem::none) {
                history.problem = mhlProblem::generationMissing;
                history.problemFile = generation.fileName();
            }
            continue;
        }
        const QByteArray bytes = generation.readAll();
        if (mhlC4Id(bytes) != link.c4 && history.problem == mhlProblem::none) {
            history.problem = mhlProblem::generationChanged;
            history.problemFile = generation.fileName();
        }
        const std::optional<std::vector<mhlEntry>> entries = mhlReadGeneration(bytes, &why);
        if (!entries) {
            if (history.problem == mhlProblem::none) {
                history.problem = mhlProblem::generationUnreadable;
                history.problemFile = generation.fileName();
            }
            continue;
        }
        for (const mhlEntry &entry : *entries) {
            newest[entry.path] = entry;
        }
    }
    for (auto &[path, entry] : newest) {
        history.newest.push_back(entry);
    }
    return history;
}

std::optional<QString> mhlWriteGeneration(const QString &copyFolder, const QString &folderName,
                                          int generation, const mhlCreator &creator,
                                          const std::vector<mhlEntry> &entries, QString *why) {
    const QString folder = copyFolder + QLatin1Char('/') + QLatin1String(kMhlFolder);
    if (::mkdir(QFile::encodeName(folder).constData(), 0755) != 0 && errno != EEXIST) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    const QString name = mhlGenerationFileName(generation, folderName, creator.creationSeconds);
    const QByteArray xml = mhlGenerationXml(creator, entries);
    if (!writeDurably(folder, name, xml, false, why)) {
        return std::nullopt;
    }
    // The chain as it is, the new generation appended (a chain that can't be read is begun
    // again rather than losing the new generation: the check says its older ones are unlisted).
    std::vector<mhlChainLink> links;
    QFile chainFile(folder + QLatin1Char('/') + QLatin1String(kMhlChainFile));
    if (chainFile.open(QIODevice::ReadOnly)) {
        QString ignored;
        links = mhlReadChain(chainFile.readAll(), &ignored).value_or(std::vector<mhlChainLink>{});
        chainFile.close();
    }
    links.push_back({generation, name, mhlC4Id(xml)});
    if (!writeDurably(folder, QLatin1String(kMhlChainFile), mhlChainXml(links), true, why)) {
        return std::nullopt;
    }
    return name;
}
