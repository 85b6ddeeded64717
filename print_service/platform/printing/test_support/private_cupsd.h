// A CUPS scheduler of the tests' own: Debian's cupsd with every file in a temporary
// folder, listening only on a Unix socket there, and the test process's client pointed
// at it (CUPS_SERVER, CUPS_SERVERROOT, cupsSetServer).
//
// It must never touch the machine's own CUPS: no port, no file outside its folder, and
// the client never falls back to the system scheduler while it runs.
#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace cookhub::printing::testing {

struct QueueSetup {
    QString name;
    QString deviceUri;
    QString ppdFile;  // empty: a raw queue
    bool accepting = true;
};

class PrivateCupsd {
  public:
    PrivateCupsd();
    ~PrivateCupsd();
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    // The cupsd binary, empty when CUPS' scheduler is not installed.
    static QString schedulerBinary();

    // Writes the configuration with these queues, starts cupsd and waits until it
    // answers. On failure `error` says why (with the end of cupsd's error log).
    bool start(const QList<QueueSetup>& queues, QString* error);
    // Stops cupsd; the client stays pointed at its socket, so CUPS is down for it.
    void stop();

    QString folder() const { return folder_.path(); }
    QString socketPath() const;
    QString errorLogTail() const;

    // The administrative requests the tests need (as cupsdisable and cupsenable do).
    bool pauseQueue(const QString& name);
    bool resumeQueue(const QString& name);

  private:
    bool queueRequest(int operation, const QString& name);
    void pointClientHere();

    QTemporaryDir folder_;
    std::unique_ptr<QProcess> process_;
};

}  // namespace cookhub::printing::testing
