// The card import's decisions as pure functions of values: which files of a card each archive
// still needs, which it holds verified already (an import that stopped resumes there), and the
// name of the card's folder in each archive ("2024-05-18 CANON_HF"). Nothing here touches the
// disk: cardListing reads what the plan needs, cardCopy does what it says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

/// One entry under the card's root, as its status gave it (links not followed).
struct cardFile {
    std::string path; ///< relative to the card's root, "/"-separated, as the bytes of the names
    std::int64_t size = 0;
    std::int64_t atimeNs = 0; ///< last access, nanoseconds since 1970 UTC
    std::int64_t mtimeNs = 0; ///< last modification, nanoseconds since 1970 UTC
    std::uint32_t mode = 0;   ///< permission bits
    bool regular = true;      ///< false: a link, a device, a pipe... (never copied)
};

/// A folder under the card's root (its times are given to the copy's folder).
struct cardFolder {
    std::string path; ///< relative to the card's root; empty for the root itself
    std::int64_t atimeNs = 0;
    std::int64_t mtimeNs = 0;
};

/// Everything under a card's root, hidden entries included, sorted by path.
struct cardListing {
    std::vector<cardFile> files;
    std::vector<cardFolder> folders;
    /// Folders that could not be read ("PRIVATE/AVCHD: Permission denied"): the listing is then
    /// incomplete and the card is never said safe to format.
    std::vector<std::string> unread;
};

/// A file an archive's copy already vouches for: listed in one of its manifests (or in the
/// journal of an import that stopped) with the hash the import verified.
struct recordedFile {
    std::int64_t size = 0;
    std::int64_t mtimeSeconds = 0;
    std::uint64_t xxh64 = 0;
};

/// What is under a file's final name in a copy.
struct presentFile {
    std::int64_t size = 0;
    std::int64_t mtimeSeconds = 0;
};

/// What one archive holds of the card already, in the card's folder there.
struct archiveState {
    std::map<std::string, recordedFile> recorded; ///< by path, the newest record of each
    std::map<std::string, presentFile> present;   ///< regular files at their final names
    int lastGeneration = 0;                       ///< the manifests' last number, 0 for none
};

/// What the import does with one file of the card in one archive.
enum class fileAction {
    copy,     ///< read, written to a working name, read back, renamed into place
    verified, ///< recorded with the card's size and time and present so: nothing to do
    compare,  ///< a file is at the final name but nothing vouches for it: its hash is compared
    skip,     ///< no regular file: never copied (and the card not safe to format)
};

/// One archive's part of the plan.
struct archivePlan {
    std::vector<fileAction> actions; ///< one per file of the listing, in its order
    std::size_t toCopy = 0;
    std::size_t toCompare = 0;
    std::size_t alreadyVerified = 0;
    int nextGeneration = 1; ///< the number of the manifest this import writes
};

/// The plan of an import.
struct cardImportPlanValue {
    std::string folderName; ///< the card's folder in every archive
    std::vector<archivePlan> archives;
    std::size_t filesToRead = 0;  ///< files of the card read at least once
    std::int64_t bytesToRead = 0; ///< their bytes
};

/// The card's folder name: its first recording day ("YYYY-MM-DD") and its volume name, with
/// what no folder name may hold (a "/", control characters) made "_"; "CARD" stands for an
/// empty volume name, and the day is left out when there is none.
std::string cardFolderName(const std::optional<std::string> &firstDay, const std::string &volume);

/// What each archive does with each file of the listing. A file is verified already when a
/// record vouches for its size and modification second and the copy's file at its name has
/// them too; an unrecorded file at the name is compared; anything else is copied.
cardImportPlanValue cardImportPlan(const cardListing &listing, const std::string &folderName,
                                   const std::vector<archiveState> &archives);

/// Seconds since 1970 of a time in nanoseconds, rounded down (before 1970 too).
std::int64_t secondsOfNs(std::int64_t ns);
