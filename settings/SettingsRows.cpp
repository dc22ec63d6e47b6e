#include "settings/SettingsRows.h"
#include "settings/SettingsPage.h"
#include "settings/TextLabel.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace lumivane {

QLabel* settingsLabel(const QString& text, int pixelSize, QFont::Weight weight, bool secondary) {
    return makeTextLabel(text, pixelSize, weight, secondary ? 0.6 : 1.0);
}

QFrame* settingsDivider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setStyleSheet(QStringLiteral("color: rgba(0,0,0,40);"));
    return line;
}

QWidget* settingsSection(const QString& title, const QString& subtitle, QVBoxLayout*& content) {
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 8);
    v->setSpacing(4);
    v->addWidget(settingsLabel(title, 15, QFont::Bold));
    v->addWidget(settingsLabel(subtitle, 12, QFont::Normal, true));
    auto* card = new QFrame;
    card->setObjectName(QStringLiteral("sectionCard"));
    card->setStyleSheet(QStringLiteral("#sectionCard { background: rgba(0,0,0,10); border: 1px solid rgba(0,0,0,25);"
                                       " border-radius: 10px; }"));
    content = new QVBoxLayout(card);
    content->setContentsMargins(14, 12, 14, 12);
    content->setSpacing(10);
    v->addSpacing(4);
    v->addWidget(card);
    return box;
}

QWidget* titledRow(const QString& title, const QString& description, QWidget* trailing) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(settingsLabel(title, 13, QFont::DemiBold));
    if (!description.isEmpty())
        texts->addWidget(settingsLabel(description, 12, QFont::Normal, true));
    h->addLayout(texts, 1);
    if (trailing)
        h->addWidget(trailing, 0, Qt::AlignVCenter);
    return row;
}

QWidget* infoRow(const QString& name, const QString& value) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* l = settingsLabel(name, 13, QFont::DemiBold);
    l->setFixedWidth(120);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    h->addWidget(l, 0, Qt::AlignTop);
    auto* v = settingsLabel(value, 13);
    v->setTextInteractionFlags(Qt::TextSelectableByMouse);
    h->addWidget(v, 1);
    return row;
}

QWidget* permissionRow(const QString& badge, const QColor& colour, const QString& title, const QString& text) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* b = settingsLabel(badge, 11, QFont::Bold);
    b->setWordWrap(false);
    b->setAlignment(Qt::AlignCenter);
    b->setFixedWidth(64);
    b->setStyleSheet(
        QStringLiteral("color: %1; border: 1px solid %1; border-radius: 6px; padding: 2px 4px;").arg(colour.name()));
    h->addWidget(b, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(settingsLabel(title, 13, QFont::DemiBold));
    texts->addWidget(settingsLabel(text, 12, QFont::Normal, true));
    h->addLayout(texts, 1);
    return row;
}

QWidget* checkRow(SettingsPage& page, const QString& name, const QString& title, const QString& description,
                  const std::function<bool()>& get, const std::function<void(bool)>& set) {
    auto* box = new QCheckBox;
    box->setObjectName(name);
    box->setAccessibleName(title);
    QObject::connect(box, &QCheckBox::toggled, &page, [set](bool on) { set(on); });
    page.addRefresher([box, get] {
        QSignalBlocker b(box);
        box->setChecked(get());
    });
    return titledRow(title, description, box);
}

QWidget* spinRow(SettingsPage& page, const QString& name, const QString& title, const QString& description, int minimum,
                 int maximum, const QString& suffix, const std::function<int()>& get,
                 const std::function<void(int)>& set) {
    auto* spin = new QSpinBox;
    spin->setObjectName(name);
    spin->setAccessibleName(title);
    spin->setRange(minimum, maximum);
    spin->setSuffix(suffix);
    spin->setKeyboardTracking(false);
    spin->setMinimumWidth(110);
    QObject::connect(spin, &QSpinBox::valueChanged, &page, [set](int v) { set(v); });
    page.addRefresher([spin, get] {
        QSignalBlocker b(spin);
        spin->setValue(get());
    });
    return titledRow(title, description, spin);
}

QWidget* colorRow(SettingsPage& page, const QString& name, const QString& title, const QString& description,
                  const std::function<std::optional<QColor>(const QColor&)>& choose,
                  const std::function<RgbaColor()>& get, const std::function<void(const RgbaColor&)>& set) {
    auto* well = new QPushButton;
    well->setObjectName(name);
    well->setAccessibleName(title);
    well->setFixedSize(44, 24);
    QObject::connect(well, &QPushButton::clicked, &page, [&choose, get, set] {
        if (!choose)
            return;
        if (const auto c = choose(get().toQColor()))
            set(RgbaColor::fromQColor(*c));
    });
    page.addRefresher([well, get] {
        well->setStyleSheet(
            QStringLiteral("QPushButton { background: %1; border: 1px solid rgba(0,0,0,80); border-radius: 5px; }")
                .arg(get().toQColor().name(QColor::HexArgb)));
    });
    return titledRow(title, description, well);
}

QWidget* sliderRow(SettingsPage& page, const QString& name, const QString& title, const QString& description,
                   int minimum, int maximum, int width, const std::function<double()>& get,
                   const std::function<void(double)>& set) {
    auto* box = new QWidget;
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(name);
    slider->setRange(minimum, maximum);
    slider->setSingleStep(1);
    slider->setPageStep(1);
    slider->setFixedWidth(width);
    auto* value = settingsLabel({}, 13);
    value->setWordWrap(false);
    value->setMinimumWidth(28);
    h->addWidget(slider);
    h->addWidget(value);
    QObject::connect(slider, &QSlider::valueChanged, &page, [set, value](int v) {
        value->setText(QString::number(v));
        set(double(v));
    });
    page.addRefresher([slider, value, get] {
        QSignalBlocker b(slider);
        const int v = int(qRound(get()));
        slider->setValue(v);
        value->setText(QString::number(slider->value()));
    });
    return titledRow(title, description, box);
}

} // namespace lumivane
