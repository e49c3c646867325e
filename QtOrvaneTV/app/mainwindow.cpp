#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "session/globalmanager.h"
#include "ui/helpers.h"

#include <QtDebug>

MainWindow::MainWindow(QWidget *parent, QtOVCoreAPIFramework *framework, Settings *settings)
    : QMainWindow(parent), ui(new Ui::MainWindow), settings(settings), framework(framework)
{
    qInfo("Version %sb%s", qPrintable(Helpers::getVersion()), qPrintable(Helpers::getBuild()));
    ui->setupUi(this);
    m_appInfo = QStringLiteral("Orvane TV");
    const QString fullVersion = Helpers::getFullVersion();
    if (!fullVersion.isEmpty())
        m_appInfo = tr("Orvane TV v%1").arg(fullVersion);
    setWindowTitle(m_appInfo);
    GlobalManager::sharedInstance()->setFramework(framework);
}

MainWindow::~MainWindow()
{
    delete ui;
}
