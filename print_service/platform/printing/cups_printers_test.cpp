// Printing through a real CUPS scheduler started by the test (see PrivateCupsd): a raw
// queue whose device is a TCP port the test reads, as a kitchen thermal printer is
// installed; a driver queue (generic PDF PPD) whose device is a file; and a queue that
// refuses new jobs. Waits are on conditions with a generous deadline.
#include "platform/printing/printers.h"

#include "test_support/private_cupsd.h"
#include "test_support/tcp_listener.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <cups/cups.h>

#include <functional>
#include <mutex>

using namespace Qt::StringLiterals;

namespace cookhub::printing {
namespace {

using testing::PrivateCupsd;
using testing::QueueSetup;
using testing::TcpListener;

const QString genericPdfPpd = u"/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd"_s;

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 15000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

// A small valid PDF with one line of text, as a driver queue would get it.
QByteArray pdfWithText(const QByteArray& line) {
    const QByteArray content = "BT /F1 18 Tf 20 60 Td (" + line + ") Tj ET";
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 226 120] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
            "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

struct Renderings {
    int escPos = 0;
    int pdf = 0;
};

Document ticket(const QByteArray& escPos, const QByteArray& pdf, Renderings* asked) {
    return {u"点菜单 A01"_s,
            [asked, escPos] {
                ++asked->escPos;
                return escPos;
            },
            [asked, pdf] {
                ++asked->pdf;
                return pdf;
            },
            [] { return u"text"_s; }};
}

class CupsPrinting : public ::testing::Test {
  protected:
    void SetUp() override {
        if (PrivateCupsd::schedulerBinary().isEmpty())
            GTEST_SKIP() << "cupsd is not installed (Debian package cups-daemon): no CUPS "
                            "scheduler to test against";
        ASSERT_TRUE(QFileInfo::exists(genericPdfPpd))
            << "the generic PDF driver is missing: install cups-filters (scripts/setup.sh)";
        ASSERT_TRUE(QFileInfo::exists(u"/usr/lib/cups/backend/socket"_s))
            << "the socket backend is missing: install cups (scripts/setup.sh)";
        ASSERT_TRUE(thermalPort.listening());
        qunsetenv("COOKHUB_PRINTER_DIR");

        pdfDevice = cupsd.folder() + u"/kitchen-pdf.out"_s;
        const QList<QueueSetup> queues = {
            {u"kitchen-raw"_s, u"socket://127.0.0.1:%1"_s.arg(thermalPort.port()), {}, true},
            {u"kitchen-pdf"_s, u"file://"_s + pdfDevice, genericPdfPpd, true},
            {u"kitchen-closed"_s, u"file:///dev/null"_s, {}, false},
        };
        QString error;
        ASSERT_TRUE(cupsd.start(queues, &error)) << error.toStdString();
        // Never the machine's scheduler.
        ASSERT_EQ(QString::fromUtf8(cupsServer()), cupsd.socketPath());
    }

    QList<QByteArray> received() {
        std::lock_guard lock(receivedMutex);
        return receivedJobs;
    }

