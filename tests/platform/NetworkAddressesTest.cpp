#include "platform/NetworkAddresses.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

namespace {

TEST(NetworkAddresses, SystemListHoldsOnlyNonLoopbackIPv4) {
    for (const QString& text : networkaddresses::localIPv4Addresses()) {
        in_addr address{};
        ASSERT_EQ(::inet_pton(AF_INET, text.toLatin1().constData(), &address), 1)
            << text.toStdString();
        EXPECT_FALSE(text.startsWith(QStringLiteral("127."))) << text.toStdString();
    }
}

TEST(NetworkAddresses, TestsCanReplaceTheSource) {
    const networkaddresses::ScopedSource source([] {
        return QStringList{"10.0.0.2", "192.168.1.7"};
    });
    EXPECT_EQ(networkaddresses::localIPv4Addresses(), (QStringList{"10.0.0.2", "192.168.1.7"}));
}

} // namespace
