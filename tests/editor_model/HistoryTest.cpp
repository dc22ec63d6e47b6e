#include "TestHelpers.h"
#include "editor_model/EditorOperations.h"

#include <gtest/gtest.h>

using namespace lumivane;
using namespace lumivane::test;
namespace ops = lumivane::EditorOperations;

namespace {

// A 4×2 image with a distinct colour per pixel, so any turn or mirror shows.
ImageRef numberedImage(int w = 4, int h = 2) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 40, y * 40, 100 + x + y * w));
    return makeImage(image);
}

bool samePixels(const ImageRef& a, const ImageRef& b) {
    return a && b && a->convertToFormat(QImage::Format_ARGB32) == b->convertToFormat(QImage::Format_ARGB32);
}

struct Fixture : ::testing::Test {
    EditorDocument doc = EditorDocument::fresh(solidImage(100, 50));
    EditorHistory history;

    // Adds an annotation as one recorded edit.
    Annotation addRecorded(Annotation a) {
        const EditorSnapshot before = doc.snapshot();
        doc.add(a);
        EXPECT_TRUE(ops::commitEditorChange(&doc, history, before));
        return a;
    }
};

} // namespace

using History = Fixture;

TEST_F(History, EqualSnapshotRecordsNothingAndKeepsRedo) {
    addRecorded(makeAnnotation(AnnotationKind::rectangle, {10, 10, 20, 20}));
    ASSERT_TRUE(ops::undoEditorChange(&doc, history, false));
    ASSERT_EQ(history.redoStack.size(), 1u);

    // A gesture that ends where it started.
    const EditorSnapshot before = doc.snapshot();
    EXPECT_FALSE(ops::commitEditorChange(&doc, history, before));
    EXPECT_TRUE(history.undoStack.empty());
    EXPECT_EQ(history.redoStack.size(), 1u);

    // The image object is not compared; only the revision stands for it.
    EditorSnapshot sameRevisionOtherImage = doc.snapshot();
    sameRevisionOtherImage.baseImage = solidImage(3, 3);
    EXPECT_EQ(sameRevisionOtherImage, doc.snapshot());
}

TEST_F(History, CommitClearsRedoAndUndoRedoRestoreSelectionAndCropButNotTool) {
    const Annotation first = addRecorded(makeAnnotation(AnnotationKind::rectangle, {10, 10, 20, 20}));
    EditorSnapshot before = doc.snapshot();
    doc.cropRect = QRectF(5, 5, 40, 30);
    ops::commitEditorChange(&doc, history, before);
    const EditorSnapshot cropped = doc.snapshot();

    const Annotation second = addRecorded(makeAnnotation(AnnotationKind::ellipse, {30, 10, 20, 20}));
    ASSERT_EQ(history.undoStack.size(), 3u);

    doc.selectedTool = AnnotationTool::arrow;
    ASSERT_TRUE(ops::undoEditorChange(&doc, history, false));
    EXPECT_EQ(doc.snapshot(), cropped);
    EXPECT_EQ(doc.selectedAnnotationID, first.id);
    EXPECT_EQ(doc.cropRect, QRectF(5, 5, 40, 30));
    EXPECT_EQ(doc.selectedTool, AnnotationTool::arrow);

    ASSERT_TRUE(ops::redoEditorChange(&doc, history, false));
    EXPECT_EQ(doc.selectedAnnotationID, second.id);
    EXPECT_EQ(doc.annotations.size(), 2u);
    EXPECT_EQ(doc.selectedTool, AnnotationTool::arrow);

    ASSERT_TRUE(ops::undoEditorChange(&doc, history, false));
    ASSERT_EQ(history.redoStack.size(), 1u);
    before = doc.snapshot();
    doc.backgroundStyle.isEnabled = true;
    ASSERT_TRUE(ops::commitEditorChange(&doc, history, before));
    EXPECT_TRUE(history.redoStack.empty());
    EXPECT_FALSE(ops::redoEditorChange(&doc, history, false));
}

TEST_F(History, IgnoredWhileEditingTextAndWithoutDocument) {
    addRecorded(makeAnnotation(AnnotationKind::text, {10, 10, 50, 20}));
    EXPECT_FALSE(ops::undoEditorChange(&doc, history, true));
    EXPECT_EQ(doc.annotations.size(), 1u);
    EXPECT_EQ(history.undoStack.size(), 1u);

    // Without a document the popped snapshot is dropped.
    EXPECT_FALSE(ops::undoEditorChange(nullptr, history, false));
    EXPECT_TRUE(history.undoStack.empty());
    EXPECT_TRUE(history.redoStack.empty());
    EXPECT_FALSE(ops::rotateEditorImage(nullptr, history, ImageRotationDirection::clockwise));
    EXPECT_FALSE(ops::commitEditorChange(nullptr, history, doc.snapshot()));
}

