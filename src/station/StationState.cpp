#include "station/StationState.h"

void StationState::FillProtocols()
{
    Protocols.DisciplineTags[0] = QStringLiteral("IND ");
    Protocols.DisciplineTags[1] = QStringLiteral("SYNC");
    for (int i = 0; i < 11; ++i)
        Protocols.StationIdTable[i] = QStringLiteral("J%1").arg(i + 1).leftJustified(4, QLatin1Char(' '));
    Protocols.StationIdTable[kServerStationIndex] = QStringLiteral("VRX ");
}

QString StationState::stationIdAt(int functionIndex) const
{
    if (functionIndex < 0 || functionIndex >= kStationIdCount)
        return QString();
    return Protocols.StationIdTable[functionIndex];
}

QString StationState::functionCaption(int functionIndex)
{
    if (functionIndex < 0 || functionIndex >= kServerStationIndex)
        return QString();
    return QStringLiteral("Judge %1").arg(functionIndex + 1);
}

void StationState::setFunction(int functionIndex)
{
    FunctionIndex = functionIndex;
    ClientInfo.FunctionCaption = functionCaption(functionIndex);
    ClientInfo.LocalStationId = stationIdAt(functionIndex);
}

QString trimControls(const QString &s)
{
    qsizetype a = 0;
    qsizetype b = s.size();
    while (a < b && s.at(a).unicode() <= 32)
        ++a;
    while (b > a && s.at(b - 1).unicode() <= 32)
        --b;
    return s.mid(a, b - a);
}