    std::mutex receivedMutex;
    QList<QByteArray> receivedJobs;
    // The thermal printer's raw port: what the socket backend sends, one entry per job.
    TcpListener thermalPort{[this](int socket) {
        const QByteArray job = testing::readUntilClosed(socket, 15000);
        std::lock_guard lock(receivedMutex);
        receivedJobs.append(job);
    }};
    PrivateCupsd cupsd;
    QString pdfDevice;
};

TEST_F(CupsPrinting, JobCountFollowsTheQueueOfThatPrinterOnly) {
    EXPECT_EQ(PrinterJobCount(u"kitchen-raw"_s), 0);
    ASSERT_TRUE(cupsd.pauseQueue(u"kitchen-raw"_s));

    Renderings asked;
    const JobResult job =
        printDocument(u"kitchen-raw"_s, ticket("\x1b@ticket\x1dV\x00", {}, &asked));
    ASSERT_TRUE(job.accepted) << job.error.toStdString();
    EXPECT_GT(job.jobId, 0);
    EXPECT_EQ(PrinterJobCount(u"kitchen-raw"_s), 1);  // held by the stopped queue
    EXPECT_EQ(PrinterJobCount(u"kitchen-pdf"_s), 0);
    EXPECT_EQ(PrinterJobCount(u"no-such-printer"_s), -1);
    EXPECT_EQ(PrinterJobCount(u""_s), -1);  // not "every queue"

    ASSERT_TRUE(cupsd.resumeQueue(u"kitchen-raw"_s));
    EXPECT_TRUE(waitUntil([] { return PrinterJobCount(u"kitchen-raw"_s) == 0; }))
        << cupsd.errorLogTail().toStdString();
    EXPECT_TRUE(waitUntil([this] { return received().size() == 1; }));
}

TEST_F(CupsPrinting, RawQueueGetsTheEscPosBytesUnchanged) {
    QByteArray escPos;
    for (int value = 0; value < 256; ++value) escPos.append(char(value));
    escPos += "\x1b@\x1c&\xb3\xf8\xb7\xbf\x1dV\x42\x00";  // init, Chinese mode, GBK text, cut

    Renderings asked;
    const JobResult job =
        printDocument(u"kitchen-raw"_s, ticket(escPos, pdfWithText("never"), &asked));
    ASSERT_TRUE(job.accepted) << job.error.toStdString();
    ASSERT_TRUE(waitUntil([this] { return received().size() == 1; }))
        << cupsd.errorLogTail().toStdString();
    EXPECT_EQ(received().first(), escPos);
    EXPECT_EQ(asked.escPos, 1);
    EXPECT_EQ(asked.pdf, 0);
}

TEST_F(CupsPrinting, DriverQueueGetsThePdf) {
    Renderings asked;
    const JobResult job = printDocument(
        u"kitchen-pdf"_s, ticket("\x1b@raw bytes", pdfWithText("KITCHEN TICKET 42"), &asked));
    ASSERT_TRUE(job.accepted) << job.error.toStdString();
    EXPECT_EQ(asked.pdf, 1);
    EXPECT_EQ(asked.escPos, 0);

    ASSERT_TRUE(waitUntil([this] {
        return PrinterJobCount(u"kitchen-pdf"_s) == 0 && QFileInfo(pdfDevice).size() > 0;
    })) << cupsd.errorLogTail().toStdString();
    QFile device(pdfDevice);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    // The generic driver wraps the PDF in a PJL job header, as a real office printer gets it.
    const QByteArray printed = device.readAll();
    EXPECT_TRUE(printed.contains("\n%PDF-") || printed.startsWith("%PDF-"))
        << printed.left(200).toStdString();

    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is missing: the PDF's text was not checked";
    QProcess extract;
    extract.start(pdftotext, {pdfDevice, u"-"_s});
    ASSERT_TRUE(extract.waitForFinished(10000));
    EXPECT_TRUE(extract.readAllStandardOutput().contains("KITCHEN TICKET 42"));
}

TEST_F(CupsPrinting, RefusedJobsAreNeverReportedAsPrinted) {
    Renderings asked;
    const Document good = ticket("\x1b@ok", pdfWithText("ok"), &asked);
    Document withoutPdf = good;
    withoutPdf.pdf = nullptr;
    struct Case {
        const char* why;
        QString printer;
        Document document;
    };
    const Case cases[] = {
        {"unknown destination", u"no-such-printer"_s, good},
        {"empty name (never the default printer)", u""_s, good},
        {"queue not accepting jobs", u"kitchen-closed"_s, good},
        {"driver queue without a PDF", u"kitchen-pdf"_s, withoutPdf},
        {"raw queue, ticket renders to nothing", u"kitchen-raw"_s, ticket({}, {}, &asked)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const JobResult job = printDocument(c.printer, c.document);
        EXPECT_FALSE(job.accepted);
        EXPECT_EQ(job.jobId, 0);
        EXPECT_FALSE(job.error.isEmpty());
    }
    // Nothing was left queued anywhere by a refusal.
    for (const QString& queue : {u"kitchen-raw"_s, u"kitchen-pdf"_s, u"kitchen-closed"_s})
        EXPECT_EQ(PrinterJobCount(queue), 0) << queue.toStdString();

    cupsd.stop();  // the scheduler is down
    const JobResult job = printDocument(u"kitchen-raw"_s, good);
    EXPECT_FALSE(job.accepted);
    EXPECT_EQ(job.jobId, 0);
    EXPECT_TRUE(job.error.contains(u"cannot be reached"_s)) << job.error.toStdString();
    EXPECT_EQ(PrinterJobCount(u"kitchen-raw"_s), -1);
    EXPECT_TRUE(systemPrinters().isEmpty());
    EXPECT_TRUE(received().isEmpty());
}

TEST_F(CupsPrinting, SystemPrintersAreTheSchedulersQueuesInOrder) {
    EXPECT_EQ(systemPrinters(),
              (QStringList{u"kitchen-closed"_s, u"kitchen-pdf"_s, u"kitchen-raw"_s}));
}

}  // namespace
}  // namespace cookhub::printing
