#include "TestStation.h"

#include "ConnectionProbe.h"
#include "LoopbackServer.h"

#include "link/ConsoleLink.h"
#include "screens/Unit_Main.h"

#include <QDir>
#include <QTest>

TestStation::TestStation(const QRect &screen) : fakes(screen), previousDir_(QDir::currentPath())
{
    QDir::setCurrent(dir_.path());
    form = std::make_unique<TMainForm>(fakes.platform());
    form->confirmClose = [] { return true; };
    form->link->showMessage = [this](ConsoleLink::BoxKind, const QString &text) { boxes << text; };
}

TestStation::~TestStation()
{
    form.reset();
    QDir::setCurrent(previousDir_);
}

bool TestStation::start(int timeoutMs)
{
    form->show();
    return QTest::qWaitFor([this] { return form->startedUp(); }, timeoutMs);
}

bool TestStation::connectTo(LoopbackServer &server, int judgeIndex)
{
    element<RadioGroup>(*form, "ClientChoice")->setItemIndex(judgeIndex);
    ConnectionProbe::usePort(form->link->connection(), server.port());
    const int before = server.connectionCount();
    form->link->ConnectConsolesClick();
    return server.waitForConnections(before + 1) && server.waitForFrames(1);
}
