// A process-wide notification centre: named events posted by one part of the application and
// delivered, synchronously and in registration order, to every observer registered for that name
// and sender. Used for the broadcast control of running tools ("fabKillTasks", "fabPauseTasks",
// "fabResumeTasks") and by any module that needs loose, one-to-many signalling.
//
// Main thread only: the centre keeps no lock. Observers may add or remove observers (themselves
// included) and may even be destroyed from inside a delivery; an observer removed during a
// delivery is not called afterwards.
#pragma once

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <vector>

/// One posted event: its name, the sender it was posted with (compared by identity, may be
/// null) and optional details.
struct notification {
    QString name;
    const void *sender = nullptr;
    QVariantMap userInfo;
};

class notificationCenter {
public:
    using handler = std::function<void(const notification &)>;

    /// The one centre of the process.
    static notificationCenter &defaultCenter();

    /// Registers `callback` for events of `name` (the empty name: every name) posted with
    /// `sender` (null: any sender). `observer` is only a key for removal; it is never
    /// dereferenced. A null observer or callback registers nothing.
    void addObserver(const void *observer, const QString &name, const void *sender,
                     handler callback);

    /// Removes every registration of `observer`.
    void removeObserver(const void *observer);
    /// Removes the registrations of `observer` for exactly that name and sender.
    void removeObserver(const void *observer, const QString &name, const void *sender);

    /// Delivers the event to each matching observer, in registration order.
    void postNotification(const QString &name, const void *sender = nullptr,
                          const QVariantMap &userInfo = {});

    /// Number of registrations held (for diagnostics and tests).
    std::size_t observerCount() const { return entries_.size(); }

private:
    struct entry {
        std::uint64_t id;
        const void *observer;
        QString name;
        const void *sender;
        handler callback;
    };
    bool isRegistered(std::uint64_t id) const;

    std::vector<entry> entries_;
    std::uint64_t nextId_ = 1;
};
