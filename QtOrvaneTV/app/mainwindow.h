#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>

class QtOVCoreAPIFramework;
class Settings;

namespace Ui {
class MainWindow;
}

// The viewer's one top-level window. Every screen of a session is placed in
// its black central area; the client and the settings store belong to main().
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(QWidget *parent, QtOVCoreAPIFramework *framework, Settings *settings);
    ~MainWindow() override;

    QString appInfo() const { return m_appInfo; }

private:
    Ui::MainWindow *ui;
    Settings *settings;
    QtOVCoreAPIFramework *framework;
    QString m_appInfo;
};

#endif // MAINWINDOW_H
