// What the import plan is made from, read from the disk: the card's listing, its volume name and
// first recording day, and what an archive's copy of the card holds already. Only reads; the card
// is opened read-only and its access times are left as they were.
#pragma once

#include "cardImport/cardImportPlan.h"

#include <optional>
#include <string>

/// Everything under root (hidden entries included, links not followed), sorted by path.
cardListing cardListingOf(const std::string &root);

/// The card's volume name: when root is a mount point (/proc/self/mountinfo), the label of its
/// file system as the links of labelsFolder name it (udev's /dev/disk/by-label, "\x20" for a
/// space), else the mount point's own name; for a folder that is no mount point (a card copied
/// to a disk), the folder's name.
std::string cardVolumeName(const std::string &root,
                           const std::string &labelsFolder = "/dev/disk/by-label");

/// The day ("YYYY-MM-DD") the card's first recording was made: the earliest date the card's
/// AVCHD playlists give its clips (in the camera's zone when the clip says it), else the oldest
/// modification time of its files in the machine's zone; nothing for a card without files.
std::optional<std::string> cardFirstRecordingDay(const std::string &root,
                                                 const cardListing &listing);

/// What the copy at copyFolder holds: its regular files at their final names (the manifests
/// folder and working files left out), the newest record of each file in its manifests and in
/// the journal an import that stopped left, and the manifests' last generation.
archiveState archiveStateOf(const std::string &copyFolder);
