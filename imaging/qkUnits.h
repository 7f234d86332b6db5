#pragma once

// Start-up and shut-down of the imaging library's units, in their fixed order. The program's
// entry calls qkInitializeUnits first thing and qkFinalizeUnits last thing, on the main
// thread. A unit whose start-up raises stops the units already started (newest first) and
// the exception passes on; a shut-down that raises passes on too, and a later
// qkFinalizeUnits stops only the units still started.

void qkInitializeUnits();
void qkFinalizeUnits();
// How many units are started.
int qkStartedUnitCount();
