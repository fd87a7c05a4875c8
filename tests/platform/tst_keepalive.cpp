#include "platform/KeepAlive.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#ifndef _WIN32
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

class TestKeepAlive : public QObject
{
    Q_OBJECT
private slots:
    void deadPeerClosesWithinTheTime_data();
    void deadPeerClosesWithinTheTime();
};

void TestKeepAlive::deadPeerClosesWithinTheTime_data()
{
    QTest::addColumn<int>("deadSeconds");
    QTest::newRow("15 s") << 15;
    QTest::newRow("6 s") << 6;
}

void TestKeepAlive::deadPeerClosesWithinTheTime()
{
    QFETCH(int, deadSeconds);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(client.waitForConnected(5000));
    QVERIFY(EnableKeepAlive(client.socketDescriptor(), deadSeconds));
    QVERIFY(!EnableKeepAlive(-1, deadSeconds));
#ifndef _WIN32
    auto get = [&](int level, int name) {
        int value = 0;
        socklen_t size = sizeof value;
        getsockopt(int(client.socketDescriptor()), level, name, &value, &size);
        return value;
    };
    QCOMPARE(get(SOL_SOCKET, SO_KEEPALIVE), 1);
    // An idle link: the last probe is answered or not before the time is up.
    const int idle = get(IPPROTO_TCP, TCP_KEEPIDLE);
    const int idleDeath = idle + get(IPPROTO_TCP, TCP_KEEPINTVL) * get(IPPROTO_TCP, TCP_KEEPCNT);
    QVERIFY2(idle >= 1 && idleDeath <= deadSeconds, qPrintable(QString::number(idleDeath)));
    // Data that is never acknowledged, and probes that fail, end it when the probes run out.
    QCOMPARE(get(IPPROTO_TCP, TCP_USER_TIMEOUT), idleDeath * 1000);
#endif
}

QTEST_GUILESS_MAIN(TestKeepAlive)
#include "tst_keepalive.moc"
