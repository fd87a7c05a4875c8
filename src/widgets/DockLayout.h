#pragma once

#include <QLayout>
#include <QList>

// Docking as the screens are designed: elements docked to a side take the whole remaining
// length of that side with a fixed thickness, in the order they were added (all top ones,
// then bottom, left and right); an element docked to fill takes what is left. Hidden
// elements take no space. Margins are the parent's frame; there is no spacing.
class DockLayout : public QLayout
{
    Q_OBJECT
public:
    enum Dock { None, Top, Bottom, Left, Right, Fill };

    explicit DockLayout(QWidget *parent, int frame = 0);
    ~DockLayout() override;

    // Docks `w` (a child of the layout's widget) with the given thickness (ignored for Fill).
    void addDocked(QWidget *w, Dock dock, int thickness = 0);
    // Changes the docking of an element already added; the element keeps its place in the order.
    void setDock(QWidget *w, Dock dock, int thickness);
    Dock dockOf(const QWidget *w) const;
    int thicknessOf(const QWidget *w) const;

    void addItem(QLayoutItem *item) override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

    // Lays the children out in `rect` at once (also used by tests without a shown window).
    void arrange(const QRect &rect);

private:
    struct Entry {
        QLayoutItem *item;
        Dock dock;
        int thickness;
    };
    int indexOf(const QWidget *w) const override;
    QList<Entry> entries_;
};

// The dock layout of a widget, or nullptr.
DockLayout *dockLayoutOf(QWidget *w);
