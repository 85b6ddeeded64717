// Render time per ticket: a typical order ticket from the shipped 80 mm template,
// prepared and rendered to ESC/POS, to text and to PDF.
#include "sample_ticket.h"

#include "platform/report/renderers.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;
using namespace cookhub::report;

namespace {

Report loadedSample()
{
    Report report;
    if (!report.loadFromFile(QString::fromUtf8(COOKHUB_REPORTS_SOURCE_DIR) + u"/80格式/dcd.rmf"_s))
        qFatal("%s", qPrintable(report.lastError().toString()));
    sample::fill(&report, u"点菜单"_s);
    return report;
}

void PrepareTicket(benchmark::State& state)
{
    const Report report = loadedSample();
    for (auto _ : state)
        benchmark::DoNotOptimize(report.prepare());
}

void PrepareAndRenderEscPos(benchmark::State& state)
{
    const Report report = loadedSample();
    for (auto _ : state)
        benchmark::DoNotOptimize(renderEscPos(report.prepare()));
}

void PrepareAndRenderText(benchmark::State& state)
{
    const Report report = loadedSample();
    for (auto _ : state)
        benchmark::DoNotOptimize(renderText(report.prepare()));
}

void PrepareAndRenderPdf(benchmark::State& state)
{
    const Report report = loadedSample();
    for (auto _ : state)
        benchmark::DoNotOptimize(renderPdf(report.prepare()));
}

}  // namespace

BENCHMARK(PrepareTicket)->Unit(benchmark::kMicrosecond);
BENCHMARK(PrepareAndRenderEscPos)->Unit(benchmark::kMicrosecond);
BENCHMARK(PrepareAndRenderText)->Unit(benchmark::kMicrosecond);
BENCHMARK(PrepareAndRenderPdf)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
