#include "app/visao/UnitVisao.h"
#include "app/core/BillSetup.h"
#include "app/core/ReportFont.h"

#include "platform/LockedFile.h"
#include "platform/Printers.h"
#include "platform/widgets/MessageSeam.h"
#include "platform/widgets/ModalSeam.h"
#include "tests/app/richtext/RichTextReader.h"
#include "tests/support/PdfQueues.h"
#include "tests/support/ScopedEnvVar.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>

#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A data folder of its own, recorded messages and a fixed list of printers.
class VisaoFixture : public ::testing::Test {
protected:
    VisaoFixture() { installPrinters({"PDF", "Cozinha", "Caixa Bar"}, "PDF"); }
    void installPrinters(QStringList names, QString defaultPrinter) {
        m_printers.reset();
        m_printers.emplace([=] { return printers::InstalledPrinters{names, defaultPrinter}; });
    }
    void writeDataFile(const char* name, const QByteArray& bytes) {
        lockedfile::writeAll(m_data.filePath(name), bytes);
    }
    // setup.INI naming the printer to preselect, its charges and footers filled.
    void writeSetup(const QString& printer) {
        BillSetup{.serviceLabel = "x",
                  .service = "x",
                  .coverPerPerson = "x",
                  .firstFooter = "x",
                  .secondFooter = "x",
                  .previewPrinter = printer,
                  .coverLabel = "x"}
            .write();
    }
    QString dataPath(const char* name) const { return m_data.filePath(name); }

    messages::Recorder recorder;
    modal::Scripted modals;

private:
    QTemporaryDir m_data;
    const testsupport::ScopedEnvVar m_dataFolder{"TOBRASK_BARES_DIR", m_data.path()};
    std::optional<printers::ScopedSource> m_printers;
};

// --- FormCreate -----------------------------------------------------------------------

struct PreselectionCase {
    const char* name;
    std::optional<QString> setupLine12;
    QString selected;
};

class Preselection : public VisaoFixture, public ::testing::WithParamInterface<PreselectionCase> {};

