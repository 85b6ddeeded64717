// Printing and queue counts through the CUPS scheduler named by the usual client
// configuration (CUPS_SERVER, client.conf, or the local scheduler).
//
// Every call opens and closes its own connection: libcups' default connection is per
// thread and keeps state between calls, and the worker and the main thread both come
// here. Nothing here may print to a destination other than the one named, and nothing
// may report a job as accepted before the scheduler has finished taking its document.
#include "cups_printers.h"

#include <cups/cups.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace cookhub::printing {

namespace {

// Long enough for a loaded local scheduler, short enough that the worker does not
// hang on a missing remote one.
constexpr int connectTimeoutMs = 3000;

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
using Connection = std::unique_ptr<http_t, HttpClose>;

struct IppDelete {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppMessage = std::unique_ptr<ipp_t, IppDelete>;

Connection connectToScheduler() {
    return Connection(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                   connectTimeoutMs, nullptr));
}

QString lastCupsError() {
    return QString::fromUtf8(cupsLastErrorString());
}

QString unreachable() {
    return u"CUPS cannot be reached at %1"_s.arg(QString::fromUtf8(cupsServer()));
}

JobResult refused(const QString& printer, const QString& why) {
    return {false, 0, u"printer \"%1\": %2"_s.arg(printer, why)};
}

struct QueueFacts {
    bool found = false;
    bool raw = false;
    QString error;
};

QueueFacts askQueue(http_t* http, const QByteArray& name) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", name.constData());
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    static const char* const wanted[] = {"printer-make-and-model", "printer-name"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                  wanted);

    const IppMessage response(cupsDoRequest(http, request, "/"));  // frees the request
    QueueFacts facts;
    if (!response || cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        facts.error =
            cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND ? u"no such printer"_s : lastCupsError();
        return facts;
    }
    facts.found = true;
    ipp_attribute_t* model =
        ippFindAttribute(response.get(), "printer-make-and-model", IPP_TAG_ZERO);
    facts.raw =
        isRawQueueModel(model ? QString::fromUtf8(ippGetString(model, 0, nullptr)) : QString());
    return facts;
}

}  // namespace

bool isRawQueueModel(const QString& makeAndModel) {
    return makeAndModel.trimmed().compare(u"Local Raw Printer"_s, Qt::CaseInsensitive) == 0;
}

int cupsJobCount(const QString& printer) {
    // An empty name would count the jobs of every queue.
    if (printer.isEmpty())
        return -1;
    const Connection http = connectToScheduler();
    if (!http)
        return -1;
    cups_job_t* jobs = nullptr;
    const int count =
        cupsGetJobs2(http.get(), &jobs, printer.toUtf8().constData(), 0, CUPS_WHICHJOBS_ACTIVE);
    if (count > 0)
        cupsFreeJobs(count, jobs);
    return count < 0 ? -1 : count;
}

JobResult printToCups(const QString& printer, const Document& document) {
    // libcups reads an empty name as "the default destination".
    if (printer.isEmpty())
        return refused(printer, u"the printer name is empty"_s);
    const QByteArray name = printer.toUtf8();
    const Connection http = connectToScheduler();
    if (!http)
        return refused(printer, unreachable());

    const QueueFacts queue = askQueue(http.get(), name);
    if (!queue.found)
        return refused(printer, queue.error);

    const auto& render = queue.raw ? document.escPos : document.pdf;
    if (!render)
        return refused(printer, queue.raw
                                    ? u"the ticket has no ESC/POS rendering for this raw queue"_s
                                    : u"the ticket has no PDF rendering for this driver queue"_s);
    const QByteArray bytes = render();
    if (bytes.isEmpty())
        return refused(printer, u"the ticket rendered to nothing"_s);

    const QByteArray title = document.title.toUtf8();
    const int jobId = cupsCreateJob(http.get(), name.constData(), title.constData(), 0, nullptr);
    if (jobId <= 0)
        return refused(printer, lastCupsError());

    const char* format = queue.raw ? CUPS_FORMAT_RAW : CUPS_FORMAT_PDF;
    bool sent = cupsStartDocument(http.get(), name.constData(), jobId, title.constData(), format,
                                  1) == HTTP_STATUS_CONTINUE;
    sent = sent && cupsWriteRequestData(http.get(), bytes.constData(), size_t(bytes.size())) ==
                       HTTP_STATUS_CONTINUE;
    // Finishing is needed even after a failed write: it reads the scheduler's answer.
    const ipp_status_t status = cupsFinishDocument(http.get(), name.constData());
    if (!sent || status > IPP_STATUS_OK_EVENTS_COMPLETE) {
        const QString why = lastCupsError();
        // A created job without its document would stay held in the queue and block it.
        cupsCancelJob2(http.get(), name.constData(), jobId, 0);
        return refused(printer, why.isEmpty() ? u"the document was not taken"_s : why);
    }
    return {true, jobId, {}};
}

QStringList cupsDestinations() {
    QStringList names;
    const Connection http = connectToScheduler();
    if (!http)
        return names;
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(http.get(), &dests);
    for (int i = 0; i < count; ++i) {
        // Instances ("name/instance") are option sets of a queue, not printers of their own.
        if (dests[i].instance == nullptr)
            names.append(QString::fromUtf8(dests[i].name));
    }
    cupsFreeDests(count, dests);
    return names;
}

}  // namespace cookhub::printing
