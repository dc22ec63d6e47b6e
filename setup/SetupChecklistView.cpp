#include "setup/SetupChecklistView.h"
#include "settings/DesktopShortcutsBox.h"
#include "settings/ShortcutCommandsBox.h"

#include "settings/TextLabel.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtMath>

namespace lumivane {

namespace {

enum class Glyph { check, exclamation, question };
enum class SymbolShape { circle, seal, triangle };

// The status symbols, drawn: a filled shape with a white glyph.
QPixmap symbol(SymbolShape shape, Glyph glyph, const QColor& fill, int side) {
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pm(QSize(side, side) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    const QPointF c(side / 2.0, side / 2.0);
    const qreal r = side / 2.0 - 0.5;
    switch (shape) {
    case SymbolShape::circle:
        p.drawEllipse(c, r, r);
        break;
    case SymbolShape::seal: {
        QPainterPath path;
        const int points = 24;
        for (int i = 0; i <= points; ++i) {
            const qreal a = i * 2 * M_PI / points - M_PI / 2;
            const qreal rr = (i % 2 == 0) ? r : r * 0.86;
            const QPointF pt(c.x() + rr * std::cos(a), c.y() + rr * std::sin(a));
            i == 0 ? path.moveTo(pt) : path.lineTo(pt);
        }
        p.drawPath(path);
        break;
    }
    case SymbolShape::triangle: {
        QPainterPath path;
        path.moveTo(c.x(), side * 0.06);
        path.lineTo(side * 0.97, side * 0.92);
        path.lineTo(side * 0.03, side * 0.92);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    }
    const QColor ink = Qt::white;
    const qreal yShift = shape == SymbolShape::triangle ? side * 0.1 : 0;
    if (glyph == Glyph::check) {
        QPen pen(ink, side * 0.12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath tick;
        tick.moveTo(side * 0.30, side * 0.52);
        tick.lineTo(side * 0.45, side * 0.66);
        tick.lineTo(side * 0.71, side * 0.37);
        p.drawPath(tick);
    } else {
        QFont f = p.font();
        f.setPixelSize(int(side * (shape == SymbolShape::triangle ? 0.55 : 0.68)));
        f.setBold(true);
        p.setFont(f);
        p.setPen(ink);
        p.drawText(QRectF(0, yShift, side, side), Qt::AlignCenter,
                   glyph == Glyph::exclamation ? QStringLiteral("!") : QStringLiteral("?"));
    }
    return pm;
}

QColor green() {
    return QColor(0x2f, 0xa8, 0x4f);
}
QColor orange() {
    return QColor(0xf0, 0x8c, 0x1a);
}

QLabel* text(const QString& s, int pixelSize, QFont::Weight weight = QFont::Normal, bool secondary = false) {
    return makeTextLabel(s, pixelSize, weight, secondary ? 0.62 : 1.0);
}

QFrame* panel(const QString& name) {
    auto* f = new QFrame;
    f->setObjectName(name);
    f->setStyleSheet(QStringLiteral("#%1 { background: rgba(0,0,0,10); border: 1px solid rgba(0,0,0,28);"
                                    " border-radius: 10px; }")
                         .arg(name));
    return f;
}

} // namespace

QColor setupStatusColor(SetupStatus status, const QPalette& palette) {
    switch (status) {
    case SetupStatus::ready:
        return green();
    case SetupStatus::actionRequired:
        return orange();
    case SetupStatus::verificationNeeded: {
        QColor c = palette.color(QPalette::WindowText);
        c.setAlphaF(0.5f);
        return c;
    }
    }
    return {};
}

// --- item row -------------------------------------------------------------------

SetupItemRow::SetupItemRow(SetupHost& host, SetupItemKind kind, QWidget* parent)
    : QFrame(parent), host_(host), kind_(kind) {
    setObjectName(QStringLiteral("setupItem_") + rawValue(kind));
    setStyleSheet(
        QStringLiteral("#%1 { background: rgba(0,0,0,8); border: 1px solid rgba(0,0,0,24); border-radius: 10px; }")
            .arg(objectName()));
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(14, 12, 14, 12);
    h->setSpacing(12);
    icon_ = new QLabel;
    icon_->setFixedSize(24, 24);
    h->addWidget(icon_, 0, Qt::AlignTop);

    auto* v = new QVBoxLayout;
    v->setSpacing(4);
    auto* titleLine = new QHBoxLayout;
    titleLine->setSpacing(8);
    auto* title = text(SetupTexts::itemTitle(kind), 14, QFont::DemiBold);
    title->setWordWrap(false);
    titleLine->addWidget(title, 0, Qt::AlignVCenter);
    badge_ = text(QString(), 11, QFont::Bold);
    badge_->setObjectName(QStringLiteral("statusBadge"));
    badge_->setWordWrap(false);
    badge_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    titleLine->addWidget(badge_, 0, Qt::AlignVCenter);
    titleLine->addStretch();
    v->addLayout(titleLine);
    v->addWidget(text(SetupTexts::itemPurpose(kind), 12, QFont::Normal, true));
    detail_ = text(QString(), 12);
    detail_->setObjectName(QStringLiteral("detail"));
    detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(detail_);

    buttonBar_ = new QWidget;
    auto* buttons = new QHBoxLayout(buttonBar_);
    buttons->setContentsMargins(0, 2, 0, 0);
    buttons->setSpacing(8);
    settingsButton_ = new QPushButton(SetupTexts::settingsButton(kind));
    settingsButton_->setObjectName(QStringLiteral("settingsButton"));
    buttons->addWidget(settingsButton_);
    if (kind == SetupItemKind::browserJavaScript) {
        connect(settingsButton_, &QPushButton::clicked, this, [this] { host_.showBrowserJavaScriptHelp(); });
    } else {
        connect(settingsButton_, &QPushButton::clicked, this, [this] { host_.openSetupSettingsPage(kind_); });
    }
    if (kind == SetupItemKind::automation || kind == SetupItemKind::browserJavaScript) {
        browserCheckButton_ = new QPushButton(SetupTexts::browserCheckButton());
        browserCheckButton_->setObjectName(QStringLiteral("browserCheckButton"));
        buttons->addWidget(browserCheckButton_);
        connect(browserCheckButton_, &QPushButton::clicked, this, [this] { host_.verifyBrowserIntegrationSetup(); });
    }
    buttons->addStretch();
    v->addWidget(buttonBar_);
    h->addLayout(v, 1);
}

void SetupItemRow::refresh(const SetupChecklistItem* item, bool browserCheckPossible) {
    const SetupStatus status = item ? item->status : SetupStatus::verificationNeeded;
    const QColor colour = setupStatusColor(status, palette());
    const Glyph glyph = status == SetupStatus::ready            ? Glyph::check
                        : status == SetupStatus::actionRequired ? Glyph::exclamation
                                                                : Glyph::question;
    icon_->setPixmap(symbol(SymbolShape::circle, glyph, colour, 24));
    badge_->setText(item ? SetupTexts::statusBadge(status) : QString());
    badge_->setVisible(item != nullptr);
    badge_->setStyleSheet(QStringLiteral("color: %1; border: 1px solid %1; border-radius: 6px; padding: 1px 6px;")
                              .arg(colour.name(QColor::HexArgb)));
    detail_->setText(item ? item->detail : QString());
    setVisible(!item || item->applies);
    // A granted permission has nothing left to open; the JavaScript help is always at hand.
    const bool settingsShown = kind_ == SetupItemKind::browserJavaScript || status != SetupStatus::ready;
    settingsButton_->setVisible(settingsShown);
    if (browserCheckButton_)
        browserCheckButton_->setEnabled(browserCheckPossible);
    buttonBar_->setVisible(settingsShown || browserCheckButton_);
}

// --- view -------------------------------------------------------------------------

QWidget* SetupChecklistView::card(const QString& title, QLabel*& icon, QLabel*& value) {
    auto* c =
        panel(title == SetupTexts::basicCardTitle() ? QStringLiteral("basicCard") : QStringLiteral("browserCard"));
    auto* h = new QHBoxLayout(c);
    h->setContentsMargins(14, 12, 14, 12);
    h->setSpacing(10);
    icon = new QLabel;
    icon->setFixedSize(28, 28);
    h->addWidget(icon, 0, Qt::AlignVCenter);
    auto* v = new QVBoxLayout;
    v->setSpacing(2);
    v->addWidget(text(title, 13, QFont::DemiBold));
    value = text(QString(), 12, QFont::Normal, true);
    v->addWidget(value);
    h->addLayout(v, 1);
    return c;
}

SetupChecklistView::SetupChecklistView(SetupHost& host, SetupPresentationMode mode, QWidget* parent)
    : QWidget(parent), host_(host), mode_(mode) {
    setObjectName(QStringLiteral("setupChecklistView"));
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(14);

    // Header.
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    auto* seal = new QLabel;
    seal->setPixmap(symbol(SymbolShape::seal, Glyph::check, QColor(0x2f, 0x7d, 0xf6), 36));
    seal->setFixedSize(36, 36);
    header->addWidget(seal, 0, Qt::AlignTop);
    auto* headerText = new QVBoxLayout;
    headerText->setSpacing(4);
    auto* headline = text(SetupTexts::headerLine(mode), 15, QFont::DemiBold);
    headline->setObjectName(QStringLiteral("headerLine"));
    headerText->addWidget(headline);
    headerText->addWidget(text(SetupTexts::headerNote(), 12, QFont::Normal, true));
    header->addLayout(headerText, 1);
    page->addLayout(header);

    // Summary cards.
    auto* cards = new QHBoxLayout;
    cards->setSpacing(12);
    cards->addWidget(card(SetupTexts::basicCardTitle(), basicIcon_, basicValue_), 1);
    cards->addWidget(card(SetupTexts::browserCardTitle(), browserIcon_, browserValue_), 1);
    page->addLayout(cards);

    // Items.
    for (SetupItemKind kind : allSetupItemKinds) {
        auto* row = new SetupItemRow(host, kind);
        rows_[kind] = row;
        page->addWidget(row);
    }
    if (host.shortcutsBoundByDesktop())
        page->addWidget(host.desktopShortcuts()
                            ? static_cast<QWidget*>(new DesktopShortcutsBox(*host.desktopShortcuts()))
                            : new ShortcutCommandsBox(host.offersTextRecognition()));

    // Failure of the last check.
    error_ = text(QString(), 12);
    error_->setObjectName(QStringLiteral("setupError"));
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    error_->setStyleSheet(
        QStringLiteral("#setupError { color: #b54708; background: rgba(240,140,26,28);"
                       " border: 1px solid rgba(240,140,26,90); border-radius: 8px; padding: 8px; }"));
    page->addWidget(error_);

    // Check procedure.
    auto* box = panel(QStringLiteral("procedureBox"));
    procedure_ = box;
    auto* pv = new QVBoxLayout(box);
    pv->setContentsMargins(14, 12, 14, 12);
    pv->setSpacing(4);
    pv->addWidget(text(SetupTexts::procedureTitle(), 13, QFont::DemiBold));
    for (const QString& line : SetupTexts::procedureLines())
        pv->addWidget(text(line, 12));
    page->addWidget(box);

    // Footer.
    auto* footer = new QHBoxLayout;
    footer->setSpacing(8);
    recheck_ = new QPushButton(SetupTexts::recheckButton());
    recheck_->setObjectName(QStringLiteral("recheckButton"));
    footerCheck_ = new QPushButton(SetupTexts::footerBrowserCheckButton());
    footerCheck_->setObjectName(QStringLiteral("footerBrowserCheckButton"));
    support_ = new QPushButton(SetupTexts::supportButton());
    support_->setObjectName(QStringLiteral("supportButton"));
    footer->addWidget(recheck_);
    footer->addWidget(footerCheck_);
    footer->addWidget(support_);
    footer->addStretch();
    connect(recheck_, &QPushButton::clicked, this, [this] { host_.refreshSetupState(); });
    connect(footerCheck_, &QPushButton::clicked, this, [this] { host_.verifyBrowserIntegrationSetup(); });
    connect(support_, &QPushButton::clicked, this, [this] { host_.openSupportSite(); });
    if (mode == SetupPresentationMode::onboarding) {
        closeForNow_ = new QPushButton(SetupTexts::closeForNowButton());
        closeForNow_->setObjectName(QStringLiteral("closeForNowButton"));
        closeForNow_->setDefault(true);
        footer->addWidget(closeForNow_);
        connect(closeForNow_, &QPushButton::clicked, this, [this] { host_.dismissSetupWindow(); });
    }
    page->addLayout(footer);
    page->addStretch();

    connect(&host, &SetupHost::setupStateChanged, this, &SetupChecklistView::refresh);
    connect(&host, &SetupHost::verifyingChanged, this, &SetupChecklistView::refresh);
    connect(&host, &SetupHost::lastErrorMessageChanged, this, &SetupChecklistView::refresh);
    refresh();
}

void SetupChecklistView::refresh() {
    const SetupChecklistState& state = host_.setupState();
    const bool basic = state.isReadyForBasicCapture();
    const bool browser = state.isReadyForBrowserCapture();
    basicValue_->setText(SetupTexts::basicCardValue(basic));
    basicIcon_->setPixmap(basic ? symbol(SymbolShape::seal, Glyph::check, green(), 28)
                                : symbol(SymbolShape::triangle, Glyph::exclamation, orange(), 28));
    browserValue_->setText(SetupTexts::browserCardValue(browser));
    browserIcon_->setPixmap(browser ? symbol(SymbolShape::seal, Glyph::check, green(), 28)
                                    : symbol(SymbolShape::triangle, Glyph::exclamation, orange(), 28));

    // A browser check needs both permissions; one at a time.
    const bool checkPossible = state.hasBrowserCapturePermissions() && !host_.isVerifyingBrowserIntegration();
    for (auto& [kind, row] : rows_)
        row->refresh(state.item(kind), checkPossible);
    footerCheck_->setEnabled(checkPossible);
    recheck_->setEnabled(!host_.isVerifyingBrowserIntegration());
    procedure_->setVisible(!browser);

    const std::optional<QString> message = host_.lastErrorMessage();
    error_->setText(message.value_or(QString()));
    error_->setVisible(message && !message->isEmpty());
}

} // namespace lumivane
