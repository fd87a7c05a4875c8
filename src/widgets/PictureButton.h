#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QStringList>

// A large touch button: silver, lime while a mouse pointer is over it, a caption of one or
// more lines above an optional picture. A finger or a pen never lights it: a press, an enter or
// a hover that comes from touch or a pen leaves it silver. A disabled button refuses pointer
// and touch presses; actions pressed by the keyboard or by other operations call the handler
// directly.
class PictureButton : public QAbstractButton
{
    Q_OBJECT
public:
    enum Picture { NoPicture, Arrow, Check, Cross, House, Power, Refresh, Door };

    PictureButton(QWidget *parent, const QString &name, const QString &caption,
                  Picture picture = NoPicture);

    void setTag(int tag) { tag_ = tag; }
    int tag() const { return tag_; }
    void setPicture(Picture p);
    void setBaseColor(const QColor &c) { base_ = c; update(); }
    // Caption lines, split at CR LF / LF.
    QStringList captionLines() const;
    bool hovered() const { return hover_; }

    // Whether the application's last pointer input came from a touch screen or a pen.
    static bool lastInputWasTouch();

protected:
    bool event(QEvent *) override;
    void paintEvent(QPaintEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;

private:
    void setHover(bool on);

    int tag_ = 0;
    Picture picture_ = NoPicture;
    QColor base_ = QColor(192, 192, 192);
    bool hover_ = false;
};

// Draws one of the button pictures into `r` (used by buttons and the small windows).
void drawButtonPicture(QPainter &p, const QRect &r, PictureButton::Picture picture, const QColor &ink);
