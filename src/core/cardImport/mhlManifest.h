// The manifests of a copy in ASC MHL v2 form: an "ascmhl" folder in the copy holding one
// generation file per import ("0001_<folder>_<YYYY-MM-DD_HHMMSS>Z.mhl": every file it verified
// with its size, modification time and xxHash64) and the chain file "ascmhl_chain.xml" that
// lists the generations with the C4 identifier of each, so any MHL tool can check the copy and
// see whether a manifest was changed. Writing and reading are separate from the disk: the XML
// texts are pure functions of values, and the folder functions only read or write the files.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// The copy's manifests folder and chain file names.
inline constexpr const char *kMhlFolder = "ascmhl";
inline constexpr const char *kMhlChainFile = "ascmhl_chain.xml";
/// The working files of an import in a copy (a file's working name, the journal) begin so; the
/// manifests tell MHL tools to ignore them.
inline constexpr const char *kImportWorkingPrefix = ".fluxaro-";

/// One file of a generation.
struct mhlEntry {
    std::string path; ///< relative to the copy's root, "/"-separated, UTF-8
    std::int64_t size = 0;
    std::int64_t mtimeSeconds = 0;
    std::uint64_t xxh64 = 0;
    bool verifiedAgain = false; ///< "verified" (checked against an earlier record), else "original"
    std::int64_t hashSeconds = 0; ///< when the hash was made
};

/// What a generation says about its making.
struct mhlCreator {
    std::int64_t creationSeconds = 0;
    std::int32_t offsetSeconds = 0; ///< the zone of the dates written
    QString hostName;
    QString toolVersion;
};

/// The C4 identifier of bytes: "c4" and the SHA-512 digest as 88 base-58 digits.
QString mhlC4Id(const QByteArray &bytes);

/// "0007_<folder>_2024-05-18_143000Z.mhl" for generation 7 made at utcSeconds.
QString mhlGenerationFileName(int generation, const QString &folderName, std::int64_t utcSeconds);

/// The generation's XML (a "transfer" process; the working files' prefix ignored).
QByteArray mhlGenerationXml(const mhlCreator &creator, const std::vector<mhlEntry> &entries);

/// One generation listed by the chain file.
struct mhlChainLink {
    int sequence = 0;
    QString fileName; ///< in the ascmhl folder
    QString c4;
};

/// The chain file's XML.
QByteArray mhlChainXml(const std::vector<mhlChainLink> &links);

/// The files a generation lists (their xxh64 hashes); nothing, with why in `why`, when the text
/// is no ASC MHL hash list or a file has no usable path, size or xxh64 hash.
std::optional<std::vector<mhlEntry>> mhlReadGeneration(const QByteArray &xml, QString *why);

/// The generations a chain file lists, by sequence number; nothing, with why, when it is none.
std::optional<std::vector<mhlChainLink>> mhlReadChain(const QByteArray &xml, QString *why);

/// What is wrong with a copy's manifests.
enum class mhlProblem {
    none,
    noManifest,        ///< no ascmhl folder, or no generation in it
    chainUnreadable,   ///< the chain file is missing or no chain file
    generationMissing, ///< a generation the chain lists is gone
    generationChanged, ///< a generation's C4 is not the one the chain holds
    generationUnreadable,
};

/// A copy's manifests as read: every generation's files, the newest record of each path first.
struct mhlHistory {
    std::vector<mhlChainLink> links;
    /// The newest generation's entry for every path any generation lists.
    std::vector<mhlEntry> newest;
    int lastGeneration = 0;
    mhlProblem problem = mhlProblem::none;
    QString problemFile; ///< the file the problem is about
};

/// Reads the copy's ascmhl folder: the chain file and each generation it lists (each checked
/// against its C4). A problem does not hide what could be read.
mhlHistory mhlReadHistory(const QString &copyFolder);

/// Writes a new generation of the entries into the copy's ascmhl folder (made when missing), then
/// the chain file with it appended: each written to a working name, flushed to the disk and
/// renamed into place (the generation never over a file). The generation's file name, or
/// nothing with the system's reason in `why`.
std::optional<QString> mhlWriteGeneration(const QString &copyFolder, const QString &folderName,
                                          int generation, const mhlCreator &creator,
                                          const std::vector<mhlEntry> &entries, QString *why);

/// The hash as MHL and xxhsum write it: 16 lowercase hexadecimal digits.
std::string xxh64Hex(std::uint64_t hash);