TEST_F(History, RotateLeftThenRightRestoresImageAndAnnotationsWithTwoEntries) {
    doc = EditorDocument::fresh(numberedImage());
    const ImageRef original = doc.baseImage;
    const Annotation rect = makeAnnotation(AnnotationKind::highlight, {1, 0, 2, 1});
    const Annotation marker = makeMarker({{0.5, 0.5}, {3, 1.5}}, 6);
    doc.annotations = {rect, marker};
    doc.selectedAnnotationID = rect.id;

    ASSERT_TRUE(ops::rotateEditorImage(&doc, history, ImageRotationDirection::counterClockwise));
    EXPECT_EQ(pixelSize(doc.baseImage), QSize(2, 4));
    EXPECT_EQ(doc.imageRevision, 1);
    EXPECT_FALSE(doc.selectedAnnotationID);
    // Content and annotation move together: the top-left pixel goes to the bottom-left.
    EXPECT_EQ(doc.baseImage->pixel(0, 3), original->pixel(0, 0));
    EXPECT_EQ(doc.annotations[0].rect, QRectF(0, 1, 1, 2));

    ASSERT_TRUE(ops::rotateEditorImage(&doc, history, ImageRotationDirection::clockwise));
    EXPECT_EQ(doc.imageRevision, 2);
    EXPECT_EQ(history.undoStack.size(), 2u);
    EXPECT_TRUE(samePixels(doc.baseImage, original));
    EXPECT_EQ(doc.annotations[0], rect);
    EXPECT_EQ(doc.annotations[1].markerPoints, marker.markerPoints);
    EXPECT_EQ(doc.annotations[1].rect, marker.rect);

    // Undo twice returns the very first image object and the selection.
    ops::undoEditorChange(&doc, history, false);
    ops::undoEditorChange(&doc, history, false);
    EXPECT_EQ(doc.baseImage, original);
    EXPECT_EQ(doc.imageRevision, 0);
    EXPECT_EQ(doc.selectedAnnotationID, rect.id);
}

TEST_F(History, FlipMirrorsPixelsAndCrop) {
    doc = EditorDocument::fresh(numberedImage());
    const ImageRef original = doc.baseImage;
    doc.cropRect = QRectF(0, 0, 1, 2);
    ASSERT_TRUE(ops::flipEditorImage(&doc, history, true));
    EXPECT_EQ(doc.baseImage->pixel(3, 0), original->pixel(0, 0));
    EXPECT_EQ(doc.cropRect, QRectF(3, 0, 1, 2));
    ASSERT_TRUE(ops::flipEditorImage(&doc, history, false));
    EXPECT_EQ(doc.baseImage->pixel(3, 1), original->pixel(0, 0));
    EXPECT_EQ(history.undoStack.size(), 2u);
}

TEST_F(History, ResizeHalvesGeometryRoundingHalvesAwayFromZero) {
    doc = EditorDocument::fresh(solidImage(3, 3));
    Annotation arrow = makeArrow({1, 1}, {3, 2});
    arrow.lineWidth = 5;
    Annotation text = makeAnnotation(AnnotationKind::text, {2, 2, 4, 6});
    text.fontSize = 30;
    doc.annotations = {arrow, text};
    doc.cropRect = QRectF(0, 0, 2, 2);

    EXPECT_FALSE(ops::resizeEditorImage(&doc, history, 0));
    EXPECT_FALSE(ops::resizeEditorImage(&doc, history, -1));
    // Never an image a project file could not hold again.
    EXPECT_FALSE(ops::resizeEditorImage(&doc, history, 1e9));
    EXPECT_TRUE(history.undoStack.empty());

    ASSERT_TRUE(ops::resizeEditorImage(&doc, history, 0.5));
    EXPECT_EQ(pixelSize(doc.baseImage), QSize(2, 2)); // round(1.5) = 2
    EXPECT_EQ(*doc.annotations[0].arrowStart, QPointF(0.5, 0.5));
    EXPECT_EQ(*doc.annotations[0].arrowEnd, QPointF(1.5, 1));
    EXPECT_DOUBLE_EQ(doc.annotations[0].lineWidth, 2.5);
    EXPECT_EQ(doc.annotations[1].rect, QRectF(1, 1, 2, 3));
    EXPECT_DOUBLE_EQ(doc.annotations[1].fontSize, 15);
    EXPECT_EQ(doc.cropRect, QRectF(0, 0, 1, 1));
    EXPECT_EQ(doc.imageRevision, 1);

    // A tiny scale still leaves one pixel.
    ASSERT_TRUE(ops::resizeEditorImage(&doc, history, 0.01));
    EXPECT_EQ(pixelSize(doc.baseImage), QSize(1, 1));
}

