#pragma once

#include <QFont>
#include <QString>

// Fonts by pixel size, as the screens are designed (type sizes are character heights
// in pixels at 96 pixels per inch). "Verdana" and "Courier" fall back to DejaVu where missing.
QFont designFont(const QString &family, int pixels, bool bold);
// Points at 96 pixels per inch, whatever the screen: 22 points are 29 pixels.
int pointsToPixels(int points);
// Registers the font substitutions once per process.
void installFontSubstitutions();
