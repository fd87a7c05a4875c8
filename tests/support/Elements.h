#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <QtGlobal>

// The element of `window` named `name` (its objectName), of type T: how the tests and the
// benchmarks reach the station's elements. A missing one ends the run at once, naming it.
template<class T>
T *element(const QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no element \"%s\" of that type in %s", name, qPrintable(window.objectName()));
    return found;
}
