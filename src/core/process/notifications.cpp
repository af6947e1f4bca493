#include "process/notifications.h"

#include <algorithm>

notificationCenter &notificationCenter::defaultCenter() {
    static notificationCenter center;
    return center;
}

void notificationCenter::addObserver(const void *observer, const QString &name, const void *sender,
                                     handler callback) {
    if (observer == nullptr || !callback) {
        return;
    }
    entries_.push_back({nextId_++, observer, name, sender, std::move(callback)});
}

void notificationCenter::removeObserver(const void *observer) {
    std::erase_if(entries_, [observer](const entry &e) { return e.observer == observer; });
}

void notificationCenter::removeObserver(const void *observer, const QString &name,
                                        const void *sender) {
    std::erase_if(entries_, [&](const entry &e) {
        return e.observer == observer && e.name == name && e.sender == sender;
    });
}

bool notificationCenter::isRegistered(std::uint64_t id) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [id](const entry &e) { return e.id == id; });
}

void notificationCenter::postNotification(const QString &name, const void *sender,
                                          const QVariantMap &userInfo) {
    const notification note{name, sender, userInfo};
    // Work on a snapshot: a callback may add or remove registrations, or destroy its observer.
    std::vector<std::pair<std::uint64_t, handler>> matching;
    for (const entry &e : entries_) {
        if ((e.name.isEmpty() || e.name == name) && (e.sender == nullptr || e.sender == sender)) {
            matching.emplace_back(e.id, e.callback);
        }
    }
    for (const auto &[id, callback] : matching) {
        if (isRegistered(id)) {
            callback(note);
        }
    }
}
