#include "cardImport/cardImportPlan.h"

namespace {

// A volume name as one folder name: no "/", no control character, no name of its own (".",
// "..").
std::string folderSafe(const std::string &text) {
    std::string safe;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        safe.push_back(c == '/' || byte < 0x20 || byte == 0x7F ? '_' : c);
    }
    while (!safe.empty() && safe.back() == ' ') {
        safe.pop_back();
    }
    while (!safe.empty() && safe.front() == ' ') {
        safe.erase(safe.begin());
    }
    if (safe.empty() || safe == "." || safe == "..") {
        return "CARD";
    }
    return safe;
}

} // namespace

std::int64_t secondsOfNs(std::int64_t ns) {
    constexpr std::int64_t kNs = 1000000000;
    return ns >= 0 ? ns / kNs : -((-ns + kNs - 1) / kNs);
}

std::string cardFolderName(const std::optional<std::string> &firstDay, const std::string &volume) {
    const std::string name = folderSafe(volume);
    return firstDay && !firstDay->empty() ? folderSafe(*firstDay) + " " + name : name;
}

cardImportPlanValue cardImportPlan(const cardListing &listing, const std::string &folderName,
                                   const std::vector<archiveState> &archives) {
    cardImportPlanValue plan;
    plan.folderName = folderName;
    std::vector<bool> read(listing.files.size(), false);
    for (const archiveState &state : archives) {
        archivePlan archive;
        archive.nextGeneration = state.lastGeneration + 1;
        archive.actions.reserve(listing.files.size());
        for (std::size_t i = 0; i < listing.files.size(); ++i) {
            const cardFile &file = listing.files[i];
            const std::int64_t seconds = secondsOfNs(file.mtimeNs);
            fileAction action = fileAction::copy;
            const auto present = state.present.find(file.path);
            const auto recorded = state.recorded.find(file.path);
            if (!file.regular) {
                action = fileAction::skip;
            } else if (present == state.present.end()) {
                action = fileAction::copy;
            } else if (recorded != state.recorded.end() && recorded->second.size == file.size &&
                       recorded->second.mtimeSeconds == seconds &&
                       present->second.size == file.size &&
                       present->second.mtimeSeconds == seconds) {
                action = fileAction::verified;
            } else {
                // Something is at the name: never replaced, only compared with the card's file.
                action = fileAction::compare;
            }
            archive.actions.push_back(action);
            switch (action) {
            case fileAction::copy:
                ++archive.toCopy;
                read[i] = true;
                break;
            case fileAction::compare:
                ++archive.toCompare;
                read[i] = true;
                break;
            case fileAction::verified:
                ++archive.alreadyVerified;
                break;
            case fileAction::skip:
                break;
            }
        }
        plan.archives.push_back(std::move(archive));
    }
    for (std::size_t i = 0; i < listing.files.size(); ++i) {
        if (read[i]) {
            ++plan.filesToRead;
            plan.bytesToRead += listing.files[i].size;
        }
    }
    return plan;
}
