#include "config/CDefineMultiKeys.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <algorithm>

#include "config/CCheckGrid.h"
#include "config/CDialogPrompter.h"
#include "config/ConfigurationSession.h"

namespace {

constexpr int kMargin = 12;
constexpr int kRowLabelWidth = 56;
constexpr int kColumnLabelHeight = 20;

QString Name(const char* kind, int id) {
    return QString::fromLatin1(kind) + QString::number(id);
}

}  // namespace

CDefineMultiKeys::CDefineMultiKeys(WorkingConfig& working, QWidget* parent, Prompter* prompter)
    : QDialog(parent),
      ownPrompter_(prompter == nullptr ? std::make_unique<CDialogPrompter>(this) : nullptr),
      session_(working, prompter == nullptr ? *ownPrompter_ : *prompter) {
    setWindowTitle(QStringLiteral("定义多行按键"));
    constexpr int side = static_cast<int>(MultiKeySession::kSide);

    auto* instruction =
        new QLabel(QStringLiteral("请在下面有效区域打勾，选择按键所在的节点："), this);
    instruction->setObjectName(Name("label", configids::kMultiKeyInstruction));
    instruction->adjustSize();
    instruction->move(kMargin, kMargin);

    grid_ = new QListWidget(this);
    grid_->setObjectName(Name("grid", configids::kMultiKeyGrid));
    session_.Open();
    for (size_t i = 0; i < session_.ItemCount(); ++i) {
        auto* item = new QListWidgetItem(grid_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    }
    ShowItems();
    connect(grid_, &QListWidget::itemChanged, this, &CDefineMultiKeys::OnItemChanged);
    const int cellHeight = CheckGridCellHeight(*grid_);
    ArrangeCheckGrid(*grid_, QSize(kCellWidth, cellHeight), side, side);
    const int gridX = kMargin + kRowLabelWidth;
    const int gridY = instruction->geometry().bottom() + 8 + kColumnLabelHeight;
    grid_->move(gridX, gridY);
    const int frame = grid_->frameWidth();

    const auto columnLabels = session_.ColumnLabels();
    const auto rowLabels = session_.RowLabels();
    for (int i = 0; i < side; ++i) {
        auto* column = new QLabel(this);
        column->setObjectName(Name("label", configids::kMultiKeyFirstColumnLabel + i));
        column->setGeometry(gridX + frame + i * kCellWidth, gridY - kColumnLabelHeight, kCellWidth,
                            kColumnLabelHeight);
        column->setText(QString::fromUtf8(columnLabels[static_cast<size_t>(i)]));
        column->setVisible(!columnLabels[static_cast<size_t>(i)].empty());

        auto* row = new QLabel(this);
        row->setObjectName(Name("label", configids::kMultiKeyFirstRowLabel + i));
        row->setGeometry(kMargin, gridY + frame + i * cellHeight, kRowLabelWidth - 4, cellHeight);
        row->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row->setText(QString::fromUtf8(rowLabels[static_cast<size_t>(i)]));
        row->setVisible(!rowLabels[static_cast<size_t>(i)].empty());
    }

    setFixedSize(std::max(instruction->geometry().right(), grid_->geometry().right()) + kMargin,
                 grid_->geometry().bottom() + kMargin);
}

CDefineMultiKeys::~CDefineMultiKeys() = default;

void CDefineMultiKeys::ShowItems() {
    const QSignalBlocker blocker(grid_);
    for (int i = 0; i < grid_->count(); ++i) {
        grid_->item(i)->setCheckState(session_.ItemChecked(static_cast<size_t>(i)) ? Qt::Checked
                                                                                   : Qt::Unchecked);
    }
}

void CDefineMultiKeys::OnItemChanged(QListWidgetItem* item) {
    const int row = grid_->row(item);
    if (row < 0) {
        return;
    }
    session_.SetItemChecked(static_cast<size_t>(row), item->checkState() == Qt::Checked);
    // A refused tick is unchecked again by the session; the grid follows it.
    ShowItems();
}

void CDefineMultiKeys::closeEvent(QCloseEvent* event) {
    if (session_.Close()) {
        event->accept();
        done(QDialog::Accepted);
    } else {
        event->ignore();
    }
}

void CDefineMultiKeys::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            done(QDialog::Rejected);
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}
