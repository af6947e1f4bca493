// The copy of one file of a card into every archive that needs it: one read of the card feeding
// the xxHash64 and every copy at once; each copy written to a working name beside its final
// name, flushed to the disk, dropped from the page cache, read back from the disk and hashed
// again, given the card's times and only then renamed into place, never over a file. The card is
// only read (its access times left as they were). A failure leaves no working file and nothing
// under the final name.
#pragma once

#include "cardImport/cardImportPlan.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// What became of a file in one archive.
enum class copyOutcome {
    verified,        ///< the copy's read-back hash is the card's (or the file there has it)
    readFailed,      ///< the card's file could not be read (error: the system's)
    writeFailed,     ///< the copy could not be written or read back (error: the system's)
    archiveFull,     ///< no room left on the archive's disk (or the file size limit)
    readBackDiffers, ///< what the disk gave back is not what was written
    nameTaken,       ///< a different file is at the final name; it is left as it is
    stopped,         ///< the import was stopped during the file
};

/// One archive's part of a file's copy.
struct copyTarget {
    std::string finalPath;
    fileAction action = fileAction::copy; ///< copy or compare
};

struct copyTargetResult {
    copyOutcome outcome = copyOutcome::stopped;
    int error = 0; ///< errno when the system said why
};

/// What became of the file in each archive, in the targets' order.
struct fileCopyResult {
    std::vector<copyTargetResult> targets;
    std::uint64_t xxh64 = 0; ///< of the card's bytes, when they were all read
    std::int64_t bytes = 0;  ///< read from the card
};

/// Called after each block read from the card with its size; false stops the copy.
using copyBytesFn = std::function<bool(std::int64_t bytes)>;

/// A file's copy between its two halves: the card's file read into every working file (and
/// hashed), then, possibly on another thread while the next file is read, finished: each copy
/// flushed, read back and renamed, each compared target hashed. Destroyed unfinished, it deletes
/// its working files.
class fileCopyJob {
public:
    /// The first half: reads the card's file at sourcePath (listed as `file`) once into a
    /// working file beside each copied target's final name (the copy's folders made as needed).
    fileCopyJob(const std::string &sourcePath, const cardFile &file,
                std::vector<copyTarget> targets, const copyBytesFn &onBytes);
    ~fileCopyJob();
    fileCopyJob(const fileCopyJob &) = delete;
    fileCopyJob &operator=(const fileCopyJob &) = delete;

    /// The second half, once: what became of the file in each target.
    fileCopyResult finish();

    struct writing;

private:
    cardFile file_;
    std::vector<copyTarget> targets_;
    fileCopyResult result_;
    std::vector<writing> copies_;
    bool readAll_ = false; ///< every byte of the card's file read
};

/// The xxHash64 of the file at path read from the disk (its cached pages dropped first where the
/// system lets it); nothing with errno set when it can't be read. onBytes as above.
std::optional<std::uint64_t> xxh64OfFile(const std::string &path, std::int64_t *bytes,
                                         const copyBytesFn &onBytes = {});

/// Sets a folder's access and modification times (nanoseconds); false when it can't.
bool setFolderTimes(const std::string &path, std::int64_t atimeNs, std::int64_t mtimeNs);

/// Deletes the working files a killed import left in the copy at copyFolder (".fluxaro-" and ten
/// letters or digits beside a final name, and the manifests' working files); the journal stays.
/// The number deleted.
std::size_t removeStaleWorkingFiles(const std::string &copyFolder);

/// Makes the folder and its missing parents; false with errno when one can't be made.
bool makeFolders(const std::string &path);
