#include "screens/OperatorDetails.h"

#include "screens/PageElements.h"
#include "station/StationState.h"
#include "widgets/DockLayout.h"
#include "widgets/Fonts.h"
#include "widgets/Panel.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

using design::place;
using design::verdana;

OperatorDetails::OperatorDetails(QWidget *parent)
{
    PanelDetails = new Panel(parent, QStringLiteral("PanelDetails"));
    QWidget *p = PanelDetails;
    LabelWhosConnected = makeLabel(p, QStringLiteral("LabelWhosConnected"), QStringLiteral("Who's Connected"), verdana(12),
                                   Qt::white, QColor(), Qt::AlignLeft | Qt::AlignVCenter);
    place(LabelWhosConnected, 296, 192, 150, 16);

    auto memo = [p](const QString &name) {
        auto *m = new QPlainTextEdit(p);
        m->setObjectName(name);
        m->setReadOnly(true);
        m->setLineWrapMode(QPlainTextEdit::NoWrap);
        m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m->setTabChangesFocus(true);
        m->setFocusPolicy(Qt::ClickFocus);
        m->setFont(designFont(QStringLiteral("Courier"), 11, false));
        return m;
    };
    LogFile = memo(QStringLiteral("LogFile"));
    place(LogFile, 16, 8, 409, 145);

    GridConnections = new QTableWidget(ConnectionsGrid::Rows, ConnectionsGrid::Columns, p);
    GridConnections->setObjectName(QStringLiteral("GridConnections"));
    GridConnections->horizontalHeader()->hide();
    GridConnections->verticalHeader()->hide();
    GridConnections->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridConnections->setSelectionMode(QAbstractItemView::NoSelection);
    GridConnections->setWordWrap(false);
    GridConnections->setFont(verdana(10, false));
    for (int c = 0; c < ConnectionsGrid::Columns; ++c)
        GridConnections->setColumnWidth(c, 80);
    for (int r = 0; r < ConnectionsGrid::Rows; ++r) {
        GridConnections->setRowHeight(r, 16);
        for (int c = 0; c < ConnectionsGrid::Columns; ++c) {
            auto *item = new QTableWidgetItem();
            if (r == ConnectionsGrid::HeadingRow || c == ConnectionsGrid::JobColumn)
                item->setBackground(QColor(212, 208, 200));
            GridConnections->setItem(r, c, item);
        }
    }
    place(GridConnections, 16, 160, 337, 233);

    ChatFile = memo(QStringLiteral("ChatFile"));
    place(ChatFile, 16, 344, 273, 153);

    EditMessage = new QLineEdit(p);
    EditMessage->setObjectName(QStringLiteral("EditMessage"));
    place(EditMessage, 16, 500, 273, 21);

    auto *send = new QPushButton(QStringLiteral("Send"), p);
    send->setObjectName(QStringLiteral("ButtonSendMessage"));
    send->setAutoDefault(false);
    place(send, 304, 488, 49, 25);
    ButtonSendMessage = send;

    ConnectedClients = new QListWidget(p);
    ConnectedClients->setObjectName(QStringLiteral("ConnectedClients"));
    place(ConnectedClients, 320, 168, 121, 137);
}

void OperatorDetails::dockIn(DockLayout &dock)
{
    dock.addDocked(PanelDetails, DockLayout::Right, 460);
    PanelDetails->hide();
}

void OperatorDetails::toggle()
{
    PanelDetails->setVisible(PanelDetails->isHidden());
}

void OperatorDetails::nameStations(int judgeCount)
{
    const QStringList headings = {QStringLiteral("Job"), QStringLiteral("Name"), QStringLiteral("IP"), QStringLiteral("Status")};
    for (int c = 0; c < ConnectionsGrid::Columns; ++c)
        setStationCell(ConnectionsGrid::HeadingRow, c, headings[c]);
    for (int r = 1; r <= judgeCount && r <= 11; ++r)
        setStationCell(r, ConnectionsGrid::JobColumn, StationState::functionCaption(r - 1));
    setStationCell(ConnectionsGrid::ServerRow, ConnectionsGrid::JobColumn, QStringLiteral("VRX KMT"));
}

void OperatorDetails::AddLogLine(const QString &line)
{
    AppendMemoLine(LogFile, line);
}

void OperatorDetails::AddChatLine(const QString &text)
{
    AppendMemoLine(ChatFile, text);
}

void OperatorDetails::AddConnectedClient(const QString &text)
{
    AppendBoundedListLine(ConnectedClients, text);
}

void OperatorDetails::RemoveConnectedClient(const QString &id)
{
    for (int i = 0; i < ConnectedClients->count(); ++i) {
        if (ConnectedClients->item(i)->text().compare(id, Qt::CaseInsensitive) == 0) {
            delete ConnectedClients->takeItem(i);
            return;
        }
    }
}

void OperatorDetails::ClearConnectedClients()
{
    ConnectedClients->clear();
}

QString OperatorDetails::stationCell(int row, int column) const
{
    const QTableWidgetItem *cell = GridConnections->item(row, column);
    return cell ? cell->text() : QString();
}

void OperatorDetails::setStationCell(int row, int column, const QString &text)
{
    if (QTableWidgetItem *cell = GridConnections->item(row, column))
        cell->setText(text);
}

QString OperatorDetails::chatMessage() const
{
    return EditMessage->text();
}

std::unique_ptr<DeferMemoAppends> OperatorDetails::deferMemoAppends()
{
    return std::make_unique<DeferMemoAppends>(std::initializer_list<QPlainTextEdit *> {LogFile, ChatFile});
}