TEST_F(History, CropDropsMissesKeepsPartialAndIgnoresTinyOrOutside) {
    const Annotation inside = makeAnnotation(AnnotationKind::rectangle, {10, 10, 10, 10});
    const Annotation partial = makeAnnotation(AnnotationKind::blur, {35, 5, 30, 10});
    const Annotation outside = makeAnnotation(AnnotationKind::ellipse, {80, 30, 10, 10});
    doc.annotations = {inside, partial, outside};

    doc.cropRect = QRectF(40, 0, 0.5, 20); // not wider than one point
    EXPECT_FALSE(ops::applyCropToEditorDocument(&doc, history));
    doc.cropRect = QRectF(200, 200, 20, 20); // misses the image
    EXPECT_FALSE(ops::applyCropToEditorDocument(&doc, history));
    EXPECT_TRUE(history.undoStack.empty());

    doc.cropRect = QRectF(45, 25, -40, -20); // negative size is standardised
    ASSERT_TRUE(ops::applyCropToEditorDocument(&doc, history));
    EXPECT_EQ(pixelSize(doc.baseImage), QSize(40, 20));
    ASSERT_EQ(doc.annotations.size(), 2u);
    EXPECT_EQ(doc.annotations[0].rect, QRectF(5, 5, 10, 10));
    EXPECT_EQ(doc.annotations[1].rect, QRectF(30, 0, 30, 10)); // moved, not clipped
    EXPECT_FALSE(doc.cropRect);

    doc.cropRect = QRectF(0, 0, 2, 2);
    ASSERT_TRUE(ops::applyCropToEditorDocument(&doc, history));
    EXPECT_TRUE(doc.annotations.empty());
    EXPECT_EQ(history.undoStack.size(), 2u);
}

TEST_F(History, CropPastTheImageEdgeKeepsAnnotationsOnTheirContent) {
    doc = EditorDocument::fresh(numberedImage(8, 8));
    const ImageRef original = doc.baseImage;
    doc.annotations = {makeAnnotation(AnnotationKind::highlight, {2, 3, 1, 1})};
    doc.cropRect = QRectF(-5, 1.5, 10, 20); // past the left and bottom edges, fractional top
    ASSERT_TRUE(ops::applyCropToEditorDocument(&doc, history));
    EXPECT_EQ(pixelSize(doc.baseImage), QSize(5, 7)); // x 0..5, y 1..8
    const QRectF r = doc.annotations[0].rect;
    EXPECT_EQ(r, QRectF(2, 2, 1, 1));
    EXPECT_EQ(doc.baseImage->pixel(int(r.x()), int(r.y())), original->pixel(2, 3));
}

TEST_F(History, CancelCropIsOneStepAndNoOpWithoutCrop) {
    EXPECT_FALSE(ops::cancelEditorCrop(&doc, history));
    doc.cropRect = QRectF(1, 1, 10, 10);
    ASSERT_TRUE(ops::cancelEditorCrop(&doc, history));
    EXPECT_FALSE(doc.cropRect);
    ASSERT_TRUE(ops::undoEditorChange(&doc, history, false));
    EXPECT_EQ(doc.cropRect, QRectF(1, 1, 10, 10));
}

TEST(AnnotationColors, DefaultsPerKindReplaceAlpha) {
    AnnotationColorDefaults d;
    d.marker = {0.2, 0.4, 0.6, 0.9};
    d.highlight = {0.1, 0.2, 0.3, 0.5};
    d.text = {1, 0, 0, 1};
    EXPECT_EQ(configuredAnnotationColor(AnnotationKind::marker, d), (RgbaColor{0.2, 0.4, 0.6, 0.34}));
    EXPECT_EQ(configuredAnnotationColor(AnnotationKind::highlight, d), (RgbaColor{0.1, 0.2, 0.3, 0.28}));
    EXPECT_EQ(configuredAnnotationColor(AnnotationKind::text, d), d.text);
    EXPECT_EQ(configuredAnnotationColor(AnnotationKind::arrow, d), d.annotation);
    EXPECT_EQ(configuredAnnotationColor(AnnotationKind::pixelate, d), (RgbaColor{0, 0, 0, 0}));
    EXPECT_EQ(configuredAnnotationColor(AnnotationKind::spotlight, d), (RgbaColor{0, 0, 0, 0.52}));
}
