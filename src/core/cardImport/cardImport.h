// The import of a card: everything under its root copied into a folder of its own in each
// archive ("2024-05-18 CANON_HF"), each file verified as cardCopy does it and noted in the
// copy's journal, then an ASC MHL generation written in each copy. "Safe to format" is the
// typed verdict `safeToFormat`: every file of the card verified in every archive, their
// manifests written. An import that stopped resumes from what the journal and the manifests
// vouch for. The card is never written to.
#pragma once

#include "cardImport/cardCopy.h"
#include "cardImport/cardImportPlan.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// Why an import did not begin.
enum class importRefusal {
    none,
    cardUnreadable,    ///< the card is no folder, or its root can't be listed
    archiveInsideCard, ///< an archive is on the card itself (nothing is written there)
    archiveNotFolder,  ///< an archive is a file, or a folder that can't be made
    sameArchiveTwice,  ///< two archives are one folder
};

/// Why an import ended before its last file.
enum class importStop {
    none,
    stopped,     ///< the progress callback said to stop (a signal, the person)
    archiveFull, ///< an archive's disk is full (or its journal can't be written)
    cardGone,    ///< the card's root can no longer be read (pulled out)
};

/// Where the import is: the file being read among those read, and bytes.
struct importProgressValue {
    std::size_t fileNumber = 0; ///< 1-based, among the files read
    std::size_t fileCount = 0;
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = 0;
    std::string path; ///< relative to the card
};

/// Called as the import goes on (at each file and after each block); false stops it.
using importProgressFn = std::function<bool(const importProgressValue &)>;

/// One file that is not verified in an archive, and why.
struct importFailure {
    std::string path;
    copyOutcome outcome = copyOutcome::readFailed;
    int error = 0;
    bool notRegular = false; ///< a link or special file, never copied
    /// Copied and verified, but its name is not UTF-8, which no manifest can hold: no MHL tool
    /// could check it, so the card is not said safe to format.
    bool nameNotUtf8 = false;
};

/// What the import did in one archive.
struct archiveImportOutcome {
    std::string archive;
    std::string copyFolder;
    std::size_t verified = 0;        ///< files verified by this import
    std::size_t alreadyVerified = 0; ///< files an earlier import had verified
    std::vector<importFailure> failures;
    QString generationFile;    ///< the manifest written; empty when none was
    QString manifestError;     ///< why the manifest could not be written (untranslated)
    bool manifestSound = true; ///< false when earlier manifests failed their chain's check
};

struct cardImportResult {
    importRefusal refusal = importRefusal::none;
    std::string refusalPath;
    int refusalError = 0;
    std::string folderName;
    std::size_t cardFiles = 0;
    std::int64_t cardBytes = 0;
    std::vector<std::string> unreadFolders; ///< of the card, listed with the reason
    std::vector<archiveImportOutcome> archives;
    importStop stop = importStop::none;
    std::string stopArchive; ///< the archive that was full
    /// Every file of the card verified in every archive and each copy's manifests written.
    bool safeToFormat = false;
};

/// Imports the card at `card` into each of `archives` (made with their parents when missing).
/// toolVersion goes into the manifests.
cardImportResult cardImportRun(const std::string &card, const std::vector<std::string> &archives,
                               const QString &toolVersion, const importProgressFn &onProgress);
