// Renders a template with the sample ticket to OUT.pdf, OUT.txt and OUT.bin (ESC/POS):
// how the pictures in docs/tickets are made, and a quick look at a template being edited.
//   report_sample TEMPLATE.rmf TITLE OUT
#include "sample_ticket.h"

#include "platform/report/renderers.h"

#include <QFile>
#include <QGuiApplication>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace cookhub::report;

namespace {

bool save(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: report_sample TEMPLATE.rmf TITLE OUT\n");
        return 2;
    }
    Report report;
    if (!report.loadFromFile(args[1])) {
        std::fprintf(stderr, "%s\n", qPrintable(report.lastError().toString()));
        return 1;
    }
    sample::fill(&report, args[2]);
    const PreparedTicket ticket = report.prepare();
    const bool ok = save(args[3] + u".pdf"_s, renderPdf(ticket)) && save(args[3] + u".txt"_s, renderText(ticket))
                    && save(args[3] + u".bin"_s, renderEscPos(ticket));
    return ok ? 0 : 1;
}
