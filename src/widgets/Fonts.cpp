#include "widgets/Fonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <cmath>

void installFontSubstitutions()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QStringList families = QFontDatabase::families();
    if (!families.contains(QStringLiteral("Verdana")))
        QFont::insertSubstitutions(QStringLiteral("Verdana"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    if (!families.contains(QStringLiteral("Courier")))
        QFont::insertSubstitutions(QStringLiteral("Courier"),
                                   {QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
}

QFont designFont(const QString &family, int pixels, bool bold)
{
    installFontSubstitutions();
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    if (family == QLatin1String("Courier"))
        f.setStyleHint(QFont::TypeWriter);
    return f;
}

int pointsToPixels(int points)
{
    return int(std::lround(points * 96.0 / 72.0));
}
