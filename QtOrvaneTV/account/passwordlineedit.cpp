#include "account/passwordlineedit.h"

#include <QAction>
#include <QPainter>

namespace {

// The icon in white, its shape (alpha) kept.
QPixmap whitened(const QString &path)
{
    QPixmap pixmap(path);
    if (pixmap.isNull())
        return pixmap;
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), Qt::white);
    return pixmap;
}

} // namespace

PasswordLineEdit::PasswordLineEdit(QWidget *parent)
    : AppLineEdit(parent)
    , shownIcon(whitened(QStringLiteral("://eye_shown.svg")))
    , hiddenIcon(whitened(QStringLiteral("://eye_hidden.png")))
{
    setStyleSheet(QStringLiteral("QLineEdit {\n"
                                 "border-radius: 0px;\n"
                                 "height: 30px;\n"
                                 "margin: 0px;\n"
                                 "}\n"));
    action = addAction(QIcon(hiddenIcon), QLineEdit::TrailingPosition);
    action->setObjectName(QStringLiteral("showPasswordAction"));
    connect(action, &QAction::triggered, this, &PasswordLineEdit::togglePasswordShown);
    applyShown();
    setError(false);
}

void PasswordLineEdit::togglePasswordShown()
{
    passwordShown = !passwordShown;
    applyShown();
}

void PasswordLineEdit::applyShown()
{
    setEchoMode(passwordShown ? QLineEdit::Normal : QLineEdit::Password);
    action->setIcon(QIcon(passwordShown ? shownIcon : hiddenIcon));
}
