#pragma once

#include <QObject>
#include <QRect>
#include <memory>

// The screen the station runs on: its geometry, and a signal when it changes
// (resolution changed, tablet turned, a panel reserving a part of it).
class ScreenInfo : public QObject
{
    Q_OBJECT
public:
    virtual QRect screenGeometry() const = 0;
    // The part of the screen that windows may fill: the screen less the panels and docks of
    // a desktop (the work area). The whole screen where nothing reserves a part of it.
    virtual QRect availableGeometry() const { return screenGeometry(); }
signals:
    void geometryChanged();
};

std::shared_ptr<ScreenInfo> makeRealScreenInfo();
