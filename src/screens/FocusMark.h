#pragma once

#include <QPointer>
#include <QWidget>

// The frame drawn around the focused button once the focus has been moved with the keyboard;
// a touch or a click takes it away. It lies on top of the button and lets every press through.
class FocusMark : public QWidget
{
    Q_OBJECT
public:
    FocusMark();

    // Puts the mark on `target` (or takes it away, for nullptr).
    void markWidget(QWidget *target);

protected:
    void paintEvent(QPaintEvent *) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> target_;
};
