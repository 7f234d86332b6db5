#pragma once

#include "platform/ScopedSeam.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Every message box and the standard error box go through here, so that tests see what
// would have been shown without blocking. The default backend shows modal Qt message
// boxes; on a platform without a screen (offscreen, minimal) it returns as if OK had been
// pressed, after writing the message to standard error when no transcript keeps it. Main
// thread only.
namespace messages {

enum class Kind {
    Message,       // ShowMessage: the application title as caption, an OK button
    Box,           // a message box with its own caption and icon, an OK button
    StandardError, // the window library's box for an error that left a handler
};

enum class Icon { None, Information, Warning, Error };

struct Shown {
    Kind kind;
    QString caption;
    QString text;
    Icon icon;
};

class Backend {
public:
    virtual ~Backend() = default;
    // Returns once the message has been dismissed.
    virtual void show(const Shown& message) = 0;
};

// Every message is also handed here before it is shown, whatever the backend (the program
// keeps a transcript in its log). An empty function hands nothing. Returns the transcript it
// replaces.
using Transcript = std::function<void(const Shown& message)>;
Transcript setTranscript(Transcript transcript);
// The transcript for as long as it lives.
using ScopedTranscript = ScopedSeam<Transcript, &setTranscript>;

void showMessage(const QString& text);
void messageBox(const QString& text, const QString& caption, Icon icon);
void showStandardError(const QString& message);

// Installs a backend that records every message and returns at once, for as long as it
// lives; the previous backend is restored afterwards.
class Recorder : public Backend {
public:
    Recorder();
    ~Recorder() override;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void show(const Shown& message) override;
    const std::vector<Shown>& shown() const { return m_shown; }
    std::vector<Shown> standardErrors() const;
    void clear() { m_shown.clear(); }

private:
    Backend* m_previous;
    std::vector<Shown> m_shown;
};

} // namespace messages
