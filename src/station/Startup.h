#pragma once

class TMainForm;

// The station's start-up, in the steps of its main window's life.

// Once its elements are built: the version, the counters, the connections grid's headings
// and rows, the first function, the list of panel-score displays.
void StationCreationSteps(TMainForm &form);
// When it is first shown: the caption, the identifier tables, the settings read, the window
// fitted to the screen, and the deferred start-up timer started.
void StationShowSteps(TMainForm &form);
// The deferred start-up, 100 ms after showing: the orientation, the station's identity, the
// obtaining-address window while the host's name and address and the server address list
// are found, then the opening page and the battery meter.
void Timer1Timer(TMainForm &form);
