// `checkArchive`: a copy read again from its disk against its manifests, so a person can tell
// years later whether an archive still holds the card as it was: which files changed, which went
// missing, which the manifests never listed, and whether a manifest itself was changed.
#pragma once

#include "cardImport/cardCopy.h"
#include "cardImport/mhlManifest.h"

#include <cstddef>
#include <string>
#include <vector>

/// What the check found of one file.
enum class archiveFileState {
    changed,    ///< its bytes (or size) are not the ones the manifest holds
    missing,    ///< the manifest lists it, the copy no longer has it
    notListed,  ///< the copy has it, no manifest lists it
    unreadable, ///< it could not be read (error: the system's)
};

struct archiveCheckItem {
    std::string path; ///< relative to the copy
    archiveFileState state = archiveFileState::changed;
    int error = 0;
};

/// The check of one copy.
struct archiveCheckResult {
    mhlProblem problem = mhlProblem::none; ///< what is wrong with the manifests themselves
    QString problemFile;
    int generations = 0;                    ///< the manifests read
    std::size_t listed = 0;                 ///< files the manifests list
    std::size_t intact = 0;                 ///< of them, read back with the manifest's hash
    std::vector<archiveCheckItem> findings; ///< every file that is not intact, by path
    /// True when the manifests are sound and every file they list is intact, and nothing else
    /// is in the copy.
    [[nodiscard]] bool holds() const { return problem == mhlProblem::none && findings.empty(); }
};

/// Reads every file of the copy at folder (its ascmhl folder and import working files left out)
/// and compares it with the newest record of it in the manifests. onBytes gets the bytes read and
/// may stop the check (the files not reached are then not judged).
archiveCheckResult checkArchive(const std::string &folder, const copyBytesFn &onBytes = {});
