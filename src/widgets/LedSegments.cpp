#include "widgets/LedSegments.h"

namespace led {

int halfToEven(int n)
{
    if (n % 2 == 0)
        return n / 2;
    const int below = n >= 0 ? n / 2 : -((-n + 1) / 2);  // floor(n / 2)
    return below % 2 == 0 ? below : below + 1;
}

int cellWidth(int horzsize, int thickness)
{
    return horzsize + 5 * thickness;
}

int cellHeight(int vertsize, int thickness)
{
    return 2 * vertsize + 7 * thickness;
}

namespace {

int sign(int n)
{
    return (n > 0) - (n < 0);
}

Outline horizontalBar(int x, int y, int e, int h)
{
    return {{QPoint(x, y + e), QPoint(x + e, y), QPoint(x + e + h, y), QPoint(x + 2 * e + h, y + e),
             QPoint(x + e + h, y + 2 * e), QPoint(x + e, y + 2 * e)},
            true};
}

Outline verticalBar(int x, int y, int e, int v)
{
    return {{QPoint(x + e, y), QPoint(x + 2 * e, y + e), QPoint(x + 2 * e, y + e + v), QPoint(x + e, y + 2 * e + v),
             QPoint(x, y + e + v), QPoint(x, y + e)},
            true};
}

Outline diagonal(int x, int y, int p, int q, int t)
{
    if (p == 0 || q == 0)
        return {};
    const int a = halfToEven(sign(p) * t);
    const int b = halfToEven(sign(q) * t);
    return {{QPoint(x, y), QPoint(x + a, y), QPoint(x + p, y + q - b), QPoint(x + p, y + q), QPoint(x + p - a, y + q),
             QPoint(x, y + b)},
            true};
}

Outline dot(int x, int y, int t)
{
    const QPoint last(x, y - 1);
    return {{QPoint(x + t, y - 1), QPoint(x + t, y + t - 1), QPoint(x, y + t - 1), last, last, last}, true};
}

} // namespace

Outlines segmentOutlines(int h, int v, int t)
{
    const int e = t / 2;
    const int m = (4 * t + h) / 2;
    const int r = halfToEven(3 * t);
    const int half = h / 2;
    Outlines o;
    o[0] = horizontalBar(2 * t, t, e, h);
    o[1] = verticalBar(t, 2 * t, e, v);
    o[2] = verticalBar(3 * t + h, 2 * t, e, v);
    o[3] = horizontalBar(2 * t, 3 * t + v, e, h);
    o[4] = verticalBar(t, 4 * t + v, e, v);
    o[5] = verticalBar(3 * t + h, 4 * t + v, e, v);
    o[6] = horizontalBar(2 * t, 5 * t + 2 * v, e, h);
    o[7] = verticalBar(m, 2 * t, e, v);
    o[8] = verticalBar(m, 4 * t + v, e, v);
    o[9] = diagonal(m - e, 2 * t + v, t - half, t - v, t);
    o[10] = diagonal(m + r, 2 * t + v, half - t, t - v, t);
    o[11] = diagonal(m - e, 5 * t + v, t - half, v - t, t);
    o[12] = diagonal(m + r, 5 * t + v, half - t, v - t, t);
    o[13] = dot(m - 1, 3 * t + v, t);
    o[14] = dot(m - 1, t, t);
    o[15] = dot(m - 1, 5 * t + 2 * v, t);
    return o;
}

namespace {

struct MaskTable {
    std::array<quint16, 256> mask{};

    constexpr void set(const char *chars, quint16 m)
    {
        for (; *chars; ++chars)
            mask[static_cast<unsigned char>(*chars)] = m;
    }

    constexpr MaskTable()
    {
        set("0", 0x1277);
        set("1I", 0x0180);
        set("2", 0x005D);
        set("3", 0x006D);
        set("4", 0x002E);
        set("5S", 0x006B);
        set("6G", 0x007B);
        set("7", 0x0025);
        set("8", 0x007F);
        set("9", 0x006F);
        set("A", 0x003F);
        set("B", 0x01ED);
        set("C[", 0x0053);
        set("D", 0x01E5);
        set("E", 0x005B);
        set("F", 0x001B);
        set("H", 0x003E);
        set("J", 0x0074);
        set("K", 0x141A);
        set("L", 0x0052);
        set("M", 0x0636);
        set("N", 0x1236);
        set("O", 0x0077);
        set("P", 0x001F);
        set("Q", 0x1077);
        set("R", 0x101F);
        set("T", 0x0181);
        set("U", 0x0076);
        set("V", 0x0C12);
        set("W", 0x1836);
        set("X", 0x1E00);
        set("Y", 0x0700);
        set("Z", 0x0C41);
        set("-", 0x0008);
        set("_", 0x0040);
        set("=", 0x0048);
        set("+", 0x0188);
        set("*", 0x1F80);
        set("/", 0x0C00);
        set("\\", 0x1200);
        set("(<", 0x1400);
        set(")>", 0x0A00);
        set("]", 0x0065);
        set(".", 0x8000);
        set(":", 0xA000);
        set("\"", 0x0082);
        set("'", 0x0080);
        for (int c = 'a'; c <= 'z'; ++c)
            mask[c] = mask[c - 'a' + 'A'];
    }
};

constexpr MaskTable kMasks;

} // namespace

quint16 segmentsForChar(uint code)
{
    return code < 256 ? kMasks.mask[code] : 0;
}

QString integerText(qint32 value, int digits)
{
    if (digits <= 0)
        return QString();
    const qint64 v = value;
    const QString magnitude = QString::number(v < 0 ? -v : v);
    const int len = int(magnitude.size()) + (v < 0 ? 1 : 0);
    if (len > digits)
        return QString(digits, QLatin1Char('-'));
    const QString zeros(digits - len, QLatin1Char('0'));
    return v < 0 ? QLatin1Char('-') + zeros + magnitude : zeros + magnitude;
}

} // namespace led
