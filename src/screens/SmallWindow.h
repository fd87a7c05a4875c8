#pragma once

#include <QString>
#include <Qt>

class QSize;
class QWidget;

// The window kind of the small windows: frameless, above the others, never focused. On Wayland,
// where a window cannot place itself, they are popups placed by the compositor where the station
// puts them, over the main window and at their own size; elsewhere tool windows.
Qt::WindowFlags smallWindowFlags();

// Sets up the small window `w`: its element name, its title (never shown: it names the window to
// the window system), shown without activation, never focused, at the fixed `size`.
void setUpSmallWindow(QWidget *w, const QString &name, const QString &title, const QSize &size);

// Makes the shown small window `w` transient for the window of `over`: the window system keeps it
// above that window and, where it places windows itself, centres it there.
void keepAboveWindowOf(QWidget *w, QWidget *over);
