// orvane-crashreport: the part of crash reporting that runs outside the crashed
// process. With --write-log it resolves the crashed process's frame addresses
// with GNU addr2line, demangles them and writes the crash log, printing its path;
// with --show-message it tells the user where the log is.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>

#include "privatefiles.h"

#include <cerrno>
#include <cxxabi.h>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString supportAddress = QStringLiteral("support@orvane.tv");

struct Mapping
{
    quint64 start = 0;
    quint64 end = 0;
    quint64 offset = 0;
    QString path;
};

QVector<Mapping> readMappings(const QString &pid)
{
    QVector<Mapping> mappings;
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return mappings;
    const QList<QByteArray> lines = maps.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || !fields.at(5).startsWith('/'))
            continue;
        const QList<QByteArray> range = fields.at(0).split('-');
        Mapping mapping;
        mapping.start = range.value(0).toULongLong(nullptr, 16);
        mapping.end = range.value(1).toULongLong(nullptr, 16);
        mapping.offset = fields.at(2).toULongLong(nullptr, 16);
        mapping.path = QString::fromLocal8Bit(fields.mid(5).join(' '));
        mappings.append(mapping);
    }
    return mappings;
}

// Position-independent programs and shared libraries are resolved by their
// offset in the file's address space, fixed-address programs by the address.
bool isPositionIndependent(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray header = file.read(18);
    return header.size() == 18 && static_cast<unsigned char>(header.at(16)) == 3; // ET_DYN
}

QString hexAddress(quint64 address)
{
    return QStringLiteral("0x%1").arg(address, 16, 16, QLatin1Char('0'));
}

QString addr2lineTool(const QString &program)
{
    const QString beside = QFileInfo(program).absolutePath() + QStringLiteral("/tools/addr2line");
    if (QFileInfo::exists(beside))
        return beside;
    const QString system = QStandardPaths::findExecutable(QStringLiteral("addr2line"));
    return system.isEmpty() ? QStringLiteral("addr2line") : system;
}

QString addressToLine(const QString &tool, const QString &module, quint64 address)
{
    const QString addressText = hexAddress(address);
    const QStringList arguments
        = {QStringLiteral("-f"), QStringLiteral("-p"), QStringLiteral("-s"), QStringLiteral("-e"), module,
           addressText};
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, arguments, QIODevice::ReadOnly);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        return QStringLiteral("* Error running command\n   %1 %2\n   %3")
            .arg(tool, arguments.join(QLatin1Char(' ')), process.errorString());
    }
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return output == addressText ? QString() : output;
}

QString demangled(QString location)
{
    static const QRegularExpression symbol(QStringLiteral("^.*(_Z[^ ]+).*$"));
    const QRegularExpressionMatch match = symbol.match(location);
    if (!match.hasMatch())
        return location;
    int status = 0;
    char *name = abi::__cxa_demangle(match.captured(1).toLatin1().constData(), nullptr, nullptr, &status);
    if (status == 0 && name)
        location.replace(match.captured(1), QString::fromLatin1(name));
    std::free(name);
    return location;
}

// Writes the log under a name of its own, readable by the user alone: the name
// the crashed process chose, or, when a log of the same second is there already
// (two crashes in one second), that name with " 2", " 3"... before ".log". The
// path is changed to the one written.
bool writeNewLog(QString &path, const QByteArray &text)
{
    const QString stem = path.endsWith(QLatin1String(".log")) ? path.chopped(4) : path;
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString candidate = attempt == 1 ? path : QStringLiteral("%1 %2.log").arg(stem).arg(attempt);
        const int descriptor
            = ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        path = candidate;
        qint64 done = 0;
        while (done < text.size()) {
            const ssize_t wrote = ::write(descriptor, text.constData() + done, std::size_t(text.size() - done));
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0)
                break;
            done += wrote;
        }
        const bool complete = done == text.size() && ::fsync(descriptor) == 0;
        return ::close(descriptor) == 0 && complete;
    }
    return false;
}

