#include "screens/StationBox.h"

#include "screens/Unit_Main.h"
#include "widgets/Fonts.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QScroller>
#include <QStyle>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 12;     // inside the box, around its contents
constexpr int kSpacing = 12;    // between the text and the buttons
constexpr int kScreenGap = 8;   // kept free between the box and the edges of the area
constexpr int kTitleAllowance = 32;  // a title bar that a window manager may add above the box

QRect availableArea(const QWidget *owner)
{
    const QScreen *s = owner ? owner->screen() : nullptr;
    if (!s)
        s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, 1218, 805);
}

} // namespace

namespace stationbox {

QRect placeBox(QSize box, const QRect &over, const QRect &area)
{
    const int w = std::min(box.width(), area.width());
    const int h = std::min(box.height(), area.height());
    const QRect centre = over.isValid() ? over : area;
    int x = centre.x() + (centre.width() - w) / 2;
    int y = centre.y() + (centre.height() - h) / 2;
    x = std::clamp(x, area.left(), area.left() + area.width() - w);
    y = std::clamp(y, area.top(), area.top() + area.height() - h);
    return QRect(x, y, w, h);
}

} // namespace stationbox

TStationBox::TStationBox(Kind kind, const QString &text, QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("StationBox"));
    setWindowTitle(kApplicationTitle);
    setModal(true);

    text_ = new QTextEdit(this);
    text_->setObjectName(QStringLiteral("BoxText"));
    text_->setReadOnly(true);
    text_->setAcceptRichText(false);
    text_->setTextInteractionFlags(Qt::NoTextInteraction);
    text_->setFocusPolicy(Qt::NoFocus);
    text_->setFrameStyle(QFrame::NoFrame);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text_->setFont(designFont(QStringLiteral("Verdana"), 15, false));
    QPalette pal = text_->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Window));
    text_->setPalette(pal);
    // Carriage returns are line breaks; the text is never read as markup.
    text_->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n'));
    // A finger drags the text.
    QScroller::grabGesture(text_->viewport(), QScroller::LeftMouseButtonGesture);

    // OK is the default button; Cancel, on a question, never takes Enter.
    auto button = [this](const QString &text, const QString &name, void (QDialog::*answer)()) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setMinimumSize(kButtonWidth, kButtonHeight);
        connect(b, &QPushButton::clicked, this, answer);
        return b;
    };
    QPushButton *ok = button(QStringLiteral("OK"), QStringLiteral("ButtonOK"), &QDialog::accept);
    ok->setDefault(true);
    ok_ = ok;
    if (kind == Question) {
        QPushButton *cancel = button(QStringLiteral("Cancel"), QStringLiteral("ButtonCancel"), &QDialog::reject);
        cancel->setAutoDefault(false);
        cancel_ = cancel;
    }

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    column->setSpacing(kSpacing);
    column->setSizeConstraint(QLayout::SetFixedSize);
    auto *row = new QHBoxLayout;
    row->setSpacing(kMargin);
    if (kind != Plain) {
        const QStyle::StandardPixmap which = kind == Error ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxQuestion;
        auto *icon = new QLabel(this);
        icon->setObjectName(QStringLiteral("BoxIcon"));
        icon->setPixmap(style()->standardIcon(which).pixmap(32, 32));
        icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
        row->addWidget(icon, 0, Qt::AlignTop);
    }
    row->addWidget(text_, 1);
    column->addLayout(row);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    if (cancel_)
        buttons->addWidget(cancel_);
    buttons->addStretch(1);
    column->addLayout(buttons);

    ok->setFocus();
    fitToArea();
}

void TStationBox::fitToArea()
{
    QRect area = availableArea(parentWidget());
    // The window it belongs to fills the work area, and knows it where the screen does not say
    // (Wayland): the box is no larger.
    if (const QWidget *main = parentWidget() ? parentWidget()->window() : nullptr; main && main->isVisible())
        area.setSize(area.size().boundedTo(main->size()));
    const int iconRoom = findChild<QLabel *>(QStringLiteral("BoxIcon")) ? 32 + kMargin : 0;
    const int buttonsHeight = std::max(kButtonHeight, ok_->sizeHint().height());
    // What the box may give its text.
    const int maxWidth = std::max(120, std::min(area.width() * 2 / 3, area.width() - 2 * (kScreenGap + kMargin) - iconRoom));
    const int maxHeight =
        std::max(40, area.height() - 2 * kScreenGap - kTitleAllowance - 2 * kMargin - kSpacing - buttonsHeight);

    QTextDocument doc;
    doc.setDefaultFont(text_->font());
    doc.setDocumentMargin(text_->document()->documentMargin());
    QTextOption option = doc.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc.setDefaultTextOption(option);
    doc.setPlainText(text_->toPlainText());
    const int buttonsWidth = ok_->sizeHint().width() + (cancel_ ? cancel_->sizeHint().width() + kMargin : 0);
    int width = std::clamp(int(std::ceil(doc.idealWidth())) + 2, std::max(buttonsWidth - iconRoom, 160), maxWidth);
    doc.setTextWidth(width);
    int height = int(std::ceil(doc.size().height())) + 2;
    if (height > maxHeight) {
        height = maxHeight;
        width += text_->verticalScrollBar()->sizeHint().width();
        text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    } else {
        text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    text_->setFixedSize(width, height);
    adjustSize();

    const QWidget *over = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect place = stationbox::placeBox(size(), over ? over->geometry() : QRect(), area.adjusted(0, kTitleAllowance, 0, 0));
    move(place.topLeft());
}

bool TStationBox::ask(Kind kind, const QString &text, QWidget *owner)
{
    TStationBox box(kind, text, owner);
    return box.exec() == QDialog::Accepted;
}
