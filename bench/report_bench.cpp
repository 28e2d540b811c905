// The "Test Report" page of a 10000-sample run: laid out and drawn into a
// 1200 dpi PDF page (QPdfWriter's resolution), as Print to PDF and
// kv2047-tool report make it. Beside it, where the time goes: the layout
// alone, and the five traces alone on a bare PDF page drawn three ways.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <memory>

#include "core/graph/ReportLayout.h"
#include "gui/report/ReportPage.h"

namespace {

constexpr int kSamples = 10000;

struct LiveRun {
    std::unique_ptr<kv::SampleStore> doc = std::make_unique<kv::SampleStore>();
    kv::RunState run;
    LiveRun() {
        run.n = kSamples;
        run.runStartTime = 1'700'000'000;
        run.intervalMs = 1000;
        for (int i = 0; i <= kSamples; ++i) {
            const float t = static_cast<float>(i);
            doc->live[kv::AIR][i] = 22.0f + 6.0f * std::sin(t / 700.0f);
            doc->live[kv::WB][i] = 17.0f + 5.0f * std::sin(t / 650.0f);
            doc->live[kv::DP][i] = 13.0f + 4.0f * std::sin(t / 800.0f);
            doc->live[kv::KIR][i] = 30.0f + 20.0f * std::sin(t / 450.0f);
            doc->live[kv::RH][i] = 55.0f + 15.0f * std::sin(t / 1100.0f + 1.0f);
        }
    }
    kv::ReportData data() const { return kv::liveReportData(*doc, run, 1'700'100'000); }
};

// The whole page: writer, layout, drawing and the PDF written out (to memory).
void BM_ReportPagePdf1200(benchmark::State& state) {
    const LiveRun live;
    const kv::ReportData data = live.data();
    qint64 bytes = 0;
    int dpi = 0;
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&out);
        pdf.setResolution(1200);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(3, 3, 3, 3),
                                      QPageLayout::Millimeter));
        QPainter p(&pdf);
        drawReport(p, QRectF(0, 0, pdf.width(), pdf.height()), pdf.logicalDpiX(), pdf.logicalDpiY(), data);
        p.end();
        bytes = out.size();
        dpi = pdf.logicalDpiX();
    }
    state.counters["pdf_bytes"] = static_cast<double>(bytes);
    state.counters["dpi"] = dpi;
    if (bytes == 0) state.SkipWithError("no PDF was written");
}
BENCHMARK(BM_ReportPagePdf1200)->Unit(benchmark::kMillisecond);

// The page's arithmetic alone: vertices, labels, grid.
void BM_ReportLayout(benchmark::State& state) {
    const LiveRun live;
    const kv::ReportData data = live.data();
    for (auto _ : state) benchmark::DoNotOptimize(kv::layoutReport(data));
}
BENCHMARK(BM_ReportLayout)->Unit(benchmark::kMillisecond);

// The traces alone on a bare 1200 dpi PDF page, three ways: segment by
// segment with a pen change each (chunk 1: later quantities covering earlier
// ones at every sample), polylines of `chunk` segments interleaved quantity by
// quantity (the order kept from chunk to chunk; the page draws 32), and one
// polyline per quantity (chunk 0).
void pdfTraces(benchmark::State& state, int chunk) {
    const LiveRun live;
    const kv::ReportLayout lay = kv::layoutReport(live.data());
    QPolygon polys[kv::kQuantities];
    for (int q = 0; q < kv::kQuantities; ++q)
        for (const kv::PagePoint& v : lay.trace[q]) polys[q] << QPoint(v.x, v.y);
    const QColor colours[kv::kQuantities] = {Qt::red, Qt::yellow, Qt::cyan, Qt::magenta, Qt::green};
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&out);
        pdf.setResolution(1200);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        QPainter p(&pdf);
        // Page units of 0.01 inch, y up, origin at the bottom-right corner.
        p.setWorldTransform(QTransform(12, 0, 0, -12, pdf.width(), pdf.height()));
        QPen pens[kv::kQuantities];
        for (int q = 0; q < kv::kQuantities; ++q) pens[q] = QPen(colours[q], 2.0);
        const int n = static_cast<int>(polys[0].size());
        if (chunk == 1) {
            for (int i = 0; i + 1 < n; ++i)
                for (int q = 0; q < kv::kQuantities; ++q) {
                    p.setPen(pens[q]);
                    p.drawLine(polys[q][i], polys[q][i + 1]);
                }
        } else if (chunk > 1) {
            for (int i = 0; i + 1 < n; i += chunk)
                for (int q = 0; q < kv::kQuantities; ++q) {
                    p.setPen(pens[q]);
                    p.drawPolyline(polys[q].constData() + i, std::min(chunk + 1, n - i));
                }
        } else {
            for (int q = 0; q < kv::kQuantities; ++q) {
                p.setPen(pens[q]);
                p.drawPolyline(polys[q]);
            }
        }
        p.end();
        benchmark::DoNotOptimize(out.size());
    }
}
void BM_PdfTracesPerSegment(benchmark::State& state) { pdfTraces(state, 1); }
BENCHMARK(BM_PdfTracesPerSegment)->Unit(benchmark::kMillisecond);
void BM_PdfTracesChunks(benchmark::State& state) { pdfTraces(state, static_cast<int>(state.range(0))); }
BENCHMARK(BM_PdfTracesChunks)->Arg(16)->Arg(32)->Arg(100)->Unit(benchmark::kMillisecond);
void BM_PdfTracesPolylines(benchmark::State& state) { pdfTraces(state, 0); }
BENCHMARK(BM_PdfTracesPolylines)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
