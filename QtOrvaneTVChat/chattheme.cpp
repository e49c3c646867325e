#include "chattheme.h"

#include <QStringList>

#include <atomic>

namespace ChatTheme {

namespace {

std::atomic<int> flag{0};

} // namespace

int themeFlag()
{
    return flag;
}

void setThemeFlag(int value)
{
    flag = value;
}

QColor windowBackgroundColor()
{
    return themeFlag() == 1 ? QColor(25, 27, 32, 255) : QColor(QStringLiteral("#0F1214"));
}

QColor panelColor()
{
    return themeFlag() == 1 ? QColor(QStringLiteral("#2B3541")) : QColor(QStringLiteral("#23282a"));
}

QColor nameColor(const QString &name)
{
    static const QColor palette[] = {
        QColor(133, 211, 255), QColor(206, 194, 88), QColor(205, 90, 159),
        QColor(149, 191, 59),  QColor(249, 126, 37), QColor(97, 129, 242),
    };
    // The codes are added as signed 8-bit values, so accented Latin-1 letters
    // count negative; the remainder is taken as a non-negative number so that such
    // names still get a colour of the palette.
    int sum = 0;
    for (const QChar c : name) {
        const ushort code = c.unicode();
        sum += code <= 0xff ? int(static_cast<signed char>(code)) : 0;
    }
    const int count = int(sizeof(palette) / sizeof(palette[0]));
    return palette[((sum % count) + count) % count];
}

QString initials(const QString &name)
{
    QString result;
    for (const QString &word : name.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        result += word.at(0).toUpper();
    return result;
}

QColor linkColor()
{
    return QColor(249, 126, 37);
}

} // namespace ChatTheme
