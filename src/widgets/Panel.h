#pragma once

#include <QColor>
#include <QWidget>

// A plain container: an optional background colour or gradient and an optional frame.
// The frame only paints; the docking margins are given to the DockLayout separately.
class Panel : public QWidget
{
    Q_OBJECT
public:
    enum Frame { NoFrame, Edge2, LoweredBevel3x2, MainFrame5 };

    explicit Panel(QWidget *parent = nullptr, const QString &name = QString());

    // Background colour; an invalid colour leaves the panel transparent.
    void setColor(const QColor &c);
    QColor color() const { return color_; }

    // A gradient from `from` to `to` in `steps` bands, top to bottom (vertical) or left to right.
    void setGradient(const QColor &from, const QColor &to, int steps, bool vertical = true);
    void setFrame(Frame f);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QColor color_;
    QColor from_, to_;
    int steps_ = 0;
    bool vertical_ = true;
    Frame frame_ = NoFrame;
};
