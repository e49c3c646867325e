#include "ui/theme.h"

#include "ui/helpers.h"

#include <QFontDatabase>

namespace Theme {

const QColor mainBackground(0, 0, 0);
const QColor sectionBackground(QStringLiteral("#0A0C0E"));
const QColor appRed(QStringLiteral("#D31212"));
const QColor appBlue(QStringLiteral("#44A6DE"));
const QColor appGreen(QStringLiteral("#1B943D"));
const QColor appGreenL1(QStringLiteral("#25A84A"));
const QColor appGreenL2(QStringLiteral("#22CC33"));
const QColor appGreenL3(98, 209, 79, 204);
const QColor appGreenL4(98, 209, 79, 102);
const QColor appOrange(240, 78, 35, 255);
const QColor appOrangeL1(240, 78, 35, 51);
const QColor primaryText(255, 255, 255);
const QColor primaryTextL1(255, 255, 255, 204);
const QColor primaryTextL2(255, 255, 255, 153);
const QColor primaryTextL3(255, 255, 255, 127);
const QColor primaryTextL4(255, 255, 255, 102);
const QColor primaryTextL5(255, 255, 255, 51);
const QColor textFieldBackground(0, 0, 0, 102);
const QColor textFieldBorderL(QStringLiteral("#2A343A"));
const QColor cellBackground(QStringLiteral("#14181B"));
const QColor popupBackground(QStringLiteral("#161819"));
const QColor popupCellBackground(QStringLiteral("#242826"));
const QColor toolCellBackground(QStringLiteral("#3C4850"));
const QColor loadingDot(87, 99, 107);

QString styleColor(const QColor &color)
{
    return color.name(QColor::HexRgb);
}

void installFonts()
{
    Helpers::initResources();
    QString family;
    for (const char *face : {"Regular", "SemiBold", "Bold"}) {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral(":/fonts/Inter-%1.otf").arg(QLatin1String(face)));
        if (id >= 0 && family.isEmpty())
            family = QFontDatabase::applicationFontFamilies(id).value(0);
    }
    if (family.isEmpty())
        return; // the platform's default font stands in
    for (const char *name : {"HKGrotesk", "HK Grotesk", "HK Grotesk SemiBold", "HK Grotesk ExtraBold",
                             "HK Grotesk Black", "HK Grotesk Legacy", "HK Grotesk SemiBold Legacy"})
        QFont::insertSubstitution(QLatin1String(name), family);
}

QFont mainFont(int pointSize)
{
    QFont font(QStringLiteral("HKGrotesk"), pointSize, QFont::Normal, false);
    return font;
}

QFont boldFont(int pointSize)
{
    QFont font(QStringLiteral("HKGrotesk"), pointSize, QFont::Bold, false);
    return font;
}

} // namespace Theme
