#include "screens/HeaderBands.h"

#include "screens/Layout.h"
#include "screens/LayoutGeometry.h"
#include "screens/PageElements.h"
#include "widgets/DockLayout.h"
#include "widgets/Panel.h"

#include <QLabel>

using design::verdana;

HeaderBands::HeaderBands(QWidget *parent)
{
    PanelTop1 = new Panel(parent, QStringLiteral("PanelTop1"));
    PanelTop2 = new Panel(parent, QStringLiteral("PanelTop2"));
    PanelTop3 = new Panel(parent, QStringLiteral("PanelTop3"));

    // The bands' background picture.
    for (Panel *band : {PanelTop1, PanelTop2, PanelTop3})
        band->setGradient(QColor(200, 220, 255), QColor(255, 255, 255), 43);

    const QFont bandFont = verdana(29);
    const Qt::Alignment centre = Qt::AlignCenter;
    const Qt::Alignment leftMid = Qt::AlignLeft | Qt::AlignVCenter;
    auto bandLabel = [&](Panel *band, const QString &name, const QString &text, Qt::Alignment a, bool framed) {
        QLabel *l = makeLabel(band, name, text, bandFont, Qt::black, QColor(), a);
        if (framed) {
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            l->setLineWidth(2);
        }
        return l;
    };
    auto *d1 = new DockLayout(PanelTop1);
    LabelRound = bandLabel(PanelTop1, QStringLiteral("LabelRound"), QStringLiteral("Round"), centre, false);
    LabelEvent = bandLabel(PanelTop1, QStringLiteral("LabelEvent"), QStringLiteral("  Event Name   "), centre, false);
    LabelDisc = bandLabel(PanelTop1, QStringLiteral("LabelDisc"), QStringLiteral("Type"), centre, false);
    d1->addDocked(LabelRound, DockLayout::Left, 180);
    d1->addDocked(LabelDisc, DockLayout::Right, 180);
    d1->addDocked(LabelEvent, DockLayout::Fill);

    auto *d2 = new DockLayout(PanelTop2);
    LabelStart = bandLabel(PanelTop2, QStringLiteral("LabelStart"), QStringLiteral("Order"), centre, true);
    LabelAthlete = bandLabel(PanelTop2, QStringLiteral("LabelAthlete"), QStringLiteral("   Athlete Name"), leftMid, true);
    LabelPower = bandLabel(PanelTop2, QStringLiteral("LabelPower"), QStringLiteral("Power"), centre, true);
    LabelClub = bandLabel(PanelTop2, QStringLiteral("LabelClub"), QStringLiteral("   Team Name"), leftMid, true);
    d2->addDocked(LabelStart, DockLayout::Left, 100);
    d2->addDocked(LabelPower, DockLayout::Right, 180);
    d2->addDocked(LabelClub, DockLayout::Right, layout::kClubWidthLandscape);
    d2->addDocked(LabelAthlete, DockLayout::Fill);

    auto *d3 = new DockLayout(PanelTop3);
    LabelDive = bandLabel(PanelTop3, QStringLiteral("LabelDive"), QStringLiteral("Dive"), centre, true);
    LabelDD = bandLabel(PanelTop3, QStringLiteral("LabelDD"), QStringLiteral("  DD"), centre, true);
    LabelHeight = bandLabel(PanelTop3, QStringLiteral("LabelHeight"), QStringLiteral("  HGT"), centre, true);
    LabelDiveDescription =
        bandLabel(PanelTop3, QStringLiteral("LabelDiveDescription"), QStringLiteral("   Dive Description"), leftMid, true);
    d3->addDocked(LabelDive, DockLayout::Left, 160);
    d3->addDocked(LabelDD, DockLayout::Left, 145);
    d3->addDocked(LabelHeight, DockLayout::Left, 145);
    d3->addDocked(LabelDiveDescription, DockLayout::Fill);
}

void HeaderBands::dockIn(DockLayout &dock)
{
    dock.addDocked(PanelTop1, DockLayout::Top, 40);
    dock.addDocked(PanelTop2, DockLayout::Top, 43);
    dock.addDocked(PanelTop3, DockLayout::Top, 43);
}

void HeaderBands::stackBetween(QWidget *w)
{
    w->stackUnder(PanelTop2);
}

void HeaderBands::setAthlete(const AthleteInfo &a)
{
    LabelRound->setText(QStringLiteral("Round ") + a.round);
    LabelStart->setText(a.start);
    FitHeaderText(LabelAthlete, QStringLiteral(" ") + a.athlete);
    FitHeaderText(LabelClub, QStringLiteral(" ") + a.club);
}

void HeaderBands::setDive(const DiveInfo &d)
{
    LabelDive->setText(d.dive);
    LabelDD->setText(QStringLiteral("DD: ") + d.difficulty);
    LabelHeight->setText(d.height);
    FitHeaderText(LabelDiveDescription, QStringLiteral(" ") + d.description);
}

void HeaderBands::setEvent(const QString &name, bool individual)
{
    LabelDisc->setText(individual ? QStringLiteral("IND") : QStringLiteral("SYNCHRO"));
    FitHeaderText(LabelEvent, name);
}

void HeaderBands::showDisciplineTag(const QString &tag)
{
    LabelDisc->setText(tag);
}

void HeaderBands::showBattery(const QString &text)
{
    LabelPower->setText(text);
}

void HeaderBands::arrangeClub(bool landscape)
{
    if (DockLayout *band2 = dockLayoutOf(PanelTop2))
        band2->setDock(LabelClub, DockLayout::Right, landscape ? layout::kClubWidthLandscape : LabelPower->width());
}

int HeaderBands::diveBandHeight() const
{
    return LabelDiveDescription->height();
}

void HeaderBands::refitTexts()
{
    for (QLabel *label : {LabelAthlete, LabelClub, LabelDiveDescription, LabelEvent})
        FitHeaderText(label, label->text());
}

void HeaderBands::FitHeaderText(QLabel *label, const QString &text)
{
    SetFittedText(label, text);
}