TEST_P(Preselection, SelectsThePrinterOfSetupLine12) {
    const PreselectionCase& c = GetParam();
    if (c.setupLine12)
        writeSetup(*c.setupLine12);
    TFormVisao form;
    ASSERT_EQ(form.ComboBox2->count(), 3);
    EXPECT_EQ(form.ComboBox2->currentText(), c.selected);
    EXPECT_TRUE(recorder.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    SetupIni, Preselection,
    ::testing::Values(PreselectionCase{"NoSetupIni", std::nullopt, "PDF"},
                      PreselectionCase{"Named", QString("Cozinha"), "Cozinha"},
                      PreselectionCase{"TrimmedBeforeComparing", QString("  Caixa Bar "),
                                       "Caixa Bar"},
                      PreselectionCase{"NotInstalled", QString("Balcao"), "PDF"},
                      PreselectionCase{"CaseMatters", QString("cozinha"), "PDF"},
                      PreselectionCase{"Blank", QString("   "), "PDF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VisaoFixture, NoPrinterInstalledSelectsNothing) {
    installPrinters({}, {});
    writeSetup("Cozinha");
    TFormVisao form;
    EXPECT_EQ(form.ComboBox2->count(), 0);
    EXPECT_EQ(form.ComboBox2->currentIndex(), -1);
}

struct FontSizeCase {
    const char* name;
    std::optional<QByteArray> fonte;
    int size;
};

class FontSize : public VisaoFixture, public ::testing::WithParamInterface<FontSizeCase> {};

TEST_P(FontSize, ComesFromFonteIniLine0) {
    const FontSizeCase& c = GetParam();
    writeSetup("Cozinha");
    if (c.fonte)
        writeDataFile("fonte.INI", *c.fonte);
    TFormVisao form;
    EXPECT_EQ(form.impvalto->font().pointSize(), c.size);
    EXPECT_TRUE(form.impvalto->fontInfo().fixedPitch());
}

INSTANTIATE_TEST_SUITE_P(FonteIni, FontSize,
                         ::testing::Values(FontSizeCase{"Missing", std::nullopt, 7},
                                           FontSizeCase{"Nine", QByteArray("9\r\n"), 9},
                                           FontSizeCase{"EmptyLine", QByteArray("\r\n12\r\n"), 7},
                                           FontSizeCase{"NotANumber", QByteArray("grande\r\n"), 7},
                                           FontSizeCase{"Zero", QByteArray("0\r\n"), 7}),
                         [](const auto& info) { return std::string(info.param.name); });

// A settings file held for writing by another program cannot be read: the error box
// shows, the window is made all the same and the later steps are not done.
TEST_F(VisaoFixture, AFailingStepShowsTheErrorBoxAndTheWindowIsStillMade) {
    writeSetup("Cozinha");
    ReportFont{"11"}.write();
    // Another open file description holding the lock, as another program would.
    const int fd = ::open(dataPath("setup.INI").toLocal8Bit().constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    TFormVisao form;
    EXPECT_EQ(recorder.standardErrors().size(), 1u);
    EXPECT_EQ(form.ComboBox2->currentText(), "PDF");
    EXPECT_EQ(form.impvalto->font().pointSize(), 7);
    ::close(fd);
}

// --- Save ------------------------------------------------------------------------------

struct SaveCase {
    const char* name;
    const char* typed;
    const char* written;
};

class Save : public VisaoFixture, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(Save, WritesRichTextUnderTheTypedNameWithDocAppended) {
    const SaveCase& c = GetParam();
    QTemporaryDir out;
    modals.onSaveFileName = [&](const QString&) { return out.filePath(c.typed); };
    ReportFont{"9"}.write();
    TFormVisao form;
    form.impvalto->setPlainText("CONTA Mesa: 000012\nCaipirinha de limão\n\nTotal: 12,50");
    form.SpeedButton3->click();

    ASSERT_EQ(modals.saveFilters(), std::vector<QString>{"Arquivo Word (*.Doc)|*.DOC"});
    EXPECT_TRUE(recorder.shown().empty());
    QFile saved(out.filePath(c.written));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << c.written;
    const testsupport::RichTextRead read = testsupport::readRichText(saved.readAll());
    EXPECT_EQ(read.lines,
              (QStringList{"CONTA Mesa: 000012", "Caipirinha de limão", "", "Total: 12,50"}));
    EXPECT_EQ(read.fontFamily, "Lucida Console");
    EXPECT_EQ(read.halfPoints, 18);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), QStringList{c.written});
}

INSTANTIATE_TEST_SUITE_P(TypedNames, Save,
                         ::testing::Values(SaveCase{"WithoutSuffix", "conta", "conta.doc"},
                                           SaveCase{"WithSuffix", "conta.doc", "conta.doc.doc"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VisaoFixture, SavingReplacesAnExistingFileAndCancellingWritesNothing) {
    QTemporaryDir out;
    lockedfile::writeAll(out.filePath("conta.doc"), QByteArray(5000, 'x'));
    TFormVisao form;
    form.impvalto->setPlainText("nova");
    form.SpeedButton3Click(); // cancelled: no name
    EXPECT_EQ(QFileInfo(out.filePath("conta.doc")).size(), 5000);
    modals.onSaveFileName = [&](const QString&) { return out.filePath("conta"); };
    form.SpeedButton3Click();
    QFile saved(out.filePath("conta.doc"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(testsupport::readRichText(saved.readAll()).lines, QStringList{"nova"});
}

TEST_F(VisaoFixture, ASaveThatFailsShowsTheErrorBoxAndTheWindowStays) {
    QTemporaryDir out;
    modals.onSaveFileName = [&](const QString&) { return out.filePath("sem/pasta/conta"); };
    TFormVisao form;
    form.impvalto->setPlainText("texto");
    form.show();
    form.SpeedButton3->click();
    ASSERT_EQ(recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(recorder.standardErrors()[0].text.contains("sem/pasta/conta.doc"));
    EXPECT_TRUE(form.isVisible());
}

// --- Print and close --------------------------------------------------------------------

TEST_F(VisaoFixture, PrintsOnTheChosenPrinter) {
    CUVORA_REQUIRE_CUPS_SERVER();
    const printers::ScopedSource cups({}); // the private cupsd's queues
    TFormVisao form;
    form.ComboBox2->setCurrentIndex(form.ComboBox2->findText("Cozinha"));
    form.impvalto->setPlainText("PREVIA\n\n1 x CAFE");
    testsupport::PdfQueueWatch watch("Cozinha");
    form.SpeedButton2->click();
    EXPECT_TRUE(recorder.shown().empty());
    const QString pdf = watch.waitForNewPdf();
    ASSERT_FALSE(pdf.isEmpty()) << "no PDF arrived";
    EXPECT_EQ(testsupport::inkBands(testsupport::renderFirstPage(pdf)).size(), 2u);
    EXPECT_EQ(testsupport::pdfPages(pdf), (QList<QStringList>{{"PREVIA", "", "1 x CAFE"}}));
}

TEST_F(VisaoFixture, PrintingWithNoPrinterShowsTheErrorBoxAndTheWindowStays) {
    installPrinters({}, {});
    TFormVisao form;
    form.show();
    form.SpeedButton2->click();
    EXPECT_EQ(recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(VisaoFixture, TheCloseButtonEndsTheModalShow) {
    TFormVisao form;
    int result = -1;
    modals.onExec = [&](QDialog& dialog) {
        static_cast<TFormVisao&>(dialog).SpeedButton4->click();
        result = dialog.result();
        return dialog.result();
    };
    EXPECT_EQ(modal::exec(form), QDialog::Accepted);
    EXPECT_EQ(result, QDialog::Accepted);
}

TEST_F(VisaoFixture, Layout) {
    TFormVisao form;
    EXPECT_EQ(form.size(), QSize(1000, 600));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.findChild<QLabel*>("Label33")->text(), "Visualizador Relatório ");
    EXPECT_TRUE(form.impvalto->isReadOnly());
    EXPECT_EQ(form.impvalto->palette().color(QPalette::Base), QColor(211, 211, 214));
    EXPECT_TRUE(form.ComboBox2->isEditable());
    EXPECT_EQ(form.ComboBox2->geometry().topLeft(), QPoint(5, 8));
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
