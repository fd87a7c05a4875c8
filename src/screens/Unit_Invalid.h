#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

// The lost-connection window: on top of everything for two seconds, then it closes itself.
// Each time it is shown its count starts afresh, also when a new loss shows it while it is
// still up. It never takes input.
class TInvalidElements : public QWidget
{
    Q_OBJECT
public:
    explicit TInvalidElements(QWidget *owner = nullptr);

    static constexpr int kShownMs = 2000;

    // Shows the window centred over `over` (if given).
    void showOver(QWidget *over);

    QLabel *CountLabel;
    QTimer *Timer1;

protected:
    void showEvent(QShowEvent *) override;
    void paintEvent(QPaintEvent *) override;
};
