#include "programming/CFlashMemory.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Station.h"
#include "config/CDialogPrompter.h"

namespace {

// Wide enough for a path of some depth in either edit.
constexpr int kPathFieldWidth = 360;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ObjectName(const char* kind, int controlId) {
    return QString::fromLatin1(kind) + QString::number(controlId);
}

}  // namespace

CFlashMemory::CFlashMemory(Station& station, QWidget* parent, Prompter* prompter)
    : QDialog(parent),
      ownPrompter_(prompter == nullptr ? std::make_unique<CDialogPrompter>(this) : nullptr) {
    setWindowTitle(QStringLiteral("烧录文件"));
    BuildControls();
    progressTimer_ = new QTimer(this);
    connect(progressTimer_, &QTimer::timeout, this,
            [this] { session_->OnTimer(timers::kFlashProgress); });
    session_ = std::make_unique<ProgrammingSession>(
        ProgrammingBench{station.workingFolder, station.controller, station.configRecords,
                         station.log, station.controllerReady},
        static_cast<ProgrammingView&>(*this), prompter != nullptr ? *prompter : *ownPrompter_);
    session_->OnInitDialog();
}

CFlashMemory::~CFlashMemory() = default;

void CFlashMemory::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildFileOperations());
    layout->addWidget(BuildModes());
    progress_ = new QProgressBar(this);
    progress_->setObjectName(ObjectName("progress", ids::kFlashProgress));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    controls_[ids::kFlashProgress] = progress_;
    layout->addWidget(progress_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* CFlashMemory::BuildFileOperations() {
    auto* group = new QGroupBox(QStringLiteral("文件操作"), this);
    group->setObjectName(ObjectName("group", ids::kFlashFileGroup));
    controls_[ids::kFlashFileGroup] = group;
    auto* grid = new QGridLayout(group);
    const struct {
        int editId;
        int buttonId;
        QString caption;
        void (ProgrammingSession::*action)();
    } rows[] = {
        {ids::kFlashImportPath, ids::kFlashImportButton, QStringLiteral("导入文件"),
         &ProgrammingSession::OnImport},
        {ids::kFlashExportPath, ids::kFlashExportButton, QStringLiteral("导出文件"),
         &ProgrammingSession::OnExport},
    };
    int row = 0;
    for (const auto& r : rows) {
        auto* edit = new QLineEdit(group);
        edit->setObjectName(ObjectName("edit", r.editId));
        // The paths are chosen with the buttons; typing one would not be used.
        edit->setReadOnly(true);
        edit->setMinimumWidth(kPathFieldWidth);
        controls_[r.editId] = edit;
        auto* button = new QPushButton(r.caption, group);
        button->setObjectName(ObjectName("button", r.buttonId));
        button->setAutoDefault(false);
        controls_[r.buttonId] = button;
        connect(button, &QPushButton::clicked, this,
                [this, action = r.action] { (session_.get()->*action)(); });
        grid->addWidget(edit, row, 0);
        grid->addWidget(button, row, 1);
        ++row;
    }
    return group;
}

QWidget* CFlashMemory::BuildModes() {
    auto* group = new QGroupBox(QStringLiteral("烧录方式"), this);
    group->setObjectName(ObjectName("group", ids::kFlashModeGroup));
    controls_[ids::kFlashModeGroup] = group;
    auto* grid = new QGridLayout(group);
    modes_ = new QButtonGroup(this);
    const QString radios[] = {QStringLiteral("手动"), QStringLiteral("自动连续"),
                              QStringLiteral("脱机")};
    const QString actions[] = {QStringLiteral("执行一次烧录"), QStringLiteral("开始烧录"),
                               QStringLiteral("更新主板烧录文件")};
    for (int mode = 0; mode < programming::kModeCount; ++mode) {
        auto* radio = new QRadioButton(radios[mode], group);
        const int radioId = programming::kModeRadios[mode];
        radio->setObjectName(ObjectName("radio", radioId));
        controls_[radioId] = radio;
        modes_->addButton(radio, mode);
        auto* button = new QPushButton(actions[mode], group);
        const int buttonId = programming::kActionButtons[mode];
        button->setObjectName(ObjectName("button", buttonId));
        button->setAutoDefault(false);
        controls_[buttonId] = button;
        grid->addWidget(radio, mode, 0);
        grid->addWidget(button, mode, 1);
    }
    // "开始烧录" and "更新主板烧录文件" have no action.
    connect(static_cast<QPushButton*>(controls_[ids::kFlashProgramOnce]), &QPushButton::clicked,
            this, [this] { session_->OnProgramOnce(); });
    connect(modes_, &QButtonGroup::idClicked, this,
            [this](int mode) { session_->OnModeSelected(mode); });
    return group;
}

QWidget* CFlashMemory::Control(int controlId) const {
    const auto it = controls_.find(controlId);
    return it == controls_.end() ? nullptr : it->second;
}

bool CFlashMemory::TimerRunning(int timerId) const {
    return timerId == timers::kFlashProgress && progressTimer_->isActive();
}

void CFlashMemory::done(int result) {
    session_->OnClose();
    QDialog::done(result);
}

void CFlashMemory::EnableControl(int controlId, bool enabled) {
    if (QWidget* control = Control(controlId)) {
        control->setEnabled(enabled);
    }
}

void CFlashMemory::CheckRadio(int controlId) {
    if (auto* radio = qobject_cast<QRadioButton*>(Control(controlId))) {
        radio->setChecked(true);
    }
}

void CFlashMemory::SetControlText(int controlId, std::string_view text) {
    if (auto* edit = qobject_cast<QLineEdit*>(Control(controlId))) {
        edit->setText(FromUtf8(text));
        // The end of a long path, the file's name, is the part worth seeing.
        edit->setCursorPosition(static_cast<int>(edit->text().size()));
    }
}

void CFlashMemory::ShowProgress(int percent) {
    progress_->setValue(percent);
    // Programming holds the UI thread between records; repaint draws now, without running
    // the event loop.
    progress_->repaint();
}

void CFlashMemory::SetTimer(int timerId, int periodMs) {
    if (timerId == timers::kFlashProgress) {
        progressTimer_->start(periodMs);
    }
}

void CFlashMemory::KillTimer(int timerId) {
    if (timerId == timers::kFlashProgress) {
        progressTimer_->stop();
    }
}
