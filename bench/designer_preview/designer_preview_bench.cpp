// The work behind one preview of the template designer, for the shipped 80 mm and
// 58 mm order tickets: what must stay well inside the pause after typing (0.2 s).
#include "platform/report/renderers.h"
#include "settings/designer_core.h"
#include "settings/escpos_picture.h"

#include <QFile>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

QString shipped(const QString& name) {
    QFile file(QString::fromUtf8(COOKHUB_REPORTS_SOURCE_DIR) + u'/' + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return templateText(file.readAll());
}

void ParseAndPrepare(benchmark::State& state, const QString& name) {
    const QString text = shipped(name);
    TemplatePreview preview;
    for (auto _ : state) benchmark::DoNotOptimize(preview.update(text));
}

void PrinterPicture(benchmark::State& state, const QString& name) {
    TemplatePreview preview;
    preview.update(shipped(name));
    for (auto _ : state)
        benchmark::DoNotOptimize(drawPaperRoll(interpretEscPos(preview.escPos()),
                                               preview.ticket().paperMm, preview.ticket().columns));
}

void PdfPage(benchmark::State& state, const QString& name) {
    TemplatePreview preview;
    preview.update(shipped(name));
    for (auto _ : state) benchmark::DoNotOptimize(report::renderPdfPage(preview.ticket(), 8.0));
}

void WholePreview(benchmark::State& state, const QString& name) {
    const QString text = shipped(name);
    TemplatePreview preview;
    for (auto _ : state) {
        preview.update(text);
        benchmark::DoNotOptimize(drawPaperRoll(interpretEscPos(preview.escPos()),
                                               preview.ticket().paperMm, preview.ticket().columns));
        benchmark::DoNotOptimize(report::renderPdfPage(preview.ticket(), 8.0));
    }
}

}  // namespace

BENCHMARK_CAPTURE(ParseAndPrepare, dcd80, u"80格式/dcd.rmf"_s)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(PrinterPicture, dcd80, u"80格式/dcd.rmf"_s)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PdfPage, dcd80, u"80格式/dcd.rmf"_s)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholePreview, dcd80, u"80格式/dcd.rmf"_s)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholePreview, dcd58, u"58格式/dcd.rmf"_s)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
