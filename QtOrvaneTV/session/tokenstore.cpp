#include "session/tokenstore.h"

#include "session/settings.h"

#include <QDebug>

#include <qt5keychain/keychain.h>

namespace {

// The service the token's entry is filed under in the secret store.
const QString secretService = QStringLiteral("Orvane TV");

} // namespace

TokenStore *TokenStore::sharedInstance()
{
    static TokenStore *instance = new TokenStore(Settings::sharedInstance());
    return instance;
}

TokenStore::TokenStore(Settings *fallback, QObject *parent)
    : QObject(parent)
    , m_settings(fallback)
{
    m_jobTimer.setSingleShot(true);
    m_jobTimer.setInterval(jobTimeLimitMs);
    connect(&m_jobTimer, &QTimer::timeout, this, &TokenStore::jobTimedOut);
}

TokenStore::~TokenStore()
{
    // A job still under way deletes itself when it ends; it must not call back.
    if (m_job)
        m_job->disconnect(this);
}

QString TokenStore::entryKey() const
{
    return QStringLiteral("authToken@") + m_settings->fileName();
}

void TokenStore::load()
{
    m_savedWhileLoading = false;
    if (m_settings->holdsAuthToken()) {
        // The file has the newer word; the secret store is brought up to it.
        const QString token = m_settings->getAuthToken();
        m_place = Place::SettingsFile;
        answerLoad(token);
        if (m_secretStoreUsable && !m_writing) {
            m_wanted = token;
            m_writing = true;
            writeNext();
        }
        return;
    }
    if (!m_secretStoreUsable || m_job) {
        // Nothing in the file, and the store failed earlier in this run (or is
        // busy with a write, which then holds the newest token): what we know.
        answerLoad(m_token);
        return;
    }
    m_loading = true;
    auto *job = new QKeychain::ReadPasswordJob(secretService);
    startJob(job, [this, job](bool ok, bool absent) {
        m_loading = false;
        if (ok || absent)
            m_place = Place::SecretStore;
        else
            fallBack(job->errorString());
        const QString token = ok ? job->textData() : QString();
        answerLoad(m_savedWhileLoading ? m_token : token);
    });
}

void TokenStore::answerLoad(const QString &token)
{
    m_token = token;
    emit loaded(token);
}

void TokenStore::save(const QString &token)
{
    m_token = token;
    m_wanted = token;
    if (m_loading)
        m_savedWhileLoading = true;
    if (m_writing)
        return; // stored once the write under way has finished
    m_writing = true;
    writeNext();
}

void TokenStore::writeNext()
{
    if (m_job)
        return; // a read under way; the write follows it
    const QString value = m_wanted;
    if (!m_secretStoreUsable) {
        m_settings->setAuthToken(value);
        m_place = Place::SettingsFile;
        m_writing = false;
        emit saved();
        return;
    }
    QKeychain::Job *job;
    if (value.isEmpty()) {
        job = new QKeychain::DeletePasswordJob(secretService);
    } else {
        auto *write = new QKeychain::WritePasswordJob(secretService);
        write->setTextData(value);
        job = write;
    }
    startJob(job, [this, job, value](bool ok, bool absent) {
        if (ok || absent) {
            // The store has it: the file's entry is no longer the newer word.
            if (m_settings->holdsAuthToken())
                m_settings->removeAuthToken();
            m_place = Place::SecretStore;
        } else {
            fallBack(job->errorString());
            m_settings->setAuthToken(value);
        }
        if (m_wanted != value) {
            writeNext();
            return;
        }
        m_writing = false;
        emit saved();
    });
}

void TokenStore::startJob(QKeychain::Job *job, const std::function<void(bool, bool)> &done)
{
    job->setAutoDelete(true);
    job->setKey(entryKey());
    m_job = job;
    m_jobDone = done;
    connect(job, &QKeychain::Job::finished, this, [this](QKeychain::Job *finished) {
        if (finished != m_job)
            return;
        m_jobTimer.stop();
        m_job = nullptr;
        const auto callback = std::move(m_jobDone);
        callback(finished->error() == QKeychain::NoError, finished->error() == QKeychain::EntryNotFound);
        if (!m_job && m_writing)
            writeNext();
    });
    m_jobTimer.start();
    job->start();
}

void TokenStore::jobTimedOut()
{
    if (!m_job)
        return;
    // Whatever the job still does, it is not waited for: the file takes over,
    // and its entry outranks anything the late job might yet write.
    QKeychain::Job *late = m_job;
    late->disconnect(this);
    m_job = nullptr;
    const auto callback = std::move(m_jobDone);
    m_secretStoreUsable = false;
    qWarning("The secret store did not answer within %d ms", m_jobTimer.interval());
    callback(false, false);
    if (!m_job && m_writing)
        writeNext();
}

void TokenStore::fallBack(const QString &why)
{
    if (m_secretStoreUsable)
        qWarning("The secret store failed (%s); the session is kept in the settings file", qPrintable(why));
    m_secretStoreUsable = false;
    m_place = Place::SettingsFile;
}
