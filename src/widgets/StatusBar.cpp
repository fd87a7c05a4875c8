#include "widgets/StatusBar.h"

#include <QPainter>

StatusBar::StatusBar(QWidget *parent, const QString &name, const QList<PanelSpec> &panels) : QWidget(parent)
{
    setObjectName(name);
    for (int i = 0; i < panels.size(); ++i) {
        auto *l = new QLabel(panels[i].text, this);
        l->setObjectName(QStringLiteral("%1Panel%2").arg(name).arg(i));
        l->setTextFormat(Qt::PlainText);
        l->setAlignment(panels[i].alignment | Qt::AlignVCenter);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setLineWidth(1);
        l->setAttribute(Qt::WA_TransparentForMouseEvents, true);
        labels_.append(l);
        widths_.append(panels[i].width);
    }
}

QString StatusBar::panelText(int i) const
{
    return i >= 0 && i < labels_.size() ? labels_[i]->text() : QString();
}

void StatusBar::setPanelText(int i, const QString &text)
{
    if (i >= 0 && i < labels_.size())
        labels_[i]->setText(text);
}

void StatusBar::mouseDoubleClickEvent(QMouseEvent *)
{
    emit doubleClicked();
}

void StatusBar::resizeEvent(QResizeEvent *)
{
    int x = 0;
    for (int i = 0; i < labels_.size(); ++i) {
        const bool last = i == labels_.size() - 1;
        const int w = last ? std::max(widths_[i], width() - x) : widths_[i];
        labels_[i]->setGeometry(x, 1, w - 2, height() - 1);
        x += w;
    }
}

void StatusBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(240, 240, 240));
}
