#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QList>
#include <QRadioButton>

// A titled group of radio buttons in a number of columns, with an item index
// (-1 when nothing is selected).
class RadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    RadioGroup(QWidget *parent, const QString &name, const QString &title, const QStringList &items, int columns);

    int itemIndex() const;
    void setItemIndex(int index);
    QString itemCaption(int index) const;
    int count() const { return int(buttons_.size()); }
    QRadioButton *button(int index) const { return buttons_.value(index); }

signals:
    // The selection changed, by the user or by setItemIndex.
    void changed(int index);

protected:
    void resizeEvent(QResizeEvent *) override;

private:
    void placeButtons();
    QButtonGroup group_;
    QList<QRadioButton *> buttons_;
    int columns_;
};
