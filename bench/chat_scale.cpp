// How the chat window copes with a busy channel: a second user sends messages
// at a steady rate into the workspace's channel of the local deployment while
// the window shows them. Prints one JSON line per figure:
//   the GUI thread's busiest second (CPU ms used in one wall second),
//   the longest the GUI thread was late for a 10 ms timer (responsiveness),
//   the peak resident memory, and how many messages the pane showed.
//   BENCH_MESSAGES (default 5000), BENCH_RATE per second (default 50)
#include "chatmanager.h"
#include "chattestsupport.h"
#include "globalmanager.h"
#include "mainwindow.h"
#include "rtmtypes.h"
#include "textchatwidget.h"

#include "guithreadprobe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <thread>

namespace {

struct Joined
    : orvane::rtm::IRtmServiceEventHandler
    , orvane::rtm::IChannelEventHandler
{
    std::atomic<bool> joined{false};
    void onJoinSuccess() override { joined = true; }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int total = qEnvironmentVariableIntValue("BENCH_MESSAGES") > 0
        ? qEnvironmentVariableIntValue("BENCH_MESSAGES")
        : 5000;
    const int rate
        = qEnvironmentVariableIntValue("BENCH_RATE") > 0 ? qEnvironmentVariableIntValue("BENCH_RATE") : 50;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    const QString annToken
        = ChatTestSupport::signIn(QStringLiteral("ann@orvane.test"), QStringLiteral("orvane-demo-1"));
    const QString chloeToken
        = ChatTestSupport::signIn(QStringLiteral("chloe@orvane.test"), QStringLiteral("orvane-demo-3"));
    const ChatAuth sender = ChatTestSupport::credentials(chloeToken, QStringLiteral("acme"),
                                                         QStringLiteral("41"), QStringLiteral("u-3|bench"));
    if (annToken.isEmpty() || sender.rtmToken.isEmpty()) {
        std::fprintf(stderr, "cannot sign in to the deployment\n");
        return 1;
    }

    GlobalManager manager;
    manager.setAuthToken(annToken);
    manager.setCompany(QStringLiteral("acme"));
    manager.setWorkspaceId(QStringLiteral("41"));
    manager.setWorkspaceName(QStringLiteral("North Site"));
    manager.setTextEnabled(true);
    MainWindow window;
    window.setGlobalManager(&manager);
    window.show();
    TextChatWidget *pane = window.findChild<TextChatWidget *>(QStringLiteral("textChatWidget"));

    Joined listener;
    std::unique_ptr<orvane::rtm::IRtmService> service(createRtmService());
    service->initialize(ChatManager::applicationId(), &listener);
    service->login(sender.rtmToken, sender.userId);
    orvane::rtm::IChannel *channel = service->createChannel(sender.channelId, &listener);
    channel->join();

    // Wait until the window is in the channel too (it names the sender once it is).
    QElapsedTimer waited;
    waited.start();
    while (!(listener.joined && window.chatManager()
             && window.chatManager()->userNames().contains(sender.userId))) {
        if (waited.elapsed() > 30000) {
            std::fprintf(stderr, "the window did not join the channel\n");
            return 1;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    std::thread sending([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < total; ++i) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(1000000LL * i / rate));
            orvane::rtm::IMessage *message = service->createMessage();
            message->setText(QString::fromUtf8(
                QJsonDocument(
                    QJsonObject{
                        {QStringLiteral("id"), QStringLiteral("u-3|%1").arg(i)},
                        {QStringLiteral("message"),
                         QStringLiteral("Message %1 from the field, with a few words to wrap").arg(i)},
                        {QStringLiteral("type"), QStringLiteral("normal")}})
                    .toJson(QJsonDocument::Compact)));
            channel->sendMessage(message, orvane::rtm::SendMessageOptions());
            message->release();
        }
    });

    double busiest = 0;
    double lastCpu = threadCpuMs();
    QTimer seconds;
    QObject::connect(&seconds, &QTimer::timeout, [&] {
        const double cpu = threadCpuMs();
        busiest = qMax(busiest, cpu - lastCpu);
        lastCpu = cpu;
    });
    seconds.start(1000);

    LatenessProbe probe;

    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 limitMs = 1000LL * total / rate + 60000;
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (pane->cellCount() >= total || elapsed.elapsed() > limitMs)
            app.quit();
    });
    done.start(100);
    app.exec();
    sending.join();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    printFigure("chat_scale", "chat_messages_shown", pane->cellCount(), "messages");
    printFigure("chat_scale", "chat_seconds_to_show_all", elapsed.elapsed() / 1000.0, "s");
    printFigure("chat_scale", "chat_gui_thread_busiest_second", busiest, "ms CPU per s");
    printFigure("chat_scale", "chat_gui_thread_worst_lateness", probe.worstLateness(), "ms");
    printFigure("chat_scale", "chat_peak_memory", usage.ru_maxrss / 1024.0, "MiB");
    channel->release();
    service->release();
    return pane->cellCount() >= total ? 0 : 1;
}
