#pragma once

#include <QObject>
#include <QRect>
#include <memory>

// The screen the station runs on: its geometry, and a signal when it changes
// (resolution changed, tablet turned).
class ScreenInfo : public QObject
{
    Q_OBJECT
public:
    virtual QRect screenGeometry() const = 0;
signals:
    void geometryChanged();
};

std::shared_ptr<ScreenInfo> makeRealScreenInfo();
