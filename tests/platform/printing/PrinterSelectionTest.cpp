#include "platform/printing/PrinterSelection.h"

#include "platform/Printers.h"
#include "platform/printing/PrintingErrors.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

class PrinterSelection : public ::testing::Test {
protected:
    void install(QStringList names, QString defaultPrinter) {
        m_printers.reset();
        m_printers.emplace([=] { return printers::InstalledPrinters{names, defaultPrinter}; });
    }

private:
    std::optional<printers::ScopedSource> m_printers;
};

TEST_F(PrinterSelection, FindsWholeNamesWithoutRegardToCase) {
    const QStringList names{"Caixa", "Cozinha", "Cozinha Bar"};
    EXPECT_EQ(printing::indexOfPrinter(names, "cozinha"), 1);
    EXPECT_EQ(printing::indexOfPrinter(names, "COZINHA BAR"), 2);
    EXPECT_EQ(printing::indexOfPrinter(names, "Cozinha "), -1);
    EXPECT_EQ(printing::indexOfPrinter(names, "Coz"), -1);
    EXPECT_EQ(printing::indexOfPrinter(names, ""), -1);
}

TEST_F(PrinterSelection, PlaceOrDefault) {
    install({"Caixa", "Cozinha"}, "Cozinha");
    EXPECT_EQ(printing::printerAt(0), "Caixa");
    EXPECT_EQ(printing::printerAt(-1), "Cozinha");
    EXPECT_THROW(printing::printerAt(2), printing::PrinterError);
}

TEST_F(PrinterSelection, NoPrinterOrNoDefaultIsAnError) {
    install({}, {});
    EXPECT_THROW(printing::printerAt(-1), printing::PrinterError);
    EXPECT_THROW(printing::printerAt(0), printing::PrinterError);
    install({"Caixa"}, {});
    EXPECT_THROW(printing::printerAt(-1), printing::PrinterError);
    EXPECT_EQ(printing::printerAt(0), "Caixa");
}

} // namespace
