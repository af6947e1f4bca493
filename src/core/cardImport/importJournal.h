// The journal of an import in each copy (".fluxaro-import" at the copy's root): one line per file
// verified and renamed into place, flushed to the disk before the next file begins, so an import
// stopped by a kill, a pulled card or a full disk resumes without copying those files again. It
// goes once the import's manifest generation holds them.
#pragma once

#include "cardImport/mhlManifest.h"

#include <optional>
#include <string>
#include <vector>

/// The journal's name in a copy.
inline constexpr const char *kImportJournal = ".fluxaro-import";

/// One line of the journal: "<xxh64> <size> <mtime s> <hash time s> <path>".
std::string importJournalLine(const mhlEntry &entry);

/// The entries of a journal's text; a line cut short by a kill, or of another shape, is left out.
std::vector<mhlEntry> importJournalRead(const std::string &text);

/// The entries of the journal in the copy at copyFolder; none when it has no journal.
std::vector<mhlEntry> importJournalOf(const std::string &copyFolder);

/// An open journal of one copy.
class importJournal {
public:
    importJournal() = default;
    importJournal(const importJournal &) = delete;
    importJournal &operator=(const importJournal &) = delete;
    ~importJournal();

    /// Opens (or makes) the copy's journal for appending; false with errno when it can't be.
    bool open(const std::string &copyFolder);
    /// Appends the entry and flushes it to the disk; false with errno when it can't be.
    bool append(const mhlEntry &entry);
    /// Closes and deletes the journal (its entries are in a manifest now).
    void remove();

private:
    int fd_ = -1;
    std::string path_;
};
