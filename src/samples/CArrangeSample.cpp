#include "samples/CArrangeSample.h"

#include <QAbstractTableModel>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColor>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QTimer>

#include "app/Station.h"
#include "config/CDialogPrompter.h"

namespace {

// Dialog units of the template to pixels.
constexpr int kPixelsPerUnit = 2;
// The room a list cell's text leaves for the cell's margins and grid line, in pixels.
constexpr int kCellPadding = 10;
constexpr double kSmallestPointSize = 6.0;

QRect UnitRect(int x, int y, int width, int height) {
    return {x * kPixelsPerUnit, y * kPixelsPerUnit, width * kPixelsPerUnit,
            height * kPixelsPerUnit};
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Name(const char* kind, int id) {
    return QString::fromLatin1(kind) + QString::number(id);
}

}  // namespace

// The list view's rows as the organiser holds them: black on cyan, centred, the check box in
// the first column.
class CArrangeSample::ListModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    SampleOrganiser* organiser = nullptr;

    void Refresh() {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() || organiser == nullptr
                   ? 0
                   : static_cast<int>(organiser->Rows().size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(kOrganiserColumns);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || organiser == nullptr) {
            return {};
        }
        const OrganiserRow& row = organiser->Rows().at(static_cast<size_t>(index.row()));
        switch (role) {
            case Qt::DisplayRole:
                return FromUtf8(row.texts.at(static_cast<size_t>(index.column())));
            case Qt::CheckStateRole:
                if (index.column() == 0) {
                    return row.checked ? Qt::Checked : Qt::Unchecked;
                }
                return {};
            case Qt::TextAlignmentRole:
                return QVariant::fromValue(Qt::AlignCenter);
            case Qt::BackgroundRole:
                return QColor(0, 255, 255);
            case Qt::ForegroundRole:
                return QColor(0, 0, 0);
            default:
                return {};
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole ||
            organiser == nullptr) {
            return false;
        }
        organiser->SetRowChecked(static_cast<size_t>(index.row()),
                                 static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked);
        emit dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags flags = QAbstractTableModel::flags(index);
        if (index.isValid() && index.column() == 0) {
            flags |= Qt::ItemIsUserCheckable;
        }
        return flags;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 ||
            section >= static_cast<int>(kOrganiserColumns)) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            return FromUtf8(kOrganiserHeadings[static_cast<size_t>(section)]);
        }
        if (role == Qt::TextAlignmentRole) {
            return QVariant::fromValue(Qt::AlignCenter);
        }
        return {};
    }
};

CArrangeSample::CArrangeSample(Station& station, QWidget* parent, Prompter* prompter)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("整理样本"));
    setModal(false);
    setFixedSize(406 * kPixelsPerUnit, 244 * kPixelsPerUnit);
    if (prompter == nullptr) {
        ownPrompter_ = std::make_unique<CDialogPrompter>(this);
        prompter = ownPrompter_.get();
    }
    BuildControls();
    SampleOrganiserForm& form = *this;
    organiser_ = std::make_unique<SampleOrganiser>(station, form, *prompter);
    model_->organiser = organiser_.get();
    organiser_->Initialise();
}

CArrangeSample::~CArrangeSample() {
    model_->organiser = nullptr;
}

