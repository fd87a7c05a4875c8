#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

// The lost-connection window: on top of everything for two seconds, then it closes itself.
// Each time it goes from hidden to shown its count starts afresh; showing it while it is
// up changes nothing. It never takes input.
class TInvalidElements : public QWidget
{
    Q_OBJECT
public:
    explicit TInvalidElements(QWidget *owner = nullptr);

    // Shows the window centred over `over` (if given).
    void showOver(QWidget *over);

    QLabel *CountLabel;
    QTimer *Timer1;

protected:
    void showEvent(QShowEvent *) override;
    void paintEvent(QPaintEvent *) override;
};
