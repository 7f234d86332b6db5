#include "platform/Printers.h"

#include "tests/support/ScopedEnvVar.h"

#include <gtest/gtest.h>

namespace {

TEST(Printers, TestsCanReplaceTheSource) {
    const printers::ScopedSource source([] {
        return printers::InstalledPrinters{{"Cozinha", "Caixa"}, "Caixa"};
    });
    const printers::InstalledPrinters list = printers::installed();
    EXPECT_EQ(list.names, (QStringList{"Cozinha", "Caixa"}));
    EXPECT_EQ(list.defaultPrinter, QStringLiteral("Caixa"));
}

TEST(Printers, AnUnreachableCupsHasNoPrinters) {
    const testsupport::ScopedEnvVar unreachable("CUPS_SERVER", "127.0.0.1:1");
    const printers::InstalledPrinters list = printers::installed();
    EXPECT_TRUE(list.names.isEmpty());
    EXPECT_TRUE(list.defaultPrinter.isEmpty());
}

} // namespace
