#include "history/HistoryWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivane {

HistoryWindow::HistoryWindow(HistoryActions actions, QWidget* parent)
    : QWidget(parent, Qt::Window), actions_(std::move(actions)), model_(new HistoryListModel(this)),
      view_(new QListView(this)), empty_(new QLabel(QStringLiteral("まだ撮影がありません"), this)) {
    setWindowTitle(windowTitleText());
    resize(760, 560);
    view_->setViewMode(QListView::IconMode);
    view_->setResizeMode(QListView::Adjust);
    view_->setMovement(QListView::Static);
    view_->setUniformItemSizes(true); // no row is measured (nor its thumbnail read) to lay out
    view_->setIconSize(QSize(HistoryListModel::iconSide, HistoryListModel::iconSide));
    view_->setGridSize(QSize(HistoryListModel::iconSide + 24, HistoryListModel::iconSide + 40));
    view_->setSpacing(4);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setModel(model_);
    connect(view_, &QListView::activated, this, [this] { run(actions_.open); });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { updateButtons(); });
    empty_->setAlignment(Qt::AlignCenter);

    auto* bar = new QHBoxLayout;
    auto button = [&](const QString& text, const std::function<void(const HistoryEntry&)>* action) {
        auto* b = new QPushButton(text, this);
        connect(b, &QPushButton::clicked, this, [this, action] { run(*action); });
        bar->addWidget(b);
        buttons_.push_back(b);
    };
    button(QStringLiteral("編集を開く"), &actions_.open);
    button(QStringLiteral("画像をコピー"), &actions_.copy);
    button(QStringLiteral("保存…"), &actions_.save);
    button(QStringLiteral("フォルダに表示"), &actions_.reveal);
    bar->addStretch();
    button(QStringLiteral("削除"), &actions_.remove);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(empty_, 1);
    layout->addLayout(bar);
    updateButtons();
}

void HistoryWindow::setEntries(std::vector<HistoryEntry> entries) {
    const std::optional<HistoryEntry> selected = selectedEntry();
    model_->setEntries(std::move(entries));
    const bool none = model_->rowCount() == 0;
    view_->setVisible(!none);
    empty_->setVisible(none);
    if (selected) {
        for (int row = 0; row < model_->rowCount(); ++row)
            if (model_->entryAt(row)->key == selected->key)
                view_->setCurrentIndex(model_->index(row));
    }
    updateButtons();
}

std::optional<HistoryEntry> HistoryWindow::selectedEntry() const {
    const QModelIndexList rows = view_->selectionModel()->selectedIndexes();
    if (rows.isEmpty())
        return std::nullopt;
    if (const HistoryEntry* e = model_->entryAt(rows.first().row()))
        return *e;
    return std::nullopt;
}

void HistoryWindow::run(const std::function<void(const HistoryEntry&)>& action) {
    if (const auto entry = selectedEntry(); entry && action)
        action(*entry);
}

void HistoryWindow::updateButtons() {
    const bool any = selectedEntry().has_value();
    for (QPushButton* b : buttons_)
        b->setEnabled(any);
}

} // namespace lumivane
