#include "ui/aspectratiosingleitemlayout.h"

#include <QWidget>

AspectRatioSingleItemLayout::AspectRatioSingleItemLayout(QWidget *parent, double aspectRatio)
    : QLayout(parent)
    , m_aspectRatio(aspectRatio)
{ }

AspectRatioSingleItemLayout::~AspectRatioSingleItemLayout()
{
    delete m_item;
}

void AspectRatioSingleItemLayout::setAspectRatio(double aspectRatio)
{
    m_aspectRatio = aspectRatio;
    invalidate();
}

void AspectRatioSingleItemLayout::addItem(QLayoutItem *item)
{
    delete m_item;
    m_item = item;
    if (m_item)
        m_item->setAlignment({});
}

Qt::Orientations AspectRatioSingleItemLayout::expandingDirections() const
{
    return Qt::Horizontal | Qt::Vertical;
}

QSize AspectRatioSingleItemLayout::minimumSize() const
{
    const int margin2 = 2 * margin();
    return (m_item ? m_item->minimumSize() : QSize(0, 0)) + QSize(margin2, margin2);
}

QSize AspectRatioSingleItemLayout::sizeHint() const
{
    const int margin2 = 2 * margin();
    return (m_item ? m_item->sizeHint() : QSize(0, 0)) + QSize(margin2, margin2);
}

void AspectRatioSingleItemLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    if (!m_item || m_aspectRatio <= 0)
        return;
    const int m = margin();
    const int availableWidth = rect.width() - 2 * m;
    const int availableHeight = rect.height() - 2 * m;
    int height = availableHeight;
    int width = int(availableHeight * m_aspectRatio);
    const Qt::Alignment alignment = this->alignment();
    const auto place = [this](const QRect &geometry) {
        if (QWidget *target = m_item->widget())
            target->setGeometry(geometry);
        else
            m_item->setGeometry(geometry);
    };
    if (availableWidth < width) {
        // Too wide: full width, placed vertically.
        width = availableWidth;
        height = int(availableWidth / m_aspectRatio);
        int y = m + (availableHeight - height) / 2;
        if (alignment & Qt::AlignTop)
            y = m;
        else if (alignment & Qt::AlignBottom)
            y = rect.height() - m - height;
        place(QRect(rect.x() + m, rect.y() + y, width, height));
    } else {
        int x = m + (availableWidth - width) / 2;
        if (alignment & Qt::AlignLeft)
            x = m;
        else if (alignment & Qt::AlignRight)
            x = rect.width() - m - width;
        place(QRect(rect.x() + x, rect.y() + m, width, height));
    }
}

QLayoutItem *AspectRatioSingleItemLayout::itemAt(int index) const
{
    return index == 0 ? m_item : nullptr;
}

QLayoutItem *AspectRatioSingleItemLayout::takeAt(int)
{
    QLayoutItem *item = m_item;
    m_item = nullptr;
    return item;
}

int AspectRatioSingleItemLayout::count() const
{
    return m_item ? 1 : 0;
}

bool AspectRatioSingleItemLayout::hasHeightForWidth() const
{
    return false;
}

int AspectRatioSingleItemLayout::heightForWidth(int width) const
{
    const int margin2 = 2 * margin();
    return margin2 + int((width - margin2) / m_aspectRatio);
}

QWidget *AspectRatioSingleItemLayout::widget()
{
    return m_item ? m_item->widget() : nullptr;
}