void CArrangeSample::BuildControls() {
    // The group box first, so the controls placed over it stay on top.
    auto* group = new QGroupBox(QStringLiteral("设置测试标准"), this);
    group->setObjectName(Name("group", organiserids::kGroupStandard));
    group->setGeometry(UnitRect(7, 186, 268, 51));
    controls_[organiserids::kGroupStandard] = group;

    list_ = new QTableView(this);
    list_->setObjectName(Name("list", organiserids::kList));
    list_->setGeometry(UnitRect(7, 7, 332, 157));
    model_ = new ListModel(list_);
    list_->setModel(model_);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    for (size_t column = 0; column < kOrganiserColumns; ++column) {
        list_->setColumnWidth(static_cast<int>(column), kOrganiserColumnWidths[column]);
    }
    // A sample's ten-digit time must fit its 75-pixel column in whatever font the platform
    // gives, so the rows' font shrinks until it does.
    QFont rowFont = list_->font();
    while (QFontMetrics(rowFont).horizontalAdvance(QStringLiteral("0000000000")) + kCellPadding >
               kOrganiserColumnWidths[1] &&
           rowFont.pointSizeF() > kSmallestPointSize) {
        rowFont.setPointSizeF(rowFont.pointSizeF() - 0.5);
    }
    list_->setFont(rowFont);
    controls_[organiserids::kList] = list_;

    const struct {
        int id;
        const char* caption;
        int y;
        void (SampleOrganiser::*action)();
    } buttons[] = {
        {organiserids::kButtonAcquire, "获取一个样本", 15, &SampleOrganiser::Acquire},
        {organiserids::kButtonAverage, "生成平均样本", 48, &SampleOrganiser::Average},
        {organiserids::kButtonClear, "清空列表", 81, &SampleOrganiser::Clear},
        {organiserids::kButtonUse, "使用选中样本", 114, &SampleOrganiser::UseChecked},
        {organiserids::kButtonImport, "导入样本文件", 166, &SampleOrganiser::Import},
        {organiserids::kButtonExport, "导出样本文件", 198, &SampleOrganiser::Export},
    };
    for (const auto& entry : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(entry.caption), this);
        button->setObjectName(Name("button", entry.id));
        button->setGeometry(UnitRect(345, entry.y, 54, 24));
        // Enter must not start an acquisition or clear the list.
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this,
                [this, action = entry.action] { ((*organiser_).*action)(); });
        controls_[entry.id] = button;
    }

    selectAll_ = new QCheckBox(QStringLiteral("全选"), this);
    selectAll_->setObjectName(Name("check", organiserids::kSelectAll));
    selectAll_->setGeometry(UnitRect(7, 167, 47, 12));
    connect(selectAll_, &QCheckBox::clicked, this,
            [this](bool checked) { organiser_->SelectAll(checked); });
    controls_[organiserids::kSelectAll] = selectAll_;

    methods_ = new QButtonGroup(this);
    const struct {
        int id;
        const char* caption;
        int y;
    } radios[] = {
        {organiserids::kRadioAbsolute, "绝对偏差", 201},
        {organiserids::kRadioPercentage, "偏差百分比", 218},
    };
    for (int method = 0; method < 2; ++method) {
        const auto& entry = radios[method];
        auto* radio = new QRadioButton(QString::fromUtf8(entry.caption), this);
        radio->setObjectName(Name("radio", entry.id));
        radio->setGeometry(UnitRect(14, entry.y, 60, 9));
        methods_->addButton(radio, method);
        connect(radio, &QRadioButton::clicked, this,
                [this, method] { organiser_->ChooseMethod(method); });
        controls_[entry.id] = radio;
    }

    const struct {
        int id;
        const char* caption;
        int x;
        int y;
        int width;
    } labels[] = {
        {1072, "偏差下限= -", 81, 201, 43}, {1073, "偏差上限=", 178, 201, 43},
        {1074, "偏差下限= -", 81, 218, 43}, {1075, "%", 158, 218, 14},
        {1076, "偏差上限=", 178, 218, 43},  {1077, "%", 256, 218, 14},
    };
    for (const auto& entry : labels) {
        auto* label = new QLabel(QString::fromUtf8(entry.caption), this);
        label->setObjectName(Name("label", entry.id));
        label->setGeometry(UnitRect(entry.x, entry.y, entry.width, 9));
        controls_[entry.id] = label;
    }

    const struct {
        int id;
        int x;
        int y;
    } fields[] = {
        {organiserids::kFieldAbsoluteNegative, 126, 199},
        {organiserids::kFieldAbsolutePositive, 224, 199},
        {organiserids::kFieldRelativeNegative, 126, 216},
        {organiserids::kFieldRelativePositive, 224, 216},
    };
    const auto* digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (const auto& entry : fields) {
        auto* field = new QLineEdit(this);
        field->setObjectName(Name("field", entry.id));
        field->setGeometry(UnitRect(entry.x, entry.y, 29, 12));
        field->setValidator(digits);
        fields_[entry.id] = field;
        controls_[entry.id] = field;
    }
}

QWidget* CArrangeSample::Control(int controlId) const {
    const auto it = controls_.find(controlId);
    return it == controls_.end() ? nullptr : it->second;
}

bool CArrangeSample::TimerRunning(int timerId) const {
    const auto it = timers_.find(timerId);
    return it != timers_.end() && it->second->isActive();
}

void CArrangeSample::reject() {
    organiser_->Close();
    QDialog::reject();
}

void CArrangeSample::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

std::string CArrangeSample::FieldText(int fieldId) const {
    const QByteArray text = fields_.at(fieldId)->text().toUtf8();
    return {text.constData(), static_cast<size_t>(text.size())};
}

void CArrangeSample::SetFieldText(int fieldId, const std::string& text) {
    fields_.at(fieldId)->setText(FromUtf8(text));
}

int CArrangeSample::CheckedMethod() const {
    return methods_->checkedId();
}

void CArrangeSample::CheckMethod(int method) {
    if (QAbstractButton* button = methods_->button(method)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group never unchecks its last button by itself.
    methods_->setExclusive(false);
    for (QAbstractButton* button : methods_->buttons()) {
        button->setChecked(false);
    }
    methods_->setExclusive(true);
}

void CArrangeSample::EnableControl(int controlId, bool enabled) {
    if (QWidget* control = Control(controlId)) {
        control->setEnabled(enabled);
    }
}

void CArrangeSample::SetSelectAllCaption(std::string_view caption) {
    selectAll_->setText(FromUtf8(caption));
}

void CArrangeSample::ShowRows() {
    model_->Refresh();
}

void CArrangeSample::SetTimer(int timerId, int periodMs) {
    QTimer*& timer = timers_[timerId];
    if (timer == nullptr) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, timerId] { organiser_->OnTimer(timerId); });
    }
    timer->start(periodMs);
}

void CArrangeSample::KillTimer(int timerId) {
    const auto it = timers_.find(timerId);
    if (it != timers_.end()) {
        it->second->stop();
    }
}

void ShowArrangeSample(std::unique_ptr<CArrangeSample>& window, Station& station, QWidget* parent) {
    if (!window) {
        window = std::make_unique<CArrangeSample>(station, parent);
    } else if (window->isHidden()) {
        window->Organiser().Reshow();
    }
    if (parent != nullptr) {
        window->move(parent->frameGeometry().center() - window->rect().center());
    }
    window->show();
    window->raise();
    window->activateWindow();
}
