#pragma once

#include <QWidget>

// The obtaining-address window, shown on top while the station finds its own address.
class TObtainingIPAddress : public QWidget
{
    Q_OBJECT
public:
    explicit TObtainingIPAddress(QWidget *owner = nullptr);
    void showOver(QWidget *over);

protected:
    void paintEvent(QPaintEvent *) override;
};
