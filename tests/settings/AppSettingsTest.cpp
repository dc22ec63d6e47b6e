#include "settings/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("cfg/lumivane.settings.json"); }

    void writeRaw(const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path()).absolutePath());
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readRaw() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::unique_ptr<AppSettings> load() {
        return std::make_unique<AppSettings>(std::make_unique<FileSettingsStore>(path()));
    }
    // A minimal valid document: only the required keys.
    static QJsonObject required() {
        return QJsonObject{
            {"shortcuts", QJsonObject{{"captureArea", QJsonObject{{"keyCode", 5}, {"modifiers", 4096}}}}},
            {"openEditorAfterCapture", true},
            {"autoDismissPreview", true},
            {"screenshotFileFormat", "jpeg"},
            {"fileNamePrefix", "Shot"},
            {"defaultAnnotationColor", QJsonObject{{"red", 0.5}, {"green", 0.25}, {"blue", 0.125}, {"alpha", 1}}},
            {"defaultAnnotationLineWidth", 7.5},
            {"defaultTextFontSize", 20},
        };
    }
    void writeJson(const QJsonObject& o) { writeRaw(QJsonDocument(o).toJson()); }
};

TEST_F(SettingsFile, NoStoredDocumentGivesDefaultsAndWritesNothing) {
    EXPECT_EQ(load()->values(), AppSettingsValues{});
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(SettingsFile, EveryFieldRoundTripsThroughTheFile) {
    AppSettingsValues written;
    {
        auto s = load();
        s->setShortcut({0, 256 | 4096}, ShortcutAction::captureFullScreen);
        s->setShortcut({20, 768}, ShortcutAction::captureAreaText);
        s->setOpenEditorAfterCapture(true);
        s->setAutoDismissPreview(true);
        s->setCopyRecognizedTextAtOnce(true);
        s->setDefaultSaveFolderPath(QString("/tmp/スクリーン"));
        s->setDefaultSaveFolderBookmarkData(QByteArray("\x00\x01\xff", 3));
        s->setScreenshotFileFormat(ScreenshotFileFormat::jpeg);
        s->setCaptureQualityPreset(CaptureQualityPreset::high);
        s->setShareFileFormat(ScreenshotFileFormat::png);
        s->setRecentShareServiceTitles({"メール", "Files"});
        s->setFileNamePrefix("撮影");
        s->setDefaultAnnotationColor({0.1, 0.2, 0.3, 0.4});
        s->setDefaultTextColor({0.3, 0.2, 0.1, 1});
        s->setDefaultMarkerColor({1, 0, 0, 1});
        s->setDefaultHighlightColor({0, 1, 0, 0.25});
        s->setDefaultAnnotationLineWidth(2.25);
        s->setDefaultMarkerLineWidth(11.0 / 3.0);
        s->setDefaultTextFontSize(48);
        s->setHasSeenSetupGuide(true);
        s->setHasSeenShortcutConflictNotice(true);
        s->setHasSeenNoTrayNotice(true);
        s->setBrowserAutomationVerified(true);
        s->setSplitLongPages(true);
        s->setBrowserJavaScriptVerified(true);
        s->setIncludeWindowFrame(false);
        s->setLastCaptureArea(LastCaptureArea{{1200.5, 40, 300, 200.25}, 7, {1000, 0, 800, 600}});
        written = s->values();
    }
    auto before = load()->values();
    EXPECT_EQ(before, written);
    EXPECT_FALSE(before.includeWindowFrame);
    EXPECT_EQ(before.lastCaptureArea, (LastCaptureArea{{1200.5, 40, 300, 200.25}, 7, {1000, 0, 800, 600}}));
    EXPECT_TRUE(before.hasSeenNoTrayNotice);
    EXPECT_EQ(before.fileNamePrefix, "撮影");
    EXPECT_TRUE(before.splitLongPages);
    EXPECT_TRUE(before.copyRecognizedTextAtOnce);
    EXPECT_EQ(before.defaultMarkerLineWidth, 11.0 / 3.0);
    EXPECT_EQ(*before.defaultSaveFolderBookmarkData, QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(before.shortcuts.value(ShortcutAction::captureFullScreen), (Shortcut{0, 4352}));
    EXPECT_EQ(before.shortcuts.value(ShortcutAction::captureAreaText), (Shortcut{20, 768}));

    const QJsonObject stored = QJsonDocument::fromJson(readRaw()).object();
    EXPECT_EQ(stored.size(), 29);
}

// Keys a document may lack (older versions wrote fewer) take their defaults, or follow a
// related stored value; the optional shortcuts (window, last area, text) start unbound.
TEST_F(SettingsFile, AbsentOptionalKeysFallBackToRelatedStoredValues) {
    writeJson(required());
    AppSettingsValues expected; // only captureArea stored: the full-screen shortcut stays the default
    expected.shortcuts[ShortcutAction::captureArea] = Shortcut{5, 4096};
    expected.openEditorAfterCapture = expected.autoDismissPreview = true;
    expected.screenshotFileFormat = expected.shareFileFormat = ScreenshotFileFormat::jpeg;
    expected.fileNamePrefix = "Shot";
    expected.defaultAnnotationColor = expected.defaultTextColor = RgbaColor{0.5, 0.25, 0.125, 1};
    expected.defaultAnnotationLineWidth = expected.defaultMarkerLineWidth = 7.5; // not 18
    expected.defaultTextFontSize = 20;
    auto s = load();
    EXPECT_EQ(s->values(), expected);
    EXPECT_TRUE(s->shortcut(ShortcutAction::captureWindow).isEmpty());
    EXPECT_EQ(s->shortcut(ShortcutAction::captureFullScreen), (Shortcut{18, 768}));
}

// A remembered area that cannot be read is forgotten; the rest of the document stays.
TEST_F(SettingsFile, UnreadableLastAreaIsForgotten) {
    const QJsonObject frame{{"x", 0}, {"y", 0}, {"width", 800}, {"height", 600}};
    const QJsonValue areas[] = {
        QJsonObject{{"x", 1}, {"y", 2}, {"width", 0}, {"height", 5}, {"screenFrame", frame}},
        QJsonObject{{"x", 1}, {"y", 2}, {"width", 3}, {"height", 5}},
        QJsonObject{{"x", 1}, {"y", 2}, {"width", 3}, {"height", 5}, {"screenFrame", frame}, {"screenId", -1}},
        QJsonValue("1,2,3,5"),
    };
    for (const QJsonValue& area : areas) {
        QJsonObject o = required();
        o.insert("lastCaptureArea", area);
        writeJson(o);
        auto s = load();
        EXPECT_FALSE(s->lastCaptureArea());
        EXPECT_EQ(s->fileNamePrefix(), "Shot");
    }
}

TEST_F(SettingsFile, HistoryBoundsOutsideTheirRangeTakeTheNearestAllowed) {
    QJsonObject o = required();
    o.insert("historyEnabled", false);
    o.insert("historyMaximumEntries", 0);
    o.insert("historyMaximumMegabytes", 1e12);
    writeJson(o);
    auto s = load();
    EXPECT_FALSE(s->historyEnabled());
    EXPECT_EQ(s->historyMaximumEntries(), 1);
    EXPECT_EQ(s->historyMaximumMegabytes(), 1 << 20);
}

TEST_F(SettingsFile, InvalidDocumentsGiveDefaultsAndStayUntouched) {
    QJsonObject unknownPreset = required();
    unknownPreset.insert("captureQualityPreset", "ultra");
    QJsonObject unknownFormat = required();
    unknownFormat.insert("shareFileFormat", "gif");
    QJsonObject missingRequired = required();
    missingRequired.remove("fileNamePrefix");
    QJsonObject wrongType = required();
    wrongType.insert("defaultTextFontSize", "32");
    QJsonObject shortcutWithoutModifiers = required();
    shortcutWithoutModifiers.insert("shortcuts", QJsonObject{{"captureArea", QJsonObject{{"keyCode", 3}}}});
    QJsonObject negativeKeyCode = required();
    negativeKeyCode.insert("shortcuts", QJsonObject{{"captureArea", QJsonObject{{"keyCode", -1}, {"modifiers", 0}}}});
    QJsonObject badColor = required();
    badColor.insert("defaultMarkerColor", QJsonObject{{"red", 1}});

    const QByteArray full = QJsonDocument(required()).toJson();
    const QList<QByteArray> documents = {
        full.left(full.size() / 2), // truncated mid-write
        QByteArray("\xff\xfe garbage"),
        QByteArray("[]"),
        QJsonDocument(unknownPreset).toJson(),
        QJsonDocument(unknownFormat).toJson(),
        QJsonDocument(missingRequired).toJson(),
        QJsonDocument(wrongType).toJson(),
        QJsonDocument(shortcutWithoutModifiers).toJson(),
        QJsonDocument(negativeKeyCode).toJson(),
        QJsonDocument(badColor).toJson(),
    };
    for (const QByteArray& doc : documents) {
        writeRaw(doc);
        auto s = load();
        EXPECT_EQ(s->values(), AppSettingsValues{}) << doc.constData();
        EXPECT_EQ(readRaw(), doc) << "an unreadable document must stay as it is until the next write";
    }
}

TEST_F(SettingsFile, UnknownKeysAndShortcutEntriesAreIgnoredAndDroppedOnWrite) {
    QJsonObject o = required();
    o.insert("someFutureKey", 42);
    QJsonObject shortcuts = o.value("shortcuts").toObject();
    shortcuts.insert("captureEverything", QJsonObject{{"keyCode", 1}, {"modifiers", 256}});
    o.insert("shortcuts", shortcuts);
    writeJson(o);
    auto s = load();
    EXPECT_EQ(s->fileNamePrefix(), "Shot");
    s->setFileNamePrefix("Next");
    const QJsonObject stored = QJsonDocument::fromJson(readRaw()).object();
    EXPECT_FALSE(stored.value("shortcuts").toObject().contains("captureEverything"));
    EXPECT_EQ(stored.value("shortcuts").toObject().size(), 2);
}

TEST_F(SettingsFile, EveryChangeNotifiesAndWritesTheWholeDocument) {
    auto s = load();
    QSignalSpy spy(s.get(), &AppSettings::changed);
    s->setFileNamePrefix("A");
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(QJsonDocument::fromJson(readRaw()).object().value("fileNamePrefix").toString(), "A");
    s->setFileNamePrefix("AB");
    EXPECT_EQ(spy.count(), 2);
    const QJsonObject stored = QJsonDocument::fromJson(readRaw()).object();
    EXPECT_EQ(stored.value("fileNamePrefix").toString(), "AB");
    EXPECT_EQ(stored.size(), 26); // no folder path, no bookmark and no last area in memory
}

TEST_F(SettingsFile, RestoreDefaultsKeepsTheFourFlags) {
    auto s = load();
    s->setHasSeenSetupGuide(true);
    s->setHasSeenShortcutConflictNotice(true);
    s->setBrowserAutomationVerified(true);
    s->setBrowserJavaScriptVerified(true);
    s->setFileNamePrefix("X");
    s->setDefaultSaveFolderPath(QString("/tmp"));
    s->setDefaultSaveFolderBookmarkData(QByteArray("b"));
    s->setShortcut({1, 256}, ShortcutAction::captureArea);
    s->restoreDefaults();
    auto reloaded = load();
    AppSettingsValues expected;
    expected.hasSeenSetupGuide = expected.hasSeenShortcutConflictNotice = true;
    expected.browserAutomationVerified = expected.browserJavaScriptVerified = true;
    EXPECT_EQ(reloaded->values(), expected);
}

TEST_F(SettingsFile, FailedWriteIsReportedAndLeavesNoPartialFile) {
    // The target is a directory: the atomic write cannot replace it.
    const QString blocked = dir.filePath("blocked");
    ASSERT_TRUE(QDir().mkpath(blocked));
    FileSettingsStore store(blocked);
    EXPECT_FALSE(store.write("{}"));
    EXPECT_TRUE(QFileInfo(blocked).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0) << "no temporary file left behind";

    // The settings object keeps working in memory.
    AppSettings settings(std::make_unique<FileSettingsStore>(blocked));
    settings.setFileNamePrefix("InMemory");
    EXPECT_EQ(settings.fileNamePrefix(), "InMemory");
}

TEST_F(SettingsFile, DefaultSaveFolderComesFromTheStoredPath) {
    auto s = load();
    EXPECT_FALSE(s->resolvedDefaultSaveFolderURL().has_value());
    s->setDefaultSaveFolderPath(QString(""));
    EXPECT_FALSE(s->resolvedDefaultSaveFolderURL().has_value());
    s->setDefaultSaveFolderPath(QString("/home/user/写真"));
    auto url = s->resolvedDefaultSaveFolderURL();
    ASSERT_TRUE(url.has_value());
    EXPECT_TRUE(url->isLocalFile());
    EXPECT_EQ(url->toLocalFile(), "/home/user/写真/");
}

} // namespace
