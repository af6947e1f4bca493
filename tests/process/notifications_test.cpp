#include "process/notifications.h"

#include <gtest/gtest.h>

#include <memory>

TEST(NotificationCenter, FiltersByNameAndSenderIdentity) {
    notificationCenter center;
    const int a = 7;
    const int b = 7; // same value, another object: must not match a filter on `a`
    int observer = 0;
    QStringList seen;
    center.addObserver(&observer, QStringLiteral("ping"), &a,
                       [&](const notification &n) { seen << "a:" + n.name; });
    center.addObserver(&observer, QStringLiteral("ping"), nullptr,
                       [&](const notification &n) { seen << "any:" + n.name; });
    center.addObserver(&observer, QString(), &b,
                       [&](const notification &n) { seen << "b:" + n.name; });

    center.postNotification(QStringLiteral("ping"), &a);
    center.postNotification(QStringLiteral("ping"), &b);
    center.postNotification(QStringLiteral("pong"), &b);
    center.postNotification(QStringLiteral("pong"));
    EXPECT_EQ(seen, QStringList({"a:ping", "any:ping", "any:ping", "b:ping", "b:pong"}));

    center.removeObserver(&observer, QStringLiteral("ping"), nullptr);
    seen.clear();
    center.postNotification(QStringLiteral("ping"), &a);
    EXPECT_EQ(seen, QStringList({"a:ping"}));
    center.removeObserver(&observer);
    EXPECT_EQ(center.observerCount(), 0u);
}

// An observer that removes (or destroys) another one during a delivery: the removed one is not
// called any more, and nothing dangles.
TEST(NotificationCenter, RemovalDuringDeliveryIsHonoured) {
    notificationCenter center;
    int first = 0;
    auto second = std::make_unique<int>(0);
    int calls = 0;
    center.addObserver(&first, QStringLiteral("x"), nullptr, [&](const notification &) {
        ++calls;
        center.removeObserver(second.get());
        second.reset();
    });
    center.addObserver(second.get(), QStringLiteral("x"), nullptr,
                       [&](const notification &) { ++calls; });
    center.postNotification(QStringLiteral("x"));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount(), 1u);
}
