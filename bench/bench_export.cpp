// Export pipeline speed: the standard/medium PNG size search, full-resolution PNG
// and JPEG encodes, each against Qt's own image writers on the same content, the PNG
// encoder and search as they were before ("before"), and pngcrush / optipng run on
// the same images. Encodes use several threads: CPU figures are the whole process's.
#include "PngEncoderBefore.h"
#include "core/ImageExportPipeline.h"
#include "tests/export/ExportTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <functional>
#include <map>

using namespace lumivane;

namespace {

struct Content {
    const char* name;
    int width;
    int height;
    bool photo;
};

const Content kContents[] = {
    {"ui_1920x1080", 1920, 1080, false},   {"ui_3840x2160", 3840, 2160, false},
    {"ui_1600x24000", 1600, 24000, false}, {"photo_1920x1080", 1920, 1080, true},
    {"photo_3840x2160", 3840, 2160, true}, {"photo_1600x24000", 1600, 24000, true},
};

const QImage& content(int index) {
    static std::map<int, QImage> cache;
    auto it = cache.find(index);
    if (it == cache.end()) {
        const Content& c = kContents[index];
        it = cache
                 .emplace(index,
                          c.photo ? test::photoLikeImage(c.width, c.height) : test::uiLikeImage(c.width, c.height))
                 .first;
    }
    return it->second;
}

std::optional<QByteArray> qtEncode(const QImage& image, const char* format, int quality = -1) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image))
        return std::nullopt;
    return out;
}

// The same search as dragExportPNGData, encoding with Qt's PNG writer.
std::optional<QByteArray> qtSearch(const QImage& image, const ImageExportOptions& options, int& candidates) {
    const int largest = std::max(image.width(), image.height());
    std::optional<QByteArray> best;
    qint64 bestDiff = 0;
    candidates = 0;
    for (double c : ImageExportPipeline::dragExportDimensionSequence(std::min<double>(largest, options.maxDimension),
                                                                     largest, options.minimumDimension)) {
        const auto normalized = ImageExportPipeline::normalizedImage(image, c);
        if (!normalized)
            continue;
        auto bytes = qtEncode(*normalized, "png");
        ++candidates;
        if (!bytes)
            continue;
        const qint64 diff = std::abs(bytes->size() - qint64(options.byteBudget));
        const bool fits = bytes->size() <= options.byteBudget;
        if (!best || diff < bestDiff) {
            bestDiff = diff;
            best = std::move(bytes);
        }
        if (fits)
            break;
    }
    return best;
}

// The search as it was: every candidate in order, each encoded in full by the old encoder.
__attribute__((noinline)) std::optional<QByteArray> searchBefore(const QImage& image, const ImageExportOptions& options,
                                                                 int& candidates) {
    const int largest = std::max(image.width(), image.height());
    std::optional<QByteArray> best;
    candidates = 0;
    for (double c : ImageExportPipeline::dragExportDimensionSequence(std::min<double>(largest, options.maxDimension),
                                                                     largest, options.minimumDimension)) {
        const auto normalized = ImageExportPipeline::normalizedImage(image, c);
        if (!normalized)
            continue;
        auto bytes = before::encodePng(*normalized);
        ++candidates;
        if (!bytes)
            continue;
        if (bytes->size() <= options.byteBudget)
            return bytes;
        if (!best || bytes->size() < best->size())
            best = std::move(bytes);
    }
    return best;
}

void report(benchmark::State& state, const char* encoder, const QByteArray& bytes) {
    state.counters["bytes"] = double(bytes.size());
    QImage decoded;
    decoded.loadFromData(bytes);
    state.counters["out_w"] = decoded.width();
    state.counters["out_h"] = decoded.height();
    state.SetLabel(std::string(kContents[state.range(0)].name) + " " + encoder);
}

const ImageExportOptions kStandardMedium =
    ImageExportOptions::output(ImageExportProfile::standard, CaptureQualityPreset::medium);

void BM_SearchStandardMedium(benchmark::State& state) {
    const QImage& img = content(int(state.range(0)));
    QByteArray bytes;
    for (auto _ : state)
        bytes = *ImageExportPipeline::dragExportPNGData(img, kStandardMedium);
    report(state, "libdeflate", bytes);
}

void BM_SearchStandardMediumBefore(benchmark::State& state) {
    const QImage& img = content(int(state.range(0)));
    QByteArray bytes;
    int candidates = 0;
    for (auto _ : state)
        bytes = *searchBefore(img, kStandardMedium, candidates);
    report(state, "before", bytes);
    state.counters["candidates"] = candidates;
}

void BM_SearchStandardMediumQtWriter(benchmark::State& state) {
    const QImage& img = content(int(state.range(0)));
    QByteArray bytes;
    int candidates = 0;
    for (auto _ : state)
        bytes = *qtSearch(img, kStandardMedium, candidates);
    report(state, "qt-png", bytes);
    state.counters["candidates"] = candidates;
}

