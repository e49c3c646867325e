#include "ui/flowlayout.h"

#include "ui/headerwidget.h"

#include <QWidget>

FlowLayout::FlowLayout(QWidget *parent, int margin, int hSpacing, int vSpacing, HeightCallback heightChange)
    : QLayout(parent)
    , m_hSpace(hSpacing)
    , m_vSpace(vSpacing)
    , heightChange(std::move(heightChange))
{
    if (margin >= 0)
        setContentsMargins(margin, margin, margin, margin);
}

FlowLayout::FlowLayout(int margin, int hSpacing, int vSpacing, HeightCallback heightChange)
    : FlowLayout(nullptr, margin, hSpacing, vSpacing, std::move(heightChange))
{ }

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem *item)
{
    itemList.append(item);
}

int FlowLayout::horizontalSpacing() const
{
    return m_hSpace >= 0 ? m_hSpace : smartSpacing(QStyle::PM_LayoutHorizontalSpacing);
}

int FlowLayout::verticalSpacing() const
{
    return m_vSpace >= 0 ? m_vSpace : smartSpacing(QStyle::PM_LayoutVerticalSpacing);
}

int FlowLayout::count() const
{
    return itemList.size();
}

QLayoutItem *FlowLayout::itemAt(int index) const
{
    return itemList.value(index);
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= itemList.size())
        return nullptr;
    return itemList.takeAt(index);
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    return doLayout(QRect(0, 0, width, 0), true);
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    const int height = doLayout(rect, false);
    if (height != lastHeight) {
        lastHeight = height;
        if (heightChange)
            heightChange(height);
    }
}

QSize FlowLayout::sizeHint() const
{
    return minimumSize();
}

QSize FlowLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem *item : itemList) {
        if (item->minimumSize() != QSize(0, 0))
            size = size.expandedTo(item->maximumSize());
    }
    const QMargins margins = contentsMargins();
    size += QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
    return size;
}

int FlowLayout::doLayout(const QRect &rect, bool testOnly) const
{
    int left, top, right, bottom;
    getContentsMargins(&left, &top, &right, &bottom);
    const QRect effective = rect.adjusted(+left, +top, -right, -bottom);
    int x = effective.x();
    int y = effective.y();
    int lineHeight = 0;

    for (QLayoutItem *item : itemList) {
        const QWidget *widget = item->widget();
        int spaceX = horizontalSpacing();
        int spaceY = verticalSpacing();
        if (widget && spaceX == -1)
            spaceX = widget->style()->layoutSpacing(QSizePolicy::PushButton, QSizePolicy::PushButton,
                                                    Qt::Horizontal);
        if (widget && spaceY == -1)
            spaceY = widget->style()->layoutSpacing(QSizePolicy::PushButton, QSizePolicy::PushButton,
                                                    Qt::Vertical);
        const QSize hint = item->sizeHint();

        const bool header = qobject_cast<const HeaderWidget *>(widget) != nullptr;
        if (header || (x + hint.width() > effective.x() + effective.width() && lineHeight > 0)) {
            x = effective.x();
            y = y + lineHeight + spaceY;
            lineHeight = 0;
        }
        if (!testOnly)
            item->setGeometry(QRect(QPoint(x, y), hint));
        x = x + hint.width() + spaceX;
        lineHeight = qMax(lineHeight, hint.height());
    }
    return y + lineHeight + bottom - rect.y();
}

int FlowLayout::smartSpacing(QStyle::PixelMetric metric) const
{
    QObject *parentObject = parent();
    if (!parentObject)
        return -1;
    if (parentObject->isWidgetType()) {
        auto *parentWidget = static_cast<QWidget *>(parentObject);
        return parentWidget->style()->pixelMetric(metric, nullptr, parentWidget);
    }
    return static_cast<QLayout *>(parentObject)->spacing();
}
