#include "app/core/PrintableLine.h"

#include "tests/support/QStringPrinting.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* what;
    QString line;
    QString printed;
};

TEST(PrintableLine, EveryControlCharacterIsABlankAndTheRestStays) {
    const Case cases[] = {
        {"a cash drawer's command", QStringLiteral("FEIJOADA\x1bp0\x19\xfa"),
         QStringLiteral("FEIJOADA p0 \xfa")},
        {"the paper cut", QStringLiteral("\x1dV\x01x"), QStringLiteral(" V x")},
        {"line breaks and a tab", QStringLiteral("sem\r\npimenta\tbem"),
         QStringLiteral("sem  pimenta bem")},
        {"a NUL, a bell, the last of them and DEL",
         QString(QChar(0)) + QStringLiteral("\x07\x1f\x7f"), QStringLiteral("    ")},
        {"a line without any", QStringLiteral("QTD: 2     COD:101 ~ é €"),
         QStringLiteral("QTD: 2     COD:101 ~ é €")},
        {"an empty line", QString(), QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(printableLine(c.line), c.printed) << c.what;
        EXPECT_EQ(printableLine(c.line).size(), c.line.size()) << c.what;
    }
}

} // namespace
