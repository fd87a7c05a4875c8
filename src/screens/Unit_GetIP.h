#pragma once

#include <QEventLoop>
#include <QWidget>

// The obtaining-address window, shown on top while the station finds its own address. It keeps
// its size whatever the window system asks, stands above the main window, centred on it (where the
// window system places windows itself, as a window transient for it), and never takes the focus.
class TObtainingIPAddress : public QWidget
{
    Q_OBJECT
public:
    explicit TObtainingIPAddress(QWidget *owner = nullptr);
    void showOver(QWidget *over);
    // Runs the window messages until the window system has exposed the window and it has been
    // painted and presented, at most `boundMs`. True when it was seen in time.
    bool waitUntilPainted(int boundMs);

protected:
    void paintEvent(QPaintEvent *) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool paintedExposed_ = false;
    bool presented_ = false;
    QEventLoop *waiting_ = nullptr;
};
