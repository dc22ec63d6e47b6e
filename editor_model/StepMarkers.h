#pragma once
#include "editor_model/EditorDocument.h"

#include <QPainterPath>
#include <optional>

// Numbered step markers. A step's number is its place among the document's steps in
// list order (1, 2, 3 …), kept in its text: adding, deleting, reordering, cropping
// and reading a project renumber them, so undo restores numbers with the list.
namespace lumivane {

// Writes 1, 2, 3 … into the steps' text in list order; other kinds are untouched.
void renumberSteps(std::vector<Annotation>& annotations);
// The number the next step placed gets.
int nextStepNumber(const std::vector<Annotation>& annotations);
// Swaps the step with the step before (direction −1) or after (+1) it in the list
// and renumbers. False when there is no such step or `id` is not a step.
bool moveStep(std::vector<Annotation>& annotations, const QUuid& id, int direction);

namespace StepMarker {
// Circle diameter in image points of a new step at the display scale.
inline constexpr double defaultDiameter = 36;
inline constexpr double minimumDiameter = 12;
// The circle of a step centred on `center`.
QRectF circleRect(QPointF center, double diameter);
// The same circle with a new diameter around its centre.
QRectF resizedCircle(const QRectF& circle, double diameter);
// Point size of the number: about half the diameter, less for long numbers.
double numberFontSize(double diameter, int digits);
// The tail: a wedge from the circle's edge to `tip`; empty when the tip lies inside
// the circle.
QPainterPath tailPath(const QRectF& circle, QPointF tip);
// The tail tip a drag to `point` leaves: none inside the circle (no tail).
std::optional<QPointF> tailTip(const QRectF& circle, QPointF point);
} // namespace StepMarker

} // namespace lumivane
