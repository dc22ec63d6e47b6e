#include "ocr_engine/TextRecognizer.h"
#include "ocr/TextRecognitionError.h"
#include "ocr_engine/ImagePreparation.h"
#include "ocr_engine/LeptonicaImage.h"
#include "ocr_engine/RecognizedLine.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <dlfcn.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

namespace lumivane::ocr {

namespace {

constexpr const char* kDebianDataFolder = "/usr/share/tesseract-ocr/5/tessdata";

// The engine parallelises with OpenMP, which is slower than one thread on small
// machines, and asks for its thread counts explicitly, so only a limit on nesting
// holds it: with no active levels allowed, every parallel region runs on the thread
// that meets it. The OpenMP runtime is the engine's, so it is looked up, not linked.
void limitEngineToOneThread() {
    using SetLevels = void (*)(int);
    static const auto setLevels = [] {
        void* found = dlsym(RTLD_DEFAULT, "omp_set_max_active_levels");
        // Loaded as a module (local symbols), the runtime is found by its library.
        if (!found)
            if (void* runtime = dlopen("libgomp.so.1", RTLD_LAZY | RTLD_NOLOAD))
                found = dlsym(runtime, "omp_set_max_active_levels");
        return reinterpret_cast<SetLevels>(found);
    }();
    if (setLevels)
        setLevels(0);
}

std::unique_ptr<tesseract::TessBaseAPI> loadEngine(const QString& folder, const char* languages) {
    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    // The engine's remarks ("Estimating resolution ...") are not for the user.
    std::vector<std::string> names{"debug_file"}, values{"/dev/null"};
    const QByteArray path = QFile::encodeName(folder);
    if (engine->Init(path.constData(), languages, tesseract::OEM_LSTM_ONLY, nullptr, 0, &names, &values, false) != 0)
        throw TextRecognitionError(TextRecognitionError::Kind::engineFailed);
    return engine;
}

bool cancelRequested(void* flag, int) {
    return flag && static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed);
}

QString wordText(tesseract::ResultIterator& it) {
    std::unique_ptr<char[]> text(it.GetUTF8Text(tesseract::RIL_WORD));
    return text ? QString::fromUtf8(text.get()) : QString();
}

// The widest run of blank columns (rows for vertical lines) of the line's band
// between two word boxes, followed outwards to the ink on both sides.
int blankBetween(const QImage& gray, bool vertical, int bandFrom, int bandTo, int previousEnd, int start) {
    const int length = vertical ? gray.height() : gray.width();
    const int across = vertical ? gray.width() : gray.height();
    bandFrom = std::clamp(bandFrom, 0, across - 1);
    bandTo = std::clamp(bandTo, bandFrom, across - 1);
    auto blank = [&](int along) {
        for (int a = bandFrom; a <= bandTo; ++a) {
            const int x = vertical ? a : along, y = vertical ? along : a;
            if (gray.constScanLine(y)[x] < 160)
                return false;
        }
        return true;
    };
    const int from = std::clamp(std::min(previousEnd, start), 0, length - 1);
    const int to = std::clamp(std::max(previousEnd, start), 0, length - 1);
    int widest = 0;
    for (int along = from; along <= to;) {
        if (!blank(along)) {
            ++along;
            continue;
        }
        int first = along, last = along;
        while (first > 0 && blank(first - 1))
            --first;
        while (last + 1 < length && blank(last + 1))
            ++last;
        widest = std::max(widest, last - first + 1);
        along = last + 1;
    }
    return widest;
}

QString collectText(tesseract::TessBaseAPI& engine, const QImage& gray, bool vertical) {
    std::unique_ptr<tesseract::ResultIterator> it(engine.GetIterator());
    if (!it)
        return {};
    QStringList lines;
    std::vector<RecognizedWord> words;
    int lineHeight = 0, bandFrom = 0, bandTo = 0;
    auto endLine = [&] {
        const QString line = joinLineWords(words, lineHeight);
        if (!line.isEmpty())
            lines << line;
        words.clear();
    };
    do {
        if (it->Empty(tesseract::RIL_WORD))
            continue;
        if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
            endLine();
            if (it->IsAtBeginningOf(tesseract::RIL_BLOCK) && !lines.isEmpty() && !lines.last().isEmpty())
                lines << QString();
            int left = 0, top = 0, right = 0, bottom = 0;
            it->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom);
            lineHeight = vertical ? right - left : bottom - top;
            bandFrom = vertical ? left : top;
            bandTo = vertical ? right : bottom;
        }
        int left = 0, top = 0, right = 0, bottom = 0;
        it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom);
        RecognizedWord word{wordText(*it), vertical ? top : left, vertical ? bottom : right};
        if (!words.empty())
            word.gapBefore = blankBetween(gray, vertical, bandFrom, bandTo, words.back().end, word.start);
        words.push_back(std::move(word));
    } while (it->Next(tesseract::RIL_WORD));
    endLine();
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QString TextRecognizer::defaultDataFolder() {
    const QByteArray prefix = qgetenv("TESSDATA_PREFIX");
    return prefix.isEmpty() ? QString::fromLatin1(kDebianDataFolder) : QFile::decodeName(prefix);
}

