#ifndef FLOWLAYOUT_H
#define FLOWLAYOUT_H

#include <QLayout>
#include <QList>
#include <QStyle>

#include <functional>

// Lays its items out left to right in rows that wrap at the right edge; a
// HeaderWidget always begins a new row. Reports each new total height to a
// callback, so the owner can size its scroll contents.
class FlowLayout : public QLayout
{
public:
    using HeightCallback = std::function<void(int)>;

    explicit FlowLayout(
        QWidget *parent, int margin = -1, int hSpacing = -1, int vSpacing = -1,
        HeightCallback heightChange = [](int) {});
    explicit FlowLayout(
        int margin = -1, int hSpacing = -1, int vSpacing = -1, HeightCallback heightChange = [](int) {});
    ~FlowLayout() override;

    void addItem(QLayoutItem *item) override;
    Qt::Orientations expandingDirections() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    int count() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

    int horizontalSpacing() const;
    int verticalSpacing() const;

private:
    int doLayout(const QRect &rect, bool testOnly) const;
    int smartSpacing(QStyle::PixelMetric metric) const;

    QList<QLayoutItem *> itemList;
    int m_hSpace;
    int m_vSpace;
    int lastHeight = 0;
    HeightCallback heightChange;
};

#endif // FLOWLAYOUT_H
