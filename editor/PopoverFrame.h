#pragma once
#include <QString>

class QFrame;
class QLabel;
class QWidget;

namespace lumivane {

// The light rounded frame of the editor's style popovers and its titled sections.
void stylePopoverFrame(QFrame* popover);
QLabel* sectionTitle(const QString& text, QWidget* parent);
// The title above the content; a positive width fixes both widths.
QWidget* section(const QString& title, QWidget* content, QWidget* parent, int width = -1);
// Shows a popover frame under an anchor widget; the frame closes on an outside click.
void presentPopover(QFrame* popover, QWidget* anchor);

} // namespace lumivane
