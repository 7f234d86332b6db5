#pragma once

#include <QString>

// A line of a ticket or a bill as every destination gets it: each control character (codes
// below 32, and 127) a blank, so that a text from the databases cannot reach a printer's
// port as a command (ESC p opens a cash drawer) or break the line. The line keeps its width.
QString printableLine(const QString& line);