// Normalisation alone: under callgrind, the baseline (image generation, set-up) that the
// other benchmarks' instruction counts are taken relative to.
void BM_NormalizeOnly(benchmark::State& state) {
    const QImage& img = content(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(ImageExportPipeline::normalizedImage(img, std::nullopt));
}

void BM_FullResolutionPNG(benchmark::State& state) {
    const QImage normalized = *ImageExportPipeline::normalizedImage(content(int(state.range(0))), std::nullopt);
    QByteArray bytes;
    for (auto _ : state)
        bytes = *ImageExportPipeline::encode(normalized, ScreenshotFileFormat::png);
    report(state, "libdeflate", bytes);
}

void BM_FullResolutionPNGBefore(benchmark::State& state) {
    const QImage normalized = *ImageExportPipeline::normalizedImage(content(int(state.range(0))), std::nullopt);
    QByteArray bytes;
    for (auto _ : state)
        bytes = *before::encodePng(normalized);
    report(state, "before", bytes);
}

// pngcrush / optipng (default settings) on our full-resolution PNG of the same image,
// written to a temporary folder; skipped when the tool is not installed. CPU time is
// the child's.
void runOptimizer(benchmark::State& state, const QString& tool,
                  const std::function<QStringList(const QString& in, const QString& out)>& arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        state.SkipWithError((tool + " not installed").toStdString().c_str());
        return;
    }
    const QImage normalized = *ImageExportPipeline::normalizedImage(content(int(state.range(0))), std::nullopt);
    QTemporaryDir dir;
    const QString in = dir.filePath("in.png"), out = dir.filePath("out.png");
    QFile file(in);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(*ImageExportPipeline::encode(normalized, ScreenshotFileFormat::png)) < 0) {
        state.SkipWithError("cannot write the input PNG");
        return;
    }
    file.close();
    double childCpu = 0;
    for (auto _ : state) {
        QFile::remove(out);
        rusage before{}, after{};
        getrusage(RUSAGE_CHILDREN, &before);
        QProcess process;
        process.start(program, arguments(in, out));
        process.waitForFinished(-1);
        getrusage(RUSAGE_CHILDREN, &after);
        auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
        childCpu =
            seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) - seconds(before.ru_stime);
        if (process.exitCode() != 0)
            state.SkipWithError((tool + " failed").toStdString().c_str());
    }
    QFile result(out);
    result.open(QIODevice::ReadOnly);
    report(state, tool.toUtf8().constData(), result.readAll());
    state.counters["child_cpu_ms"] = childCpu * 1000;
}

void BM_PngCrush(benchmark::State& state) {
    runOptimizer(state, "pngcrush", [](const QString& in, const QString& out) { return QStringList{"-q", in, out}; });
}
void BM_OptiPng(benchmark::State& state) {
    runOptimizer(state, "optipng", [](const QString& in, const QString& out) {
        return QStringList{"-quiet", "-out", out, in};
    });
}

void BM_FullResolutionPNGQtWriter(benchmark::State& state) {
    const QImage normalized = *ImageExportPipeline::normalizedImage(content(int(state.range(0))), std::nullopt);
    QByteArray bytes;
    for (auto _ : state)
        bytes = *qtEncode(normalized, "png");
    report(state, "qt-png", bytes);
}

void BM_FullResolutionJPEG(benchmark::State& state) {
    const QImage normalized = *ImageExportPipeline::normalizedImage(content(int(state.range(0))), std::nullopt);
    QByteArray bytes;
    for (auto _ : state)
        bytes = *ImageExportPipeline::encode(normalized, ScreenshotFileFormat::jpeg,
                                             jpegCompressionFactor(CaptureQualityPreset::medium));
    report(state, "libjpeg-turbo", bytes);
}

void BM_FullResolutionJPEGQtWriter(benchmark::State& state) {
    const QImage normalized = *ImageExportPipeline::normalizedImage(content(int(state.range(0))), std::nullopt);
    QByteArray bytes;
    for (auto _ : state)
        bytes = *qtEncode(normalized, "jpeg", 88);
    report(state, "qt-jpeg", bytes);
}

void contents(benchmark::internal::Benchmark* b) {
    for (int i = 0; i < int(std::size(kContents)); ++i)
        b->Arg(i);
    b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);
    b->UseRealTime()->MeasureProcessCPUTime();
}

// A screenshot and a photograph, full size (the external optimisers take seconds on larger ones).
void optimizerContents(benchmark::internal::Benchmark* b) {
    b->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
}

} // namespace

BENCHMARK(BM_NormalizeOnly)->Apply(contents);
BENCHMARK(BM_SearchStandardMedium)->Apply(contents);
BENCHMARK(BM_SearchStandardMediumBefore)->Apply(contents);
BENCHMARK(BM_SearchStandardMediumQtWriter)->Apply(contents);
BENCHMARK(BM_FullResolutionPNG)->Apply(contents);
BENCHMARK(BM_FullResolutionPNGBefore)->Apply(contents);
BENCHMARK(BM_PngCrush)->Apply(optimizerContents);
BENCHMARK(BM_OptiPng)->Apply(optimizerContents);
BENCHMARK(BM_FullResolutionPNGQtWriter)->Apply(contents);
BENCHMARK(BM_FullResolutionJPEG)->Apply(contents);
BENCHMARK(BM_FullResolutionJPEGQtWriter)->Apply(contents);
