#include "platform/widgets/MainWindowQuit.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace {

// With the main window hidden in the notification area, a box or a modal window opens and is
// closed: the event loop goes on (the program keeps polling) until the main window closes.
struct BoxCase {
    const char* name;
    std::function<std::unique_ptr<QDialog>()> make;
};

void PrintTo(const BoxCase& c, std::ostream* out) {
    *out << c.name;
}

class MainWindowQuit : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MainWindowQuit, OnlyTheMainWindowsClosingEndsTheLoop) {
    QWidget window;
    quitWhenMainWindowCloses(window);
    window.show();
    window.hide(); // as "Minimizar" hides it with a notification area

    bool boxClosed = false;
    bool loopAfterTheBox = false;
    bool windowClosed = false;
    bool timedOut = false;
    QTimer::singleShot(0, [&] {
        const std::unique_ptr<QDialog> box = GetParam().make();
        QTimer::singleShot(50, box.get(), &QDialog::accept);
        box->exec();
        boxClosed = true;
    });
    QTimer::singleShot(500, [&] {
        loopAfterTheBox = true;
        window.show();
        window.close();
        windowClosed = true;
    });
    QTimer::singleShot(10000, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();

    EXPECT_TRUE(boxClosed);
    EXPECT_TRUE(loopAfterTheBox) << "the loop ended when the box closed";
    EXPECT_TRUE(windowClosed);
    EXPECT_FALSE(timedOut) << "closing the main window did not end the loop";
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, MainWindowQuit,
    ::testing::Values(BoxCase{"MessageBox",
                              [] {
                                  return std::make_unique<QMessageBox>(
                                      QMessageBox::Critical, QStringLiteral("Interface Cuvora"),
                                      QStringLiteral("erro"), QMessageBox::Ok);
                              }},
                      BoxCase{"ModalWindow", [] { return std::make_unique<QDialog>(); }}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
