#include "config/CConfigurate.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <utility>

#include "config/CCheckGrid.h"
#include "config/CDefineMultiKeys.h"
#include "config/CDialogPrompter.h"

namespace {

constexpr int kItemWidth = 50;
// Four rows per list: 8 columns for the 32 X channels, 13 for the 52 Y channels.
constexpr int kListRows = 4;

QString Name(const char* kind, int id) {
    return QString::fromLatin1(kind) + QString::number(id);
}

}  // namespace

CConfigurate::CConfigurate(ConfigurationHost host, QWidget* parent, Prompter* prompter)
    : QDialog(parent),
      ownPrompter_(prompter == nullptr ? std::make_unique<CDialogPrompter>(this) : nullptr),
      prompter_(prompter == nullptr ? *ownPrompter_ : *prompter) {
    setWindowTitle(QStringLiteral("配置参数"));
    BuildControls();
    session_ = std::make_unique<ConfigurationSession>(
        std::move(host), static_cast<ConfigurationForm&>(*this), prompter_);
    session_->Open();
}

CConfigurate::~CConfigurate() = default;

void CConfigurate::BuildControls() {
    auto* top = new QHBoxLayout;
    top->addWidget(BuildParameters());
    top->addWidget(BuildCriterion());
    auto* files = new QVBoxLayout;
    for (const auto& [id, text] : {std::pair{configids::kButtonImport, "导入配置"},
                                   std::pair{configids::kButtonExport, "导出配置"}}) {
        auto* button = new QPushButton(QString::fromUtf8(text), this);
        button->setObjectName(Name("button", id));
        button->setAutoDefault(false);
        buttons_[id] = button;
        files->addWidget(button);
    }
    files->addStretch();
    top->addLayout(files);
    top->addStretch();
    connect(buttons_[configids::kButtonImport], &QPushButton::clicked, this,
            [this] { session_->Import(); });
    connect(buttons_[configids::kButtonExport], &QPushButton::clicked, this,
            [this] { session_->Export(); });

    auto* lists = new QGridLayout;
    lists->addWidget(BuildChannelList(1033, "X通道显示区域", configids::kListDisplayX), 0, 0);
    lists->addWidget(BuildChannelList(1035, "Y通道显示区域", configids::kListDisplayY), 0, 1);
    lists->addWidget(BuildChannelList(1037, "可视区的X通道测试区域", configids::kListVaX), 1, 0);
    lists->addWidget(BuildChannelList(1039, "可视区的Y通道测试区域", configids::kListVaY), 1, 1);
    lists->addWidget(BuildChannelList(1041, "按键区的X通道测试区域", configids::kListKeyX), 2, 0);
    lists->addWidget(BuildChannelList(1043, "按键区的Y通道测试区域", configids::kListKeyY), 2, 1);
    auto* multiKeys = new QPushButton(QStringLiteral("定义多行按键"), this);
    multiKeys->setObjectName(Name("button", configids::kButtonMultiKeys));
    multiKeys->setAutoDefault(false);
    buttons_[configids::kButtonMultiKeys] = multiKeys;
    lists->addWidget(multiKeys, 2, 2, Qt::AlignBottom);
    connect(multiKeys, &QPushButton::clicked, this, &CConfigurate::OnDefineMultiKeys);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(lists);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* CConfigurate::BuildParameters() {
    auto* group = new QGroupBox(QStringLiteral("基本参数"), this);
    group->setObjectName(Name("group", 1034));
    auto* grid = new QGridLayout(group);
    const struct {
        int labelId;
        const char* label;
        int fieldId;
        int row;
        int column;
    } entries[] = {
        {1045, "X有效通道数量=", configids::kFieldXCount, 0, 0},
        {1046, "Y有效通道数量=", configids::kFieldYCount, 0, 1},
        {1047, "可视区合格下限=", configids::kFieldVaMin, 1, 0},
        {1048, "可视区合格上限=", configids::kFieldVaMax, 1, 1},
        {1049, "按键区合格下限=", configids::kFieldKeyMin, 2, 0},
        {1050, "按键区合格上限=", configids::kFieldKeyMax, 2, 1},
    };
    for (const auto& entry : entries) {
        auto* label = new QLabel(QString::fromUtf8(entry.label), group);
        label->setObjectName(Name("label", entry.labelId));
        auto* field = new QLineEdit(QStringLiteral("0"), group);
        field->setObjectName(Name("field", entry.fieldId));
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) +
                             12);
        label->setBuddy(field);
        fields_[entry.fieldId] = field;
        grid->addWidget(label, entry.row, 3 * entry.column, Qt::AlignRight);
        grid->addWidget(field, entry.row, 3 * entry.column + 1);
    }
    grid->setColumnMinimumWidth(2, 16);
    return group;
}

