#include "app/core/Destination.h"

#include <gtest/gtest.h>

namespace {

using Kind = Destination::Kind;

struct DestinationCase {
    const char* name;
    QString text;
    Kind kitchen; // read for a kitchen ticket
    Kind bill;    // read for a bill
};

void PrintTo(const DestinationCase& c, std::ostream* os) {
    *os << c.name;
}

class Parse : public ::testing::TestWithParam<DestinationCase> {};

TEST_P(Parse, NamesTheKindForTicketsAndBills) {
    const DestinationCase& c = GetParam();
    const Destination kitchen = Destination::parse(c.text, DestinationUse::KitchenTicket);
    const Destination bill = Destination::parse(c.text, DestinationUse::Bill);
    EXPECT_EQ(kitchen.kind, c.kitchen);
    EXPECT_EQ(bill.kind, c.bill);
    // A printer is named by the text untouched.
    EXPECT_EQ(kitchen.printer, c.kitchen == Kind::Printer ? c.text : QString());
    EXPECT_EQ(bill.printer, c.bill == Kind::Printer ? c.text : QString());
    EXPECT_EQ(Destination::namesPort(c.text), c.bill == Kind::Port);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Parse,
    ::testing::Values(
        DestinationCase{"Monitor", "Monitor Cozinha", Kind::KitchenMonitor, Kind::Printer},
        DestinationCase{"MonitorTrimmed", "  Monitor Cozinha ", Kind::KitchenMonitor,
                        Kind::Printer},
        DestinationCase{"Preview", "Visualizar", Kind::Preview, Kind::Preview},
        DestinationCase{"PreviewTrimmed", " Visualizar  ", Kind::Preview, Kind::Preview},
        DestinationCase{"Nowhere", "Nao Imprimir", Kind::Nowhere, Kind::Nowhere},
        DestinationCase{"NowhereTrimmed", "Nao Imprimir ", Kind::Nowhere, Kind::Nowhere},
        DestinationCase{"Port", "Informar Porta", Kind::Port, Kind::Port},
        // Only the exact text names a port; with blanks it is a printer's name.
        DestinationCase{"PortWithALeadingBlankIsAPrinter", " Informar Porta", Kind::Printer,
                        Kind::Printer},
        DestinationCase{"PortWithATrailingBlankIsAPrinter", "Informar Porta ", Kind::Printer,
                        Kind::Printer},
        DestinationCase{"CaseMatters", "visualizar", Kind::Printer, Kind::Printer},
        // Trimming takes every control character too, as the blanks.
        DestinationCase{"TabAndLineEndAreTrimmed", "\tNao Imprimir\r\n", Kind::Nowhere,
                        Kind::Nowhere},
        DestinationCase{"PrinterNameKeepsItsBlanks", " Cozinha ", Kind::Printer, Kind::Printer},
        DestinationCase{"EmptyIsThePrinterOfNoName", "", Kind::Printer, Kind::Printer}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
