#ifndef TOKENSTORE_H
#define TOKENSTORE_H

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class Settings;

namespace QKeychain {
class Job;
}

// Where the session's auth token is kept between runs: the desktop's secret
// store (the freedesktop Secret Service, or KWallet) when one answers, otherwise
// the settings file, which only the user can read.
//
// A token entry in the settings file, even an empty one, is the newer word: it
// is there because the secret store failed when the token last changed (or an
// earlier version wrote it). At start it is used as it stands, then moved into
// the secret store and taken out of the file once the store has it.
//
// Every read and write runs asynchronously: the secret store is another process
// behind the session bus, and may even be waiting for the person to unlock it.
// Writes are kept in order, and when several are handed over while one is under
// way only the last of them is stored.
class TokenStore : public QObject
{
    Q_OBJECT

public:
    // Where the token was kept by the last operation that finished.
    enum class Place { Unknown, SecretStore, SettingsFile };
    Q_ENUM(Place)

    // The viewer's store, kept beside its settings.
    static TokenStore *sharedInstance();

    // fallback: the settings that hold the token when no secret store answers.
    // The token's entry in the secret store is named after the settings file, so
    // that a second settings folder (another profile) has a token of its own.
    explicit TokenStore(Settings *fallback, QObject *parent = nullptr);
    ~TokenStore() override;

    // Starts reading the stored token; loaded() answers once for each call, also
    // when the secret store fails or does not answer within jobTimeLimitMs.
    void load();
    // The token last loaded or handed to save() in this run.
    QString token() const { return m_token; }
    // Keeps token and stores it; an empty token forgets the stored one.
    void save(const QString &token);
    // Whether a write handed over is still on its way.
    bool isSaving() const { return m_writing; }
    Place place() const { return m_place; }

    // How long a read or write may take before the secret store counts as failed
    // (a locked store may be waiting for its password, or not answering at all).
    static constexpr int jobTimeLimitMs = 15000;
    // For the suites only, which should not wait the whole limit.
    void setJobTimeLimitForTesting(int ms) { m_jobTimer.setInterval(ms); }

signals:
    void loaded(const QString &token);
    // Every write handed over so far has finished (stored, or fallen back).
    void saved();

private:
    void startJob(QKeychain::Job *job, const std::function<void(bool ok, bool absent)> &done);
    void jobTimedOut();
    void writeNext();
    // The secret store failed: the settings file holds the token from now on.
    void fallBack(const QString &why);
    void answerLoad(const QString &token);
    QString entryKey() const;

    Settings *m_settings;
    QString m_token;
    // The value the store should end up with, and whether a job is writing it.
    QString m_wanted;
    bool m_writing = false;
    // A load waiting for the secret store, and whether save() was called since.
    bool m_loading = false;
    bool m_savedWhileLoading = false;
    // Cleared when the secret store fails; every later write goes to the file.
    bool m_secretStoreUsable = true;
    Place m_place = Place::Unknown;
    // The job under way (one at a time) and its time limit.
    QKeychain::Job *m_job = nullptr;
    std::function<void(bool ok, bool absent)> m_jobDone;
    QTimer m_jobTimer;
};

#endif // TOKENSTORE_H
