#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <Qt>

class QLabel;
class QWidget;

// What the pages build their elements with: the design's colours and font, the label every
// page uses, and a placing by the design's coordinates.
namespace design {
inline const QColor kBlue(0, 0, 255);
inline const QColor kGrey(128, 128, 128);
inline const QColor kNavy(0, 0, 128);
inline const QColor kRed(255, 0, 0);
inline const QColor kSilver(192, 192, 192);

// The design's Verdana at `px` pixels.
QFont verdana(int px, bool bold = true);
void place(QWidget *w, int left, int top, int width, int height);
} // namespace design

// A label of plain text (texts from the network are never rich text), named `name`, in `ink`
// on `background` (none when invalid).
QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QFont &font,
                  const QColor &ink, const QColor &background, Qt::Alignment align);
