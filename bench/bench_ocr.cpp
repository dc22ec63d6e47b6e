// Text recognition on a 1920x1080 screenshot of a Japanese help page (paragraphs, a
// table and an English log) rendered by headless Chromium from a page of our own:
//  - BM_LumivaneOcrCommand: `lumivane ocr PAGE.png`, the engine loaded for the run;
//  - BM_TesseractCommand: the engine's own command line, `tesseract PAGE.png - -l
//    jpn+eng` on one thread (OMP_THREAD_LIMIT=1);
//  - BM_TextRecognizer: one recognition with the engine already loaded (the tray).
// Counters: cer = character error rate (edit distance over the text without white
// space, over the length of the page's text); cpu_s = processor time of the run.
// Skipped with a message when chromium or tesseract is missing. LUMIVANE_BENCH_OCR_PAGE
// names a file to keep the screenshot in.
#include "TextImages.h"

#include "ocr_engine/TextRecognizer.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>

namespace {

const QStringList kParagraphs{
    QStringLiteral(
        "撮影した画像は、プレビューから直接コピーまたは保存できます。保存先のフォルダは設定画面の「一般」タブで"
        "変更してください。"),
    QStringLiteral("範囲を選択して撮影する場合は、ドラッグで四角形を指定します。Escape キーを押すと撮影を中止します。"),
    QStringLiteral(
        "エディタでは矢印、テキスト、ぼかしなどの注釈を追加できます。変更はすべて取り消しとやり直しができます。"),
    QStringLiteral("ページ全体の撮影には、前面のブラウザでリモートデバッグを有効にする必要があります。"),
};
const QList<QStringList> kTable{
    {QStringLiteral("操作"), QStringLiteral("ショートカット"), QStringLiteral("説明")},
    {QStringLiteral("全画面を撮影"), QStringLiteral("Ctrl+Shift+1"), QStringLiteral("ポインタのある画面全体")},
    {QStringLiteral("範囲を選択して撮影"), QStringLiteral("Ctrl+Shift+2"), QStringLiteral("ドラッグした範囲だけ")},
    {QStringLiteral("ページ全体を撮影"), QStringLiteral("なし"), QStringLiteral("前面のブラウザのページ")},
    {QStringLiteral("テキストを読み取る"), QStringLiteral("Ctrl+Shift+3"), QStringLiteral("選択した範囲の文字")},
};
const QStringList kLog{
    QStringLiteral("2026-12-08 09:12:03 INFO capture started (area 640x480)"),
    QStringLiteral("2026-12-08 09:12:04 WARN portal response took 812 ms"),
    QStringLiteral("2026-12-08 09:12:04 ERROR cannot write /home/user/Pictures/shot.png: No space left on device"),
    QStringLiteral("2026-12-08 09:12:05 INFO saved /home/user/Pictures/Screenshot-2026-12-08.png (1.2 MB)"),
};
const QString kTitle = QStringLiteral("スクリーンショットの保存と共有について");
const QString kSubtitle = QStringLiteral("キーボードショートカット");

QString pageHtml() {
    QString html = QStringLiteral(
        "<!doctype html><html lang=\"ja\"><head><meta charset=\"utf-8\"><style>"
        "body{font-family:'Noto Sans CJK JP',sans-serif;font-size:15px;margin:24px 40px;color:#222;background:#fff}"
        "h1{font-size:24px}h2{font-size:19px}table{border-collapse:collapse}"
        "td,th{border:1px solid #999;padding:4px 10px}"
        "pre{background:#f4f4f4;font-family:monospace;font-size:13px;padding:8px}</style></head><body>");
    html += "<h1>" + kTitle + "</h1>";
    for (const QString& p : kParagraphs)
        html += "<p>" + p + "</p>";
    html += "<h2>" + kSubtitle + "</h2><table>";
    for (const QStringList& row : kTable)
        html += "<tr><td>" + row.join("</td><td>") + "</td></tr>";
    html += "</table><pre>" + kLog.join('\n') + "</pre></body></html>";
    return html;
}

QString pageText() {
    QStringList lines{kTitle};
    lines += kParagraphs;
    lines << kSubtitle;
    for (const QStringList& row : kTable)
        lines << row.join(' ');
    lines += kLog;
    return lines.join('\n');
}

struct Page {
    QTemporaryDir dir;
    QString png;
    QString problem; // why the benchmarks are skipped
};

Page& page() {
    static const std::unique_ptr<Page> shared = [] {
        auto p = std::make_unique<Page>();
        const QString chromium = QStandardPaths::findExecutable("chromium");
        if (chromium.isEmpty()) {
            p->problem = "chromium is not installed";
            return p;
        }
        if (QStandardPaths::findExecutable("tesseract").isEmpty()) {
            p->problem = "the tesseract command line (tesseract-ocr) is not installed";
            return p;
        }
        QFile html(p->dir.filePath("page.html"));
        if (!html.open(QIODevice::WriteOnly) || html.write(pageHtml().toUtf8()) < 0) {
            p->problem = "cannot write the page";
            return p;
        }
        html.close();
        p->png = p->dir.filePath("page.png");
        QProcess browser;
        browser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        browser.setStandardErrorFile(QProcess::nullDevice());
        browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                                 "--force-device-scale-factor=1", "--window-size=1920,1080",
                                 "--user-data-dir=" + p->dir.filePath("profile"), "--screenshot=" + p->png,
                                 "file://" + html.fileName()});
        if (!browser.waitForFinished(60000) || QImage(p->png).size() != QSize(1920, 1080))
            p->problem = "chromium did not write a 1920x1080 screenshot";
        // A copy of the page to look at.
        if (const QString keep = qEnvironmentVariable("LUMIVANE_BENCH_OCR_PAGE"); !keep.isEmpty())
            QFile::copy(p->png, keep);
        return p;
    }();
    return *shared;
}

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void runCommand(benchmark::State& state, const QString& program, const QStringList& args,
                const QProcessEnvironment& environment) {
    if (!page().problem.isEmpty()) {
        state.SkipWithError(page().problem.toUtf8().constData());
        return;
    }
    QString text;
    double cpu = 0;
    for (auto _ : state) {
        const double before = childCpuSeconds();
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(program, args);
        if (!process.waitForFinished(120000) || process.exitCode() != 0) {
            state.SkipWithError(("failed: " + program).toUtf8().constData());
            return;
        }
        text = QString::fromUtf8(process.readAllStandardOutput());
        cpu += childCpuSeconds() - before;
    }
    state.counters["cer"] = lumivane::test::characterErrorRate(text, pageText());
    state.counters["cpu_s"] = cpu / double(state.iterations());
}

void BM_LumivaneOcrCommand(benchmark::State& state) {
    runCommand(state, LUMIVANE_EXECUTABLE, {"ocr", page().png}, QProcessEnvironment::systemEnvironment());
}

void BM_TesseractCommand(benchmark::State& state) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("OMP_THREAD_LIMIT", "1");
    runCommand(state, "tesseract", {page().png, "-", "-l", "jpn+eng"}, environment);
}

void BM_TextRecognizer(benchmark::State& state) {
    if (!page().problem.isEmpty()) {
        state.SkipWithError(page().problem.toUtf8().constData());
        return;
    }
    lumivane::ocr::TextRecognizer recognizer;
    const QImage image(page().png);
    QString text;
    for (auto _ : state)
        text = recognizer.recognize(image);
    state.counters["cer"] = lumivane::test::characterErrorRate(text, pageText());
}

} // namespace

BENCHMARK(BM_LumivaneOcrCommand)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_TesseractCommand)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_TextRecognizer)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
