// The tests' private cupsd. See private_cupsd.h for what it must never do.
#include "private_cupsd.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <cups/cups.h>

using namespace Qt::StringLiterals;

namespace cookhub::printing::testing {

namespace {

bool writeFile(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
}

}  // namespace

// Under /tmp, not $TMPDIR: a Unix socket path must stay under 108 bytes.
PrivateCupsd::PrivateCupsd() : folder_(u"/tmp/cookhub-cupsd-XXXXXX"_s) {}

PrivateCupsd::~PrivateCupsd() {
    stop();
}

QString PrivateCupsd::schedulerBinary() {
    return QStandardPaths::findExecutable(u"cupsd"_s,
                                          {u"/usr/sbin"_s, u"/usr/local/sbin"_s, u"/sbin"_s});
}

QString PrivateCupsd::socketPath() const {
    return folder_.filePath(u"cups.sock"_s);
}

bool PrivateCupsd::start(const QList<QueueSetup>& queues, QString* error) {
    const QString dir = folder_.path();
    // Filters and backends run as the unprivileged "lp" user and must reach the spool.
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                   QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                   QFile::ExeOther);
    for (const char* sub : {"ppd", "spool", "spool/tmp", "cache", "state", "log", "client"})
        QDir(dir).mkpath(QString::fromLatin1(sub));

    const QString cupsdConf =
        u"Listen %1\n"
        "LogLevel debug\n"
        "Browsing No\n"
        "WebInterface No\n"
        "DefaultAuthType None\n"
        "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"_s.arg(socketPath());
    const QString filesConf =
        u"ServerRoot %1\n"
        "RequestRoot %1/spool\n"
        "TempDir %1/spool/tmp\n"
        "CacheDir %1/cache\n"
        "StateDir %1/state\n"
        "AccessLog %1/log/access_log\n"
        "ErrorLog %1/log/error_log\n"
        "PageLog %1/log/page_log\n"
        "Printcap %1/printcap\n"
        "FileDevice Yes\n"
        "SystemGroup root\n"
        "Sandboxing relaxed\n"_s.arg(dir);
    QString printers;
    for (const QueueSetup& queue : queues) {
        printers += u"<Printer %1>\nDeviceURI %2\nState Idle\nAccepting %3\n</Printer>\n"_s.arg(
            queue.name, queue.deviceUri, queue.accepting ? u"Yes"_s : u"No"_s);
        if (!queue.ppdFile.isEmpty()) {
            const QString target = QDir(dir).filePath(u"ppd/%1.ppd"_s.arg(queue.name));
            if (!QFile::copy(queue.ppdFile, target)) {
                *error = u"cannot copy the PPD %1"_s.arg(queue.ppdFile);
                return false;
            }
        }
    }
    // The client's own configuration folder stays empty: no client.conf of the machine.
    if (!writeFile(dir + u"/cupsd.conf"_s, cupsdConf) ||
        !writeFile(dir + u"/cups-files.conf"_s, filesConf) ||
        !writeFile(dir + u"/printers.conf"_s, printers) ||
        !writeFile(dir + u"/client/client.conf"_s, {})) {
        *error = u"cannot write the configuration in %1"_s.arg(dir);
        return false;
    }

    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start(schedulerBinary(), {u"-f"_s, u"-c"_s, dir + u"/cupsd.conf"_s, u"-s"_s,
                                        dir + u"/cups-files.conf"_s});
    if (!process_->waitForStarted(5000)) {
        *error = u"cupsd did not start: %1"_s.arg(process_->errorString());
        return false;
    }

    pointClientHere();
    // Ready once it answers a request on its socket.
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        if (process_->state() != QProcess::Running)
            break;
        if (http_t* http = httpConnect2(socketPath().toUtf8().constData(), 0, nullptr, AF_LOCAL,
                                        HTTP_ENCRYPTION_NEVER, 1, 500, nullptr)) {
            cups_dest_t* dests = nullptr;
            const int count = cupsGetDests2(http, &dests);
            cupsFreeDests(count, dests);
            httpClose(http);
            if (count == int(queues.size()))
                return true;
        }
        QThread::msleep(50);
    }
    *error = u"cupsd did not come up:\n%1"_s.arg(errorLogTail());
    return false;
}

void PrivateCupsd::stop() {
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(5000)) {
            process_->kill();
            process_->waitForFinished(2000);
        }
    }
    process_.reset();
}

void PrivateCupsd::pointClientHere() {
    const QByteArray socket = socketPath().toUtf8();
    qputenv("CUPS_SERVER", socket);
    qputenv("CUPS_SERVERROOT", folder_.filePath(u"client"_s).toUtf8());
    cupsSetServer(socket.constData());
}

QString PrivateCupsd::errorLogTail() const {
    QFile log(folder_.filePath(u"log/error_log"_s));
    if (!log.open(QIODevice::ReadOnly))
        return u"(no error log)"_s;
    const QByteArray all = log.readAll();
    return QString::fromUtf8(all.right(3000));
}

bool PrivateCupsd::queueRequest(int operation, const QString& name) {
    http_t* http = httpConnect2(socketPath().toUtf8().constData(), 0, nullptr, AF_LOCAL,
                                HTTP_ENCRYPTION_NEVER, 1, 2000, nullptr);
    if (!http)
        return false;
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", name.toUtf8().constData());
    ipp_t* request = ippNewRequest(static_cast<ipp_op_t>(operation));
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippDelete(cupsDoRequest(http, request, "/admin/"));
    const bool ok = cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE;
    httpClose(http);
    return ok;
}

bool PrivateCupsd::pauseQueue(const QString& name) {
    return queueRequest(IPP_OP_PAUSE_PRINTER, name);
}

bool PrivateCupsd::resumeQueue(const QString& name) {
    return queueRequest(IPP_OP_RESUME_PRINTER, name);
}

}  // namespace cookhub::printing::testing