QWidget* CConfigurate::BuildCriterion() {
    auto* group = new QGroupBox(QStringLiteral("判定依据"), this);
    group->setObjectName(Name("group", 1053));
    auto* column = new QVBoxLayout(group);
    auto* buttons = new QButtonGroup(group);
    const char* const texts[] = {"测试值上下限范围", "样本偏差"};
    for (int criterion = 0; criterion < 2; ++criterion) {
        auto* radio = new QRadioButton(QString::fromUtf8(texts[criterion]), group);
        radio->setObjectName(Name("radio", configids::kRadioLimits + criterion));
        buttons->addButton(radio, criterion);
        radios_[static_cast<size_t>(criterion)] = radio;
        column->addWidget(radio);
        // clicked, not toggled: a click on the checked button chooses again, as the
        // operator expects of the button.
        connect(radio, &QRadioButton::clicked, this,
                [this, criterion] { session_->ChooseCriterion(criterion); });
    }
    column->addStretch();
    return group;
}

QWidget* CConfigurate::BuildChannelList(int groupId, const char* title, int listId) {
    auto* group = new QGroupBox(QString::fromUtf8(title), this);
    group->setObjectName(Name("group", groupId));
    auto* list = new QListWidget(group);
    list->setObjectName(Name("list", listId));
    const size_t items = ChannelListItems(listId);
    const char axis = items == kXListItems ? 'X' : 'Y';
    for (size_t channel = 0; channel < items; ++channel) {
        auto* item = new QListWidgetItem(
            QString::fromLatin1(ChannelItemText(axis, static_cast<unsigned>(channel))), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    const int columns = static_cast<int>((items + kListRows - 1) / kListRows);
    ArrangeCheckGrid(*list, QSize(kItemWidth, CheckGridCellHeight(*list)), kListRows, columns);
    lists_[listId] = list;
    connect(list, &QListWidget::itemChanged, this,
            [this, listId](QListWidgetItem* item) { OnItemChanged(listId, item); });
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(list);
    return group;
}

void CConfigurate::OnItemChanged(int listId, QListWidgetItem* item) {
    QListWidget* const list = lists_.at(listId);
    const int row = list->row(item);
    if (row < 0) {
        return;
    }
    session_->SetItemChecked(listId, static_cast<size_t>(row), item->checkState() == Qt::Checked);
}

void CConfigurate::OnDefineMultiKeys() {
    CDefineMultiKeys window(session_->Working(), this, ownPrompter_ ? nullptr : &prompter_);
    window.exec();
}

void CConfigurate::closeEvent(QCloseEvent* event) {
    if (session_->Close()) {
        event->accept();
        done(QDialog::Accepted);
    } else {
        event->ignore();
    }
}

void CConfigurate::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A focused push button takes Enter as a click, as in any dialog.
            if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
                button->click();
            } else if (session_->EndOnEnter()) {
                done(QDialog::Accepted);
            }
            return;
        case Qt::Key_Escape:
            done(QDialog::Rejected);
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

std::string CConfigurate::FieldText(int fieldId) const {
    const QByteArray text = fields_.at(fieldId)->text().toUtf8();
    return std::string(text.constData(), static_cast<size_t>(text.size()));
}

void CConfigurate::SetFieldText(int fieldId, const std::string& text) {
    fields_.at(fieldId)->setText(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void CConfigurate::FocusField(int fieldId) {
    QLineEdit* const field = fields_.at(fieldId);
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

int CConfigurate::CheckedCriterion() const {
    for (size_t i = 0; i < radios_.size(); ++i) {
        if (radios_[i]->isChecked()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void CConfigurate::CheckCriterion(int criterion) {
    QButtonGroup* const group = radios_[0]->group();
    // An exclusive group cannot uncheck its last button; a criterion other than 0 and 1
    // shows neither.
    group->setExclusive(false);
    for (size_t i = 0; i < radios_.size(); ++i) {
        radios_[i]->setChecked(static_cast<int>(i) == criterion);
    }
    group->setExclusive(true);
}

void CConfigurate::SetItemChecked(int listId, size_t item, bool checked) {
    QListWidget* const list = lists_.at(listId);
    const QSignalBlocker blocker(list);
    list->item(static_cast<int>(item))->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void CConfigurate::EnableButton(int buttonId, bool enabled) {
    buttons_.at(buttonId)->setEnabled(enabled);
}