TextRecognizer::TextRecognizer(const QString& dataFolder)
    : dataFolder_(dataFolder.isEmpty() ? defaultDataFolder() : dataFolder) {
    const QDir folder(dataFolder_);
    for (const char* language : {"jpn", "eng"})
        if (!QFileInfo(folder.filePath(QStringLiteral("%1.traineddata").arg(QLatin1String(language)))).isReadable())
            throw TextRecognitionError(TextRecognitionError::Kind::languageDataMissing,
                                       QStringLiteral("tesseract-ocr-%1").arg(QLatin1String(language)));
    limitEngineToOneThread();
    horizontal_ = loadEngine(dataFolder_, "jpn+eng");
    // One column of text lines of any size: keeps the reading order of screens,
    // where the page layout analysis tears rows apart.
    horizontal_->SetPageSegMode(tesseract::PSM_SINGLE_COLUMN);
}

TextRecognizer::~TextRecognizer() {
    for (auto* engine : {horizontal_.get(), vertical_.get()})
        if (engine)
            engine->End();
}

tesseract::TessBaseAPI& TextRecognizer::verticalEngine() {
    if (!vertical_) {
        vertical_ = loadEngine(dataFolder_, "jpn+jpn_vert");
        vertical_->SetPageSegMode(tesseract::PSM_SINGLE_BLOCK_VERT_TEXT);
    }
    return *vertical_;
}

QString TextRecognizer::recognize(const QImage& image, const std::atomic<bool>* cancel) {
    using Kind = TextRecognitionError::Kind;
    if (image.isNull())
        throw TextRecognitionError(Kind::notAnImage);
    if (image.width() > kMaxRecognitionSide || image.height() > kMaxRecognitionSide ||
        qint64(image.width()) * image.height() > kMaxRecognitionPixels)
        throw TextRecognitionError(Kind::imageTooLarge, QStringLiteral("%1×%2").arg(image.width()).arg(image.height()));
    if (cancel && cancel->load())
        throw TextRecognitionError(Kind::cancelled);
    limitEngineToOneThread();
    const PreparedImage prepared = prepareForRecognition(image);
    if (cancel && cancel->load())
        throw TextRecognitionError(Kind::cancelled);

    lastWasVertical_ = false;
    tesseract::TessBaseAPI* engine = horizontal_.get();
    if (prepared.layout.vertical) {
        if (QFileInfo(QDir(dataFolder_).filePath(QStringLiteral("jpn_vert.traineddata"))).isReadable()) {
            engine = &verticalEngine();
            lastWasVertical_ = true;
        } else {
            // Read as horizontal text, vertical columns come out as noise.
            throw TextRecognitionError(Kind::languageDataMissing, QStringLiteral("tesseract-ocr-jpn-vert"));
        }
    }
    PixPointer pix = pixFromGray(prepared.gray);
    engine->SetImage(pix.get());
    // A screen's 96 dots an inch, as scaled: the engine's size rules assume a resolution.
    engine->SetSourceResolution(int(96 * prepared.scale));
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &cancelRequested;
    monitor.cancel_this = const_cast<std::atomic<bool>*>(cancel);
    const int status = engine->Recognize(&monitor);
    if (cancel && cancel->load()) {
        engine->Clear();
        throw TextRecognitionError(Kind::cancelled);
    }
    if (status != 0) {
        engine->Clear();
        throw TextRecognitionError(Kind::engineFailed);
    }
    QString text = collectText(*engine, prepared.gray, lastWasVertical_);
    engine->Clear();
    return text;
}

} // namespace lumivane::ocr
