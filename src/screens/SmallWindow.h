#pragma once

#include <Qt>

class QWidget;

// The window kind of the small windows: frameless, above the others, never focused. On Wayland,
// where a window cannot place itself, they are popups placed by the compositor where the station
// puts them, over the main window and at their own size; elsewhere tool windows.
Qt::WindowFlags smallWindowFlags();

// Makes the shown small window `w` transient for the window of `over`: the window system keeps it
// above that window and, where it places windows itself, centres it there.
void keepAboveWindowOf(QWidget *w, QWidget *over);
