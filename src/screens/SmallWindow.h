#pragma once

class QWidget;

// Makes the small window `w` transient for the window of `over`: the window system keeps it
// above that window and, where it places windows itself, centres it there.
void keepAboveWindowOf(QWidget *w, QWidget *over);
