#pragma once

#include <QString>

// The window library's application title: the caption of message boxes and the error
// box. Kept apart from Qt's display name, which Qt would append to every window caption.
// Main thread only.
QString applicationTitle();
void setApplicationTitle(const QString& title);
