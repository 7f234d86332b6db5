#pragma once

// Makes SIGINT, SIGTERM and SIGHUP end the application's event loop, so the program
// ends as when its window closes. Firebird's engine installs handlers of its own for
// those signals when a database is attached, which would keep the process running, so
// call it again after attaching. Main thread only, with a QCoreApplication alive.
void quitOnTerminationSignals();
