#pragma once

#include "station/Settings.h"

class TMainForm;

// The settings the close writes, as the main window shows them now: its geometry, the text of
// the selected server address entry and the selected function index.
StationSettings CurrentSettings(const TMainForm &form);

// The close of the station, in its order: the battery timer stopped, the screen left to its
// own saver and power settings again, the settings written, the disconnect action (when
// linked: "CS" "Off", the empty "IP", the link closed). It runs once; a second call does
// nothing. The Close button's path and every shutdown share it.
void CloseStation(TMainForm &form);
// The same with the settings given (a shutdown whose display is gone writes the values it
// kept).
void CloseStation(TMainForm &form, const StationSettings &settings);

// Closes every open modal box unanswered, innermost first.
void CloseModalBoxes();

// The close without the confirmation question, for a shutdown that nobody is there to answer
// (a signal, the end of the session): the open modal boxes are closed unanswered, the close
// runs, and the event loop is told to end with status 0.
void ShutDownStation(TMainForm &form);
