#include "platform/widgets/ModalSeam.h"

#include <QApplication>
#include <QDialog>

#include <gtest/gtest.h>

namespace {

// Offscreen, the default backend must not block: the window closes at once.
TEST(ModalSeam, WithoutAScreenAModalWindowClosesAtOnceAndTheSaveDialogIsCancelled) {
    QDialog dialog;
    EXPECT_FALSE(modal::hasScreen());
    EXPECT_EQ(modal::exec(dialog), QDialog::Rejected);
    EXPECT_TRUE(modal::saveFileName(nullptr, "Arquivo Word (*.Doc)|*.DOC").isEmpty());
}

TEST(ModalSeam, ScriptedHandsTheWindowsToTheTestAndRestoresTheDefault) {
    QDialog dialog;
    {
        modal::Scripted scripted;
        scripted.onExec = [&](QDialog& shown) {
            EXPECT_EQ(&shown, &dialog);
            return int(QDialog::Accepted);
        };
        scripted.onSaveFileName = [](const QString&) { return QStringLiteral("/tmp/conta"); };
        EXPECT_TRUE(modal::hasScreen());
        scripted.screen = false;
        EXPECT_FALSE(modal::hasScreen());
        EXPECT_EQ(modal::exec(dialog), QDialog::Accepted);
        EXPECT_EQ(modal::saveFileName(nullptr, "A|*.A"), "/tmp/conta");
        EXPECT_EQ(scripted.execCount(), 1);
        EXPECT_EQ(scripted.saveFilters(), std::vector<QString>{"A|*.A"});
    }
    EXPECT_EQ(modal::exec(dialog), QDialog::Rejected);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
