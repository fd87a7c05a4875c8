#pragma once

#include <QDialog>
#include <QRect>
#include <QSize>
#include <QString>

class QAbstractButton;
class QTextEdit;

// The station's modal boxes: the judge's messages, error boxes, "Could not connect" and the
// close question. Titled with the application title, plain text only. A box never grows past
// the screen's available area: a long text scrolls inside it, and its buttons, large enough for
// a finger, always stay on the screen. It is centred on the window it belongs to.
class TStationBox : public QDialog
{
    Q_OBJECT
public:
    enum Kind { Plain, Error, Question };

    TStationBox(Kind kind, const QString &text, QWidget *owner);

    // The button that closes the box with OK (the default button) and, for a question, Cancel.
    QAbstractButton *okButton() const { return ok_; }
    QAbstractButton *cancelButton() const { return cancel_; }
    QTextEdit *textArea() const { return text_; }

    // Shows the box modally; true when it was closed with OK.
    static bool ask(Kind kind, const QString &text, QWidget *owner);

    // The smallest size of a button, at design size.
    static constexpr int kButtonWidth = 80;
    static constexpr int kButtonHeight = 40;

private:
    void fitToArea();

    QTextEdit *text_ = nullptr;
    QAbstractButton *ok_ = nullptr;
    QAbstractButton *cancel_ = nullptr;
};

namespace stationbox {

// Where a box of the given size goes: centred on `over`, then moved (and, if it is larger,
// shrunk) into `area`, the screen's available area.
QRect placeBox(QSize box, const QRect &over, const QRect &area);

} // namespace stationbox
