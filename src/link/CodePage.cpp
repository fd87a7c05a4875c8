#include "link/CodePage.h"

#include <array>

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the undefined ones stand for themselves.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

char16_t decodeByte(unsigned char b)
{
    return b >= 0x80 && b <= 0x9F ? kHigh[b - 0x80] : char16_t(b);
}

}  // namespace

QString DecodeConsoleText(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        d[i] = QChar(decodeByte(static_cast<unsigned char>(bytes[i])));
    return out;
}

QByteArray EncodeConsoleText(QStringView text, bool *exact)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    bool all = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int byte = -1;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            byte = c;
        } else {
            for (int k = 0; k < 32; ++k) {
                if (kHigh[k] == c) {
                    byte = 0x80 + k;
                    break;
                }
            }
        }
        if (byte < 0) {
            all = false;
            byte = '?';
        }
        out[i] = static_cast<char>(byte);
    }
    if (exact)
        *exact = all;
    return out;
}
