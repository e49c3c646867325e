#ifndef PLAYERSETTINGSCELLWIDGET_H
#define PLAYERSETTINGSCELLWIDGET_H

#include <QWidget>

namespace Ui {
class PlayerSettingsCellWidget;
}

// One row of the player settings: a title, the current value under it and a
// chevron to the list of values.
class PlayerSettingsCellWidget : public QWidget
{
    Q_OBJECT

public:
    PlayerSettingsCellWidget(QWidget *parent, const QString &title, const QString &subtitle);
    ~PlayerSettingsCellWidget() override;

    QString getTitle() const;
    QString subtitle() const;
    void setSubtitle(const QString &subtitle);

private:
    Ui::PlayerSettingsCellWidget *ui;
};

#endif // PLAYERSETTINGSCELLWIDGET_H
