#pragma once
#include "editor_model/EditorDocument.h"

#include <QByteArray>
#include <stdexcept>

namespace lumivane {

// A project file that cannot be read: malformed JSON, a missing required key, a
// wrong type, a bad enumeration value, a value that is not finite, or an image or
// file beyond the limits. what() is a Japanese sentence (UTF-8) naming the place.
class ProjectFileError : public std::runtime_error {
public:
    enum class Reason { invalid, unreadable };
    explicit ProjectFileError(const std::string& what, Reason reason = Reason::invalid)
        : std::runtime_error(what), reason_(reason) {}
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

struct SavedAnnotation {
    QUuid id;
    AnnotationKind kind = AnnotationKind::rectangle;
    QRectF rect;
    RgbaColor color;
    double lineWidth = 0;
    double fontSize = 0;
    QString text;
    std::optional<QPointF> arrowStart;
    std::optional<QPointF> arrowEnd;
    std::vector<QPointF> markerPoints;
    double effectIntensity = 0;
    std::optional<TextBackground> textBackground; // "textBackground", written only when set

    SavedAnnotation() = default;
    explicit SavedAnnotation(const Annotation& annotation);
    Annotation annotation() const;
    friend bool operator==(const SavedAnnotation&, const SavedAnnotation&) = default;
};

struct SavedEditorProject {
    // Version 1 holds the first nine kinds; version 2 adds pens, steps and text
    // backgrounds. A document without them is written as version 1, byte for byte as
    // before. A file's version is read, not checked: a file of another version opens
    // when its fields match, and one with a kind this build does not know is refused.
    static constexpr int firstVersion = 1;
    static constexpr int currentVersion = 2;
    static int versionFor(const std::vector<SavedAnnotation>& annotations);

    int version = 1;
    double createdAt = 0;     // seconds since 2001-01-01 00:00:00 UTC
    QByteArray baseImageData; // PNG bytes (Base64 in the file)
    AnnotationTool selectedTool = AnnotationTool::select;
    std::optional<QUuid> selectedAnnotationID;
    std::optional<QRectF> cropRect;
    CanvasBackgroundStyle backgroundStyle;
    std::vector<SavedAnnotation> annotations;

    SavedEditorProject() = default;
    // versionFor(annotations), createdAt now, the base image as full-size PNG (empty if
    // it cannot be encoded).
    explicit SavedEditorProject(const EditorDocument& document);

    // nullopt when the image data does not decode. Throws ProjectFileError when the
    // image is beyond DocumentLimits or the memory available.
    std::optional<EditorDocument> makeDocument() const;

    // Pretty-printed UTF-8 JSON with sorted keys.
    QByteArray encode() const;
    // Throws ProjectFileError, also for a version or annotation kind this build does
    // not know. Optional keys present as null count as absent.
    static SavedEditorProject decode(const QByteArray& json);
};

namespace ProjectFile {
inline constexpr const char* fileExtension = "lumivane";
// File-dialog filters: projects open from ".lumivane" and plain ".json" files and
// are saved as ".lumivane".
inline QString openDialogFilter() {
    return QStringLiteral("Lumivane プロジェクト (*.lumivane *.json)");
}
inline QString saveDialogFilter() {
    return QStringLiteral("Lumivane プロジェクト (*.lumivane)");
}
// The path a project chosen in a save dialog is written to: ".lumivane" added unless
// the name ends so.
inline QString savePath(QString chosen) {
    if (!chosen.endsWith(QStringLiteral(".lumivane")))
        chosen += QStringLiteral(".lumivane");
    return chosen;
}
// Largest project file read; larger files are refused before reading. The largest
// image a document may hold (DocumentLimits) takes at most about 350 MiB of Base64.
inline constexpr qint64 maxFileSize = qint64(512) << 20;
// Most JSON values (objects, arrays, numbers, strings, ...) in one file: bounds the
// parsed tree at a few hundred MiB (tens of thousands of annotations).
inline constexpr qint64 maxJsonValues = qint64(1) << 21;

// Reads and decodes a project file. Throws ProjectFileError (also for read errors).
SavedEditorProject readFile(const QString& path);

double secondsSinceReferenceDate();  // now, seconds since 2001-01-01 UTC
QString uuidString(const QUuid& id); // upper-case 8-4-4-4-12
// Decodes image bytes with a size check before any pixels are allocated: null when
// they do not decode; throws ProjectFileError when the image is beyond
// DocumentLimits or the memory available.
QImage decodeImage(const QByteArray& data);
// The pixel size an image header claims; empty when there is none.
QSize imageSize(const QByteArray& data);
} // namespace ProjectFile

} // namespace lumivane
