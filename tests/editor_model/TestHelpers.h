#pragma once
#include "editor_model/EditorDocument.h"
#include "editor_model/ProjectFile.h"

#include <QImage>
#include <gtest/gtest.h>
#include <string>

namespace lumivane::test {

inline ImageRef solidImage(int w, int h, QColor color = Qt::gray) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return makeImage(image);
}

inline Annotation makeAnnotation(AnnotationKind kind, QRectF rect) {
    Annotation a;
    a.id = QUuid::createUuid();
    a.kind = kind;
    a.rect = rect;
    a.color = RgbaColor::accent();
    a.lineWidth = 4;
    a.fontSize = 24;
    a.text = "Text";
    return a;
}

inline Annotation makeArrow(QPointF start, QPointF end) {
    Annotation a = makeAnnotation(AnnotationKind::arrow, QRectF(start, end).normalized());
    a.arrowStart = start;
    a.arrowEnd = end;
    return a;
}

inline Annotation makeMarker(std::vector<QPointF> points, double width = 18) {
    Annotation a = makeAnnotation(AnnotationKind::marker, {});
    a.lineWidth = width;
    a.markerPoints = std::move(points);
    a.rebuildDerivedRect();
    return a;
}

// Runs f, which must throw a ProjectFileError whose message holds fragment.
template <typename F>
void expectProjectError(F&& f, const char* fragment) {
    try {
        f();
        ADD_FAILURE() << "no error: " << fragment;
    } catch (const ProjectFileError& e) {
        EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
}

} // namespace lumivane::test
