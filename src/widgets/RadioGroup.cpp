#include "widgets/RadioGroup.h"

#include <QResizeEvent>

RadioGroup::RadioGroup(QWidget *parent, const QString &name, const QString &title, const QStringList &items, int columns)
    : QGroupBox(title, parent), columns_(std::max(1, columns))
{
    setObjectName(name);
    group_.setExclusive(true);
    for (int i = 0; i < items.size(); ++i) {
        auto *b = new QRadioButton(items[i], this);
        b->setFocusPolicy(Qt::NoFocus);
        group_.addButton(b, i);
        buttons_.append(b);
    }
    connect(&group_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on)
            emit changed(id);
    });
}

int RadioGroup::itemIndex() const
{
    return group_.checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    if (index == itemIndex())
        return;
    if (index < 0 || index >= buttons_.size()) {
        group_.setExclusive(false);
        if (QAbstractButton *b = group_.checkedButton())
            b->setChecked(false);
        group_.setExclusive(true);
        emit changed(-1);
        return;
    }
    buttons_[index]->setChecked(true);
}

QString RadioGroup::itemCaption(int index) const
{
    return index >= 0 && index < buttons_.size() ? buttons_[index]->text() : QString();
}

void RadioGroup::resizeEvent(QResizeEvent *e)
{
    QGroupBox::resizeEvent(e);
    placeButtons();
}

void RadioGroup::placeButtons()
{
    const int n = int(buttons_.size());
    if (n == 0)
        return;
    const int rows = (n + columns_ - 1) / columns_;
    const QRect area = rect().adjusted(8, 24, -8, -8);
    const int colW = area.width() / columns_;
    const int rowH = rows > 0 ? area.height() / rows : area.height();
    // Items fill the columns top to bottom, one column after another.
    for (int i = 0; i < n; ++i) {
        const int c = i / rows;
        const int r = i % rows;
        buttons_[i]->setGeometry(area.left() + c * colW, area.top() + r * rowH, colW, rowH);
    }
}
