// The server address list's source: the neighbour-table filter on fake rows, and the
// Linux state mapping.
#include "platform/NeighbourTable.h"
#include "DataColumns.h"

#include <linux/neighbour.h>

#include <QTest>

Q_DECLARE_METATYPE(NeighbourQuery)

namespace {

NeighbourRow row(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d, std::uint32_t type)
{
    NeighbourRow r;
    r.address = {a, b, c, d};
    r.type = type;
    return r;
}

NeighbourQuery ok(std::vector<NeighbourRow> rows)
{
    NeighbourQuery q;
    q.status = NeighbourQuery::Ok;
    q.rows = std::move(rows);
    return q;
}

QStringList toList(const std::vector<std::string> &v)
{
    QStringList out;
    for (const std::string &s : v)
        out << QString::fromStdString(s);
    return out;
}

} // namespace

class TestNeighbourTable : public QObject
{
    Q_OBJECT
private slots:
    void entries_data();
    void entries();
    void dotted_data();
    void dotted();
    void stateToType_data();
    void stateToType();
    void realTableAnswers();
};

void TestNeighbourTable::entries_data()
{
    addColumns<NeighbourQuery, QString, QStringList>("query", "local", "entries");

    QTest::newRow("dynamic rows other than the local address, in table order")
        << ok({row(192, 168, 1, 20, NeighbourRow::Dynamic), row(192, 168, 1, 5, NeighbourRow::Dynamic),
               row(192, 168, 1, 10, NeighbourRow::Dynamic), row(192, 168, 1, 1, NeighbourRow::Static),
               row(192, 168, 1, 2, NeighbourRow::Invalid), row(192, 168, 1, 3, NeighbourRow::Other),
               row(10, 0, 0, 7, NeighbourRow::Dynamic)})
        << QStringLiteral("192.168.1.5")
        << QStringList {QStringLiteral("192.168.1.20"), QStringLiteral("192.168.1.10"), QStringLiteral("10.0.0.7")};
    QTest::newRow("no duplicate check") << ok({row(10, 1, 1, 1, 3), row(10, 1, 1, 1, 3)}) << QString()
                                        << QStringList {QStringLiteral("10.1.1.1"), QStringLiteral("10.1.1.1")};
    QTest::newRow("only static entries") << ok({row(10, 1, 1, 1, 4), row(224, 0, 0, 22, 4)}) << QString() << QStringList();
    QTest::newRow("local address only") << ok({row(127, 0, 0, 1, 3)}) << QStringLiteral("127.0.0.1") << QStringList();
    QTest::newRow("empty table") << ok({}) << QStringLiteral("10.0.0.1") << QStringList();
    NeighbourQuery noData;
    noData.status = NeighbourQuery::NoData;
    QTest::newRow("no data") << noData << QString() << QStringList();
    NeighbourQuery error;
    error.status = NeighbourQuery::Error;
    error.errorCode = 50;
    error.errorText = "The request is not supported.";
    QTest::newRow("error code") << error << QString() << QStringList {QStringLiteral("The request is not supported.")};
    QTest::newRow("no service") << NeighbourQuery() << QString() << QStringList();
}

void TestNeighbourTable::entries()
{
    QFETCH(NeighbourQuery, query);
    QFETCH(QString, local);
    QTEST(toList(NeighbourEntries(query, local.toStdString())), "entries");
}

void TestNeighbourTable::dotted_data()
{
    addColumns<int, int, int, int, QString>("a", "b", "c", "d", "text");
    QTest::newRow("lowest address first") << 192 << 168 << 0 << 1 << QStringLiteral("192.168.0.1");
    QTest::newRow("no leading zeros, unsigned") << 10 << 0 << 255 << 7 << QStringLiteral("10.0.255.7");
    QTest::newRow("all zero") << 0 << 0 << 0 << 0 << QStringLiteral("0.0.0.0");
}

void TestNeighbourTable::dotted()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, d);
    const std::array<std::uint8_t, 4> address {std::uint8_t(a), std::uint8_t(b), std::uint8_t(c), std::uint8_t(d)};
    QTEST(QString::fromStdString(DottedAddress(address)), "text");
}

void TestNeighbourTable::stateToType_data()
{
    addColumns<uint, uint>("state", "type");
    QTest::newRow("reachable") << uint(NUD_REACHABLE) << uint(NeighbourRow::Dynamic);
    QTest::newRow("stale") << uint(NUD_STALE) << uint(NeighbourRow::Dynamic);
    QTest::newRow("delay") << uint(NUD_DELAY) << uint(NeighbourRow::Dynamic);
    QTest::newRow("probe") << uint(NUD_PROBE) << uint(NeighbourRow::Dynamic);
    QTest::newRow("permanent") << uint(NUD_PERMANENT) << uint(NeighbourRow::Static);
    QTest::newRow("noarp") << uint(NUD_NOARP) << uint(NeighbourRow::Static);
    QTest::newRow("incomplete") << uint(NUD_INCOMPLETE) << uint(NeighbourRow::Invalid);
    QTest::newRow("failed") << uint(NUD_FAILED) << uint(NeighbourRow::Invalid);
    QTest::newRow("none") << uint(NUD_NONE) << uint(NeighbourRow::Other);
}

void TestNeighbourTable::stateToType()
{
    QFETCH(uint, state);
    QTEST(uint(NeighbourTypeOfState(state)), "type");
}

void TestNeighbourTable::realTableAnswers()
{
    // Whatever this machine's table holds, the query answers and its rows are well formed.
    const NeighbourQuery q = makeRealNeighbourTable()->query();
    if (q.status == NeighbourQuery::Ok)
        QVERIFY(!q.rows.empty());
    if (q.status == NeighbourQuery::Error)
        QVERIFY(!q.errorText.empty());
    for (const NeighbourRow &r : q.rows)
        QVERIFY(r.type >= NeighbourRow::Other && r.type <= NeighbourRow::Static);
}

QTEST_APPLESS_MAIN(TestNeighbourTable)
#include "tst_NeighbourTable.moc"
