#include "platform/widgets/MessageSeam.h"
#include "platform/threading/Timer.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/HandlerGuard.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

TEST(MessageSeam, RecorderSeesEveryKindWithItsCaption) {
    setApplicationTitle(QStringLiteral("Interface Cuvora 22 plus"));
    messages::Recorder recorder;
    messages::showMessage(QStringLiteral(" Erro ao Conectar servidor..."));
    messages::messageBox(QStringLiteral("Você não pode executar outra cópia do aplicativo."),
                         QStringLiteral("Informação do Sistema"), messages::Icon::Information);
    messages::showStandardError(QStringLiteral("boom"));

    ASSERT_EQ(recorder.shown().size(), 3u);
    EXPECT_EQ(recorder.shown()[0].kind, messages::Kind::Message);
    EXPECT_EQ(recorder.shown()[0].caption, QStringLiteral("Interface Cuvora 22 plus"));
    EXPECT_EQ(recorder.shown()[1].caption, QStringLiteral("Informação do Sistema"));
    EXPECT_EQ(recorder.shown()[1].icon, messages::Icon::Information);
    ASSERT_EQ(recorder.standardErrors().size(), 1u);
    EXPECT_EQ(recorder.standardErrors()[0].text, QStringLiteral("boom"));
    EXPECT_EQ(recorder.standardErrors()[0].icon, messages::Icon::Error);
}

TEST(MessageSeam, RecordersNestAndRestore) {
    messages::Recorder outer;
    {
        messages::Recorder inner;
        messages::showMessage(QStringLiteral("inner"));
        EXPECT_EQ(inner.shown().size(), 1u);
    }
    messages::showMessage(QStringLiteral("outer"));
    ASSERT_EQ(outer.shown().size(), 1u);
    EXPECT_EQ(outer.shown()[0].text, QStringLiteral("outer"));
}

TEST(HandlerGuard, AnErrorLeavingAHandlerEndsInTheStandardErrorBox) {
    messages::Recorder recorder;
    bool after = false;
    handlerguard::run([&] {
        throw std::runtime_error("Não há conexão");
        after = true;
    });
    handlerguard::run([] { throw 42; });
    handlerguard::run([&] { after = true; });
    EXPECT_TRUE(after);
    ASSERT_EQ(recorder.standardErrors().size(), 2u);
    EXPECT_EQ(recorder.standardErrors()[0].text, QStringLiteral("Não há conexão"));
}

// As the program hands the timers' errors to the guard: they reach the box and, through the
// transcript, the log.
TEST(HandlerGuard, AnErrorLeavingATimerTickEndsInTheStandardErrorBoxAndTheTranscript) {
    messages::Recorder recorder;
    std::vector<messages::Shown> transcript;
    const messages::ScopedTranscript kept(
        [&transcript](const messages::Shown& message) { transcript.push_back(message); });
    const threading::ScopedTickErrorReport report(handlerguard::showException);
    threading::Timer timer;
    timer.SetInterval(5);
    int ticks = 0;
    timer.OnTimer = [&ticks] {
        if (++ticks == 1)
            throw std::runtime_error("Não há conexão");
        QCoreApplication::quit();
        throw 42;
    };
    timer.SetEnabled(true);
    QTimer::singleShot(10000, QCoreApplication::instance(), [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    timer.SetEnabled(false);

    ASSERT_EQ(recorder.standardErrors().size(), 2u);
    EXPECT_EQ(recorder.standardErrors()[0].text, QStringLiteral("Não há conexão"));
    EXPECT_EQ(recorder.standardErrors()[1].text, QStringLiteral("Unknown error"));
    ASSERT_EQ(transcript.size(), 2u);
    EXPECT_EQ(transcript[0].kind, messages::Kind::StandardError);
    EXPECT_EQ(transcript[0].text, QStringLiteral("Não há conexão"));
}

TEST(MessageSeam, WithoutAScreenTheDefaultBackendReturnsAtOnce) {
    // offscreen: this would block forever on a modal box otherwise.
    ::testing::internal::CaptureStderr();
    messages::showStandardError(QStringLiteral("shown on standard error"));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("shown on standard error"),
              std::string::npos);

    // With a transcript, the transcript's copy is the only one.
    std::vector<messages::Shown> kept;
    const messages::ScopedTranscript keep(
        [&kept](const messages::Shown& message) { kept.push_back(message); });
    ::testing::internal::CaptureStderr();
    messages::showStandardError(QStringLiteral("kept by the transcript"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].text, QStringLiteral("kept by the transcript"));
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
