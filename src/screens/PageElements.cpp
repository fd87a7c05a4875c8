#include "screens/PageElements.h"

#include "widgets/Fonts.h"

#include <QLabel>
#include <QPalette>

QFont design::verdana(int px, bool bold)
{
    return designFont(QStringLiteral("Verdana"), px, bold);
}

void design::place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(left, top, width, height);
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QFont &font, const QColor &ink,
                  const QColor &background, Qt::Alignment align)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);  // texts from the network are never rich text
    l->setText(text);
    l->setFont(font);
    l->setAlignment(align);
    l->setWordWrap(false);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, ink);
    if (background.isValid()) {
        pal.setColor(QPalette::Window, background);
        l->setAutoFillBackground(true);
    }
    l->setPalette(pal);
    return l;
}