int writeLog(const QStringList &arguments)
{
    const auto option = [&arguments](const QString &name) {
        const int index = arguments.indexOf(name);
        return index >= 0 ? arguments.value(index + 1) : QString();
    };
    const QString folder = option(QStringLiteral("--folder"));
    const QString application = option(QStringLiteral("--application"));
    const QString program = option(QStringLiteral("--program"));
    const bool singleFrame = arguments.contains(QStringLiteral("--single-frame"));
    const QStringList addresses = arguments.mid(arguments.indexOf(QStringLiteral("--")) + 1);
    // The crashed process names the log (so that it can still tell the person
    // where it would be when this program cannot run); without a name, one is made.
    const QDateTime now = QDateTime::currentDateTime();
    QString path = option(QStringLiteral("--path"));
    if (path.isEmpty()) {
        path = QStringLiteral("%1/%2 %3 Crash.log")
                   .arg(folder, now.toString(QStringLiteral("yyyyMMdd-HHmmss")), application);
    }

    const QVector<Mapping> mappings = readMappings(option(QStringLiteral("--pid")));
    const QString tool = addr2lineTool(program);
    QStringList frames;
    for (int i = 0; i < addresses.size(); ++i) {
        const quint64 address = addresses.at(i).toULongLong(nullptr, 16);
        // Return addresses point past their call; the call itself is one byte back.
        const quint64 lookup = i == 0 ? address : address - 1;
        QString module = program;
        quint64 relative = lookup;
        for (const Mapping &mapping : mappings) {
            if (lookup >= mapping.start && lookup < mapping.end) {
                module = mapping.path;
                if (isPositionIndependent(module))
                    relative = lookup - (mapping.start - mapping.offset);
                break;
            }
        }
        const QString location = demangled(addressToLine(tool, module, relative));
        frames << (singleFrame ? location
                               : QStringLiteral("[%1] %2 %3").arg(i).arg(hexAddress(address), location));
        if (singleFrame)
            break;
    }

    // The path is told only once the log is complete, so that whatever the
    // crashed process does with it finds the whole file.
    QByteArray text;
    QTextStream log(&text);
    log << application << " v" << option(QStringLiteral("--version")) << '\n'
        << now.toString(QStringLiteral("dd MMM yyyy @ HH:mm:ss")) << '\n'
        << '\n'
        << option(QStringLiteral("--exception")) << '\n'
        << '\n';
    for (const QString &frame : frames)
        log << frame << '\n';
    log.flush();
    PrivateFiles::makePrivateFolder(folder);
    const bool written = writeNewLog(path, text);
    QTextStream out(stdout);
    out << path << '\n';
    out.flush();
    return written ? 0 : 1;
}

int showMessage(int argc, char **argv)
{
    const bool written = QString::fromLocal8Bit(argv[2]) == QLatin1String("written");
    const QString path = QString::fromLocal8Bit(argv[3]);
    const QString application = QString::fromLocal8Bit(argv[4]);
    const QString title = QCoreApplication::translate("CrashReport", "%1 Crashed").arg(application);
    const QString text = written
        ? QCoreApplication::translate(
              "CrashReport",
              "Sorry, %1 has crashed. A log file was written to:\n\n%2\n\nPlease email this to %3.")
              .arg(application, path, supportAddress)
        : QCoreApplication::translate(
              "CrashReport",
              "Sorry, %1 has crashed and we could not write a log file to:\n\n%2\n\nPlease contact %3.")
              .arg(application, path, supportAddress);

    // Where no one can see a window (tests, headless runs), the text goes to a file.
    const QString copy = qEnvironmentVariable("ORVANE_CRASH_MESSAGE_FILE");
    if (!copy.isEmpty()) {
        QFile file(copy);
        if (file.open(QIODevice::WriteOnly))
            file.write((title + QLatin1Char('\n') + text).toUtf8());
        return 0;
    }
    QApplication app(argc, argv);
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::NoButton);
    return box.exec() >= 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 5 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--show-message"))
        return showMessage(argc, argv);
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--write-log"))
        return writeLog(app.arguments());
    QTextStream(stderr) << "usage: orvane-crashreport --write-log ... | --show-message written|not-written "
                           "PATH APPLICATION\n";
    return 2;
}
