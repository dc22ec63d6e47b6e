#include "settings/AppSettings.h"
#include "settings/SettingsPages.h"
#include "settings/SettingsRows.h"

#include <QVBoxLayout>

namespace lumivane {

AnnotateSettingsPage::AnnotateSettingsPage(AppSettings& s,
                                           const std::function<std::optional<QColor>(const QColor&)>& chooseColor) {
    QVBoxLayout* content;
    column()->addWidget(settingsSection(
        QStringLiteral("既定の注釈スタイル"),
        QStringLiteral("新しく追加する図形、テキスト、ハイライトの初期見た目を個別に調整できます。"), content));
    content->addWidget(colorRow(
        *this, QStringLiteral("defaultAnnotationColor"), QStringLiteral("図形の初期色"),
        QStringLiteral("矩形と矢印で使う既定色です。"), chooseColor, [&s] { return s.defaultAnnotationColor(); },
        [&s](const RgbaColor& c) { s.setDefaultAnnotationColor(c); }));
    content->addWidget(colorRow(
        *this, QStringLiteral("defaultTextColor"), QStringLiteral("テキストの初期色"),
        QStringLiteral("テキスト注釈を新しく置いたときの既定色です。"), chooseColor,
        [&s] { return s.defaultTextColor(); }, [&s](const RgbaColor& c) { s.setDefaultTextColor(c); }));
    content->addWidget(colorRow(
        *this, QStringLiteral("defaultHighlightColor"), QStringLiteral("ハイライトの初期色"),
        QStringLiteral("ハイライトを新しく置いたときの既定色です。"), chooseColor,
        [&s] { return s.defaultHighlightColor(); }, [&s](const RgbaColor& c) { s.setDefaultHighlightColor(c); }));
    content->addWidget(sliderRow(
        *this, QStringLiteral("defaultAnnotationLineWidth"), QStringLiteral("線幅の既定値"),
        QStringLiteral("矩形と矢印の初期線幅です。"), 1, 12, 150, [&s] { return s.defaultAnnotationLineWidth(); },
        [&s](double v) { s.setDefaultAnnotationLineWidth(v); }));
    content->addWidget(sliderRow(
        *this, QStringLiteral("defaultTextFontSize"), QStringLiteral("既定のテキストサイズ"),
        QStringLiteral("テキスト注釈を新しく置いたときの初期サイズです。"), 10, 96, 180,
        [&s] { return s.defaultTextFontSize(); }, [&s](double v) { s.setDefaultTextFontSize(v); }));
    column()->addStretch();
}

} // namespace lumivane
