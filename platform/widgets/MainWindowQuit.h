#pragma once

class QWidget;

// The window library ends the program when its main window closes, and only then. Qt
// quits when its last visible window closes instead: with the main window hidden in the
// notification area, closing any message box or modal window would end the program.
// This makes the closing of the given window, and nothing else, quit the application's
// event loop. Main thread only, with a QApplication alive.
void quitWhenMainWindowCloses(QWidget& mainWindow);
