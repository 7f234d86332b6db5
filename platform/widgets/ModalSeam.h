#pragma once

#include <QString>

#include <functional>
#include <vector>

class QDialog;
class QWidget;

// Modal windows and the save dialog go through here, so that tests run headless and
// drive them without blocking. The default backend runs them with Qt; on a platform
// without a screen (offscreen, minimal) a modal window is closed at once (Rejected) and
// the save dialog is cancelled. Main thread only.
namespace modal {

class Backend {
public:
    virtual ~Backend() = default;
    virtual int exec(QDialog& dialog) = 0;
    // Whether a modal window can be shown to someone at all.
    virtual bool hasScreen() const = 0;
    // The file name chosen, or empty text when cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& filter) = 0;
};

// Shows the dialog modally; returns its result once it is closed.
int exec(QDialog& dialog);
// False where nobody can see a modal window (offscreen, minimal): exec closes it at once.
bool hasScreen();
// The window library's save dialog; the filter is in its form, pairs of a description
// and a mask separated by "|" ("Arquivo Word (*.Doc)|*.DOC").
QString saveFileName(QWidget* parent, const QString& filter);

// Installs a backend that hands each modal window and each save dialog to the test's
// functions, for as long as it lives; the previous backend is restored afterwards.
// Without a function a window is closed at once and a save dialog cancelled.
class Scripted : public Backend {
public:
    Scripted();
    ~Scripted() override;
    Scripted(const Scripted&) = delete;
    Scripted& operator=(const Scripted&) = delete;

    int exec(QDialog& dialog) override;
    bool hasScreen() const override { return screen; }
    QString saveFileName(QWidget* parent, const QString& filter) override;

    bool screen = true;
    std::function<int(QDialog&)> onExec;
    std::function<QString(const QString& filter)> onSaveFileName;

    int execCount() const { return m_execCount; }
    const std::vector<QString>& saveFilters() const { return m_saveFilters; }

private:
    Backend* m_previous;
    int m_execCount = 0;
    std::vector<QString> m_saveFilters;
};

} // namespace modal
