#include "platform/widgets/MainWindowQuit.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

class QuitOnClose : public QObject {
public:
    explicit QuitOnClose(QWidget& window) : QObject(&window), m_window(&window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::Close) {
            // Whether the close was accepted shows once the event is done: the window is
            // hidden then. Hiding it in the notification area sends no close event.
            QTimer::singleShot(0, this, [this] {
                if (m_window && !m_window->isVisible())
                    QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    QPointer<QWidget> m_window;
};

} // namespace

void quitWhenMainWindowCloses(QWidget& mainWindow) {
    QApplication::setQuitOnLastWindowClosed(false);
    mainWindow.installEventFilter(new QuitOnClose(mainWindow));
}
