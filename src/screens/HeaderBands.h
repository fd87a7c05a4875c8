#pragma once

#include "link/InboundHandlers.h"

#include <QString>

class DockLayout;
class Panel;
class QLabel;
class QWidget;

// The three header bands over the pages: what is being judged. Band 1 holds the round, the
// event and the discipline (PanelTop1: LabelRound, LabelEvent, LabelDisc), band 2 the start
// order, the athlete, the battery and the club (PanelTop2: LabelStart, LabelAthlete,
// LabelPower, LabelClub), band 3 the dive (PanelTop3: LabelDive, LabelDD, LabelHeight,
// LabelDiveDescription). The long texts are fitted to their labels (FitHeaderText).
class HeaderBands : public HeaderView
{
public:
    // Builds the bands in `parent`, stacked in the order given (band 1 first).
    explicit HeaderBands(QWidget *parent);

    // Docks the bands along the top of `dock`, band 1 first.
    void dockIn(DockLayout &dock);
    // Keeps `w` under bands 2 and 3 (the pages lie between band 1 and the others).
    void stackBetween(QWidget *w);

    // HeaderView
    void setAthlete(const AthleteInfo &athlete) override;  // "Round N", order, athlete, club
    void setDive(const DiveInfo &dive) override;           // dive, "DD: ", height, description
    void setEvent(const QString &name, bool individual) override;  // the event and "IND" or "SYNCHRO"

    // The discipline tag as the scoring page shows it on entry ("IND ").
    void showDisciplineTag(const QString &tag);
    // The battery text (the station state's `BatteryText`).
    void showBattery(const QString &text);

    // The club's width in band 2: its landscape width, or in portrait the battery's.
    void arrangeClub(bool landscape);
    // The height of band 3's labels (the send button stays clear of it).
    int diveBandHeight() const;
    // Re-fits the long texts (athlete, club, dive description, event) to their labels as they
    // are now.
    void refitTexts();

private:
    // The text in a header label, its font shrunk until it fits (SetFittedText).
    static void FitHeaderText(QLabel *label, const QString &text);

    Panel *PanelTop1, *PanelTop2, *PanelTop3;
    QLabel *LabelRound, *LabelEvent, *LabelDisc;
    QLabel *LabelStart, *LabelAthlete, *LabelPower, *LabelClub;
    QLabel *LabelDive, *LabelDD, *LabelHeight, *LabelDiveDescription;
};
