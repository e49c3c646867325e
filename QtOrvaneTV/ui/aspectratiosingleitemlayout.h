#ifndef ASPECTRATIOSINGLEITEMLAYOUT_H
#define ASPECTRATIOSINGLEITEMLAYOUT_H

#include <QLayout>

// Holds one item and keeps it at a fixed aspect ratio (width / height), as large
// as fits, placed by the layout's alignment (centred by default).
class AspectRatioSingleItemLayout : public QLayout
{
public:
    explicit AspectRatioSingleItemLayout(QWidget *parent = nullptr, double aspectRatio = 16.0 / 9.0);
    ~AspectRatioSingleItemLayout() override;

    void setAspectRatio(double aspectRatio);
    double aspectRatio() const { return m_aspectRatio; }

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
    QWidget *widget() override;

private:
    QLayoutItem *m_item = nullptr;
    double m_aspectRatio;
};

#endif // ASPECTRATIOSINGLEITEMLAYOUT_H
