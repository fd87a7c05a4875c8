#include "server/board/Board.h"

#include "link/CodePage.h"
#include "server/EventServer.h"

#include <QHttpServer>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTime>
#include <QWebSocket>

#include <algorithm>

namespace {

QString Text(const QByteArray &windows1252)
{
    return DecodeConsoleText(windows1252);
}

QString Points(qint64 hundredths)
{
    return QString::fromLatin1(FormatPoints(hundredths));
}

const char kPage[] = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>console-sim board</title>
<meta name="viewport" content="width=device-width, initial-scale=1">
<style>
body{font-family:DejaVu Sans,Arial,sans-serif;margin:16px;background:#10151c;color:#e8edf2}
h1{font-size:22px;margin:0 0 4px} h2{font-size:16px;margin:18px 0 6px;color:#9fb3c8}
#dive{font-size:18px;color:#ffd166} #link{float:right;font-size:13px;color:#7f8c99}
table{border-collapse:collapse;width:100%} td,th{padding:5px 8px;border-bottom:1px solid #26313d;text-align:left}
th{color:#9fb3c8;font-weight:normal;font-size:13px}
.lost{background:#7a1020;color:#fff;font-weight:bold} .low{color:#ff9f1c;font-weight:bold}
.none{color:#7f8c99} .ok{color:#74d680} .changing{color:#ffd166}
#result{font-size:17px} .notices div{font-size:13px;color:#c9d3dd;margin:2px 0} .notices .warn{color:#ff9f1c} .pts{font-size:22px;color:#74d680;font-weight:bold}
</style></head><body>
<div id="link">connecting...</div>
<h1 id="event">console-sim</h1><div id="dive"></div>
<h2>Judges</h2>
<table><thead><tr><th>Judge</th><th>Link</th><th>Dive under way</th><th>Battery</th><th>Last heard</th></tr></thead>
<tbody id="judges"></tbody></table>
<h2>Last result</h2><div id="result">-</div>
<h2>Notices</h2><div id="notices" class="notices"></div>
<h2>Standings</h2>
<table><thead><tr><th>Rank</th><th>Athlete</th><th>Team</th><th>Total</th></tr></thead><tbody id="standings"></tbody></table>
<script>
function esc(t){return String(t).replace(/[&<>"]/g,c=>({'&':'&amp;','<':'&lt;','>':'&gt;','"':'&quot;'}[c]));}
function show(s){
  document.getElementById('event').textContent=s.event+' ('+s.kind+')';
  document.getElementById('dive').textContent=s.ended?'END OF EVENT':s.dive;
  let rows='';
  for(const j of s.judges){
    let link=j.link, cls=j.link==='connected'?'ok':'none';
    if(j.link==='link lost'){link='LINK LOST since '+j.lostSince;cls='lost';}
    let score=j.score!==undefined?'scored '+j.score:'not scored';
    if(j.changing) score+=' <span class="changing">(changing)</span>';
    const bat=j.battery?(j.batteryLow?'<span class="low">'+esc(j.battery)+' LOW</span>':esc(j.battery)):'';
    const heard=j.lastHeard!==undefined?j.lastHeard+' s ago':'';
    rows+='<tr id="judge'+j.judge+'"><td>J'+j.judge+(j.position?' ('+esc(j.position)+')':'')+(j.computer?' <span class="none">'+esc(j.computer)+'</span>':'')+
      '</td><td class="'+cls+'">'+esc(link)+'</td><td>'+score+'</td><td>'+bat+'</td><td>'+heard+'</td></tr>';
  }
  document.getElementById('judges').innerHTML=rows;
  const r=s.result;
  document.getElementById('result').innerHTML=r?esc(r.athlete)+' ('+esc(r.team)+'), '+esc(r.dive)+': '+esc(r.scores)+
    ' &rarr; <span class="pts">'+esc(r.points)+'</span>':'-';
  let st='';
  for(const a of s.standings) st+='<tr><td>'+a.rank+'</td><td>'+esc(a.name)+'</td><td>'+esc(a.team)+'</td><td>'+a.total+'</td></tr>';
  document.getElementById('standings').innerHTML=st;
  document.getElementById('notices').innerHTML=(s.notices||[]).map(n=>'<div'+(n.indexOf('WARNING')>=0?' class="warn"':'')+'>'+esc(n)+'</div>').join('');
}
function connect(){
  const ws=new WebSocket((location.protocol==='https:'?'wss://':'ws://')+location.host+'/live');
  ws.onopen=()=>{document.getElementById('link').textContent='live';};
  ws.onmessage=e=>show(JSON.parse(e.data));
  ws.onclose=()=>{document.getElementById('link').textContent='no link to console-sim; trying again';setTimeout(connect,2000);};
}
connect();
</script></body></html>
)PAGE";


} // namespace

bool IsBoardNotice(const QString &line)
{
    static const QRegularExpression notice(QStringLiteral(
        "^WARNING|is refused|refused:|\\) closed: |takes over|is changing|change lapses|connected again from|"
        "corrected result"));
    return notice.match(line).hasMatch();
}

QJsonObject BoardState(const EventServer &server, const QDateTime &now)
{
    using State = EventServer::JudgeLink::State;
    const Competition &c = server.competition();
    const EventDefinition &event = c.event();
    QJsonObject out;
    out["event"] = Text(event.name);
    out["kind"] = EventKindName(event.kind);
    out["ended"] = c.ended();
    if (!c.ended())
        out["dive"] = QStringLiteral("Dive %1 of %2: %3").arg(c.diveIndex() + 1).arg(event.diveCount()).arg(Text(c.describeDive()));

    QJsonArray judges;
    for (const auto &link : server.judgeLinks()) {
        QJsonObject j;
        j["judge"] = link.judge;
        if (event.kind == EventKind::Synchro)
            j["position"] = QString::fromLatin1(SynchroPositionText(event.judges, link.judge));
        j["link"] = link.state == State::Connected ? "connected" : link.state == State::LinkLost ? "link lost" : "no station";
        if (link.state == State::LinkLost)
            j["lostSince"] = link.lostSince.toString(QStringLiteral("HH:mm:ss"));
        if (link.score)
            j["score"] = QString::fromLatin1(FormatScore(*link.score));
        j["changing"] = link.changing;
        j["battery"] = RenderForServerLog(link.battery);
        const auto percent = BatteryPercent(link.battery);
        j["batteryLow"] = percent && *percent < kLowBatteryPercent;
        if (link.lastHeard.isValid())
            j["lastHeard"] = link.lastHeard.secsTo(now);
        if (!link.computer.isEmpty())
            j["computer"] = RenderForServerLog(link.computer);
        judges.append(j);
    }
    out["judges"] = judges;

    const auto results = c.resultsSoFar();
    if (!results.isEmpty()) {
        const auto &d = results.constLast();
        const AthleteSpec &a = event.athletes[d.athleteIndex];
        QStringList scores;
        for (int h : d.halfPoints)
            scores << QString::fromLatin1(FormatScore(h));
        QJsonObject r;
        r["athlete"] = Text(a.name);
        r["team"] = Text(a.team);
        r["dive"] = Text(a.dives[d.round - 1].number);
        r["scores"] = scores.join(QLatin1String("  "));
        r["points"] = Points(d.hundredths);
        out["result"] = r;
    }

    QVector<int> order;
    for (int i = 0; i < event.athletes.size(); ++i)
        order.append(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return c.totalHundredths(a) > c.totalHundredths(b); });
    QJsonArray standings;
    for (int i : order) {
        QJsonObject s;
        s["rank"] = c.rank(i);
        s["name"] = Text(event.athletes[i].name);
        s["team"] = Text(event.athletes[i].team);
        s["total"] = Points(c.totalHundredths(i));
        standings.append(s);
    }
    out["standings"] = standings;
    return out;
}

Board::Board(EventServer &server, QObject *parent)
    : QObject(parent)
    , server_(server)
    , http_(std::make_unique<QHttpServer>())
{
    http_->route("/", [] {
        return QHttpServerResponse("text/html; charset=utf-8", QByteArray(kPage));
    });
    http_->route("/state", [this] { return QHttpServerResponse(state()); });
    // The page's WebSocket: the route accepts the upgrade, which the server then hands over.
    http_->route("/live", [](const QHttpServerRequest &, QHttpServerResponder &&) {});
    connect(http_.get(), &QHttpServer::newWebSocketConnection, this, &Board::onViewer);
    // Everything that changes what the board shows is logged: a flurry becomes one update.
    coalesce_.setSingleShot(true);
    coalesce_.setInterval(100);
    connect(&coalesce_, &QTimer::timeout, this, &Board::push);
    connect(&server_, &EventServer::logLine, this, [this](const QString &line) {
        if (IsBoardNotice(line)) {
            notices_.prepend(QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + line.left(300));
            if (notices_.size() > 8)
                notices_.removeLast();
        }
        if (!coalesce_.isActive())
            coalesce_.start();
    });
    tick_.setInterval(1000);
    connect(&tick_, &QTimer::timeout, this, &Board::push);
}

Board::~Board()
{
    for (auto &v : viewers_)
        v->disconnect(this);
}

bool Board::listen(const QHostAddress &address, quint16 port, QString *error)
{
    port_ = http_->listen(address, port);
    if (port_ == 0) {
        *error = QStringLiteral("cannot serve the board on %1 port %2").arg(address.toString()).arg(port);
        return false;
    }
    tick_.start();
    return true;
}

void Board::onViewer()
{
    while (http_->hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> viewer = http_->nextPendingWebSocketConnection();
        if (!viewer)
            continue;
        QWebSocket *v = viewer.get();
        // A board that is not read is no reason to hold its updates.
        connect(v, &QWebSocket::disconnected, this, [this, v] {
            const auto it = std::find_if(viewers_.begin(), viewers_.end(), [v](const auto &p) { return p.get() == v; });
            if (it != viewers_.end()) {
                it->release()->deleteLater();
                viewers_.erase(it);
            }
        });
        v->sendTextMessage(QString::fromUtf8(QJsonDocument(state()).toJson(QJsonDocument::Compact)));
        viewers_.push_back(std::move(viewer));
    }
}

QJsonObject Board::state() const
{
    QJsonObject s = BoardState(server_, QDateTime::currentDateTime());
    s["notices"] = QJsonArray::fromStringList(notices_);
    return s;
}

void Board::push()
{
    if (viewers_.empty())
        return;
    const QString text = QString::fromUtf8(QJsonDocument(state()).toJson(QJsonDocument::Compact));
    for (auto &v : viewers_)
        if (v->bytesToWrite() < (1 << 20))
            v->sendTextMessage(text);
}

