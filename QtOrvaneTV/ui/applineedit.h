#ifndef APPLINEEDIT_H
#define APPLINEEDIT_H

#include <QLineEdit>

// A text field with three looks: idle, editing (while it has the focus) and
// error (until the next focus change or setError(false)).
class AppLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit AppLineEdit(QWidget *parent = nullptr);

    void setError(bool error);

public slots:
    void beginEditing();
    void endEditing();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void applyLook(const QColor &border, const QColor &background);
};

#endif // APPLINEEDIT_H
