#pragma once

#include <QLabel>
#include <QList>
#include <QWidget>

// The main window's status bar panels, from the left, by what they show.
namespace StatusPanel {
constexpr int Version = 0;       // "   Version ..."
constexpr int Caption = 1;       // the program's caption
constexpr int Link = 2;          // "Link lost" while the scoring page has no link
constexpr int Address = 3;       // this computer's IP address
constexpr int ComputerName = 4;  // this computer's name
constexpr int RetryCount = 5;    // "Retry Count: ..." of the automatic reconnect
} // namespace StatusPanel

// The main window's status bar: panels of fixed widths, the last one taking what is left.
class StatusBar : public QWidget
{
    Q_OBJECT
public:
    struct PanelSpec {
        int width;
        Qt::Alignment alignment;
        QString text;
    };
    StatusBar(QWidget *parent, const QString &name, const QList<PanelSpec> &panels);

    int panelCount() const { return int(labels_.size()); }
    QString panelText(int i) const;
    void setPanelText(int i, const QString &text);
    QLabel *panel(int i) const { return labels_.value(i); }

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void paintEvent(QPaintEvent *) override;

private:
    QList<QLabel *> labels_;
    QList<int> widths_;
};
