#include "app/CPanelixDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "app/CAboutDlg.h"
#include "app/CMyStatic.h"
#include "app/CNodeGridModel.h"
#include "app/Station.h"
#include "config/CConfigurate.h"
#include "config/CDialogPrompter.h"
#include "programming/CFlashMemory.h"
#include "samples/CArrangeSample.h"
#include "widgets/CDigistatic.h"

namespace {

struct LayoutFractions {
    int id;
    double a, b, c, d;
};

constexpr LayoutFractions kLayout[] = {
    {ids::kGrid, 0.001, 0.998, 0, 0.78},          {ids::kOkCount, 0.01, 0.1, 0.79, 0.05},
    {ids::kNgCount, 0.12, 0.1, 0.79, 0.05},       {ids::kYield, 0.23, 0.1, 0.79, 0.05},
    {ids::kOkCaption, 0.01, 0.1, 0.84, 0.035},    {ids::kNgCaption, 0.12, 0.1, 0.84, 0.035},
    {ids::kYieldCaption, 0.23, 0.1, 0.84, 0.035}, {ids::kResetButton, 0.34, 0.07, 0.79, 0.05},
    {ids::kLogView, 0.42, 0.25, 0.79, 0.1},       {ids::kStartButton, 0.68, 0.1, 0.79, 0.09},
    {ids::kStatusLabel, 0.79, 0.2, 0.79, 0.1},
};

const QColor kCaptionText(128, 0, 128);
const QColor kCaptionBackground(240, 240, 240);
const QColor kDigitBackground(0, 0, 0);
const QColor kDigitUnlit(192, 192, 192);
const QColor kOkLit(0, 255, 0);
const QColor kNgLit(255, 0, 0);
const QColor kYieldLit(255, 0, 255);
const QColor kStatusText(255, 255, 255);
const QString kCaptionFace = QStringLiteral("宋体");
constexpr int kGridRowHeight = 15;
// The channel widths share out the whole screen width, so a full set of columns overruns the
// grid by a few pixels; that alone is no reason for a scroll bar.
constexpr int kGridOverrunSlack = 8;

QColor ToQColor(Colour colour) {
    return QColor(colour.r, colour.g, colour.b);
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A plain icon of a node grid, so the station is told apart in the task bar.
QIcon StationIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(QColor(0, 0, 255));
    QPainter painter(&pixmap);
    painter.setPen(QColor(255, 255, 255));
    for (int i = 4; i < 32; i += 8) {
        painter.drawLine(i, 2, i, 29);
        painter.drawLine(2, i, 29, i);
    }
    return QIcon(pixmap);
}

}  // namespace

std::vector<ControlRect> LayoutControls(int screenWidth, int screenHeight) {
    const double w = screenWidth;
    const double h = screenHeight;
    std::vector<ControlRect> rects;
    for (const LayoutFractions& f : kLayout) {
        const int left = static_cast<int>(w * f.a);
        const int top = static_cast<int>(h * f.c);
        rects.push_back(
            {f.id, left, top, static_cast<int>(left + w * f.b), static_cast<int>(top + h * f.d)});
    }
    return rects;
}

CPanelixDlg::CPanelixDlg(HidBackend& backend, Sleeper& sleeper, std::string workingFolder,
                         StationWindowOptions options, QWidget* parent)
    : QDialog(parent), options_(std::move(options)) {
    station_ = std::make_unique<Station>(*this, backend, sleeper, std::move(workingFolder));
    setWindowIcon(StationIcon());
    setWindowTitle(options_.title);
    CreateControls();
    OnInitDialog();
}

CPanelixDlg::~CPanelixDlg() {
    *alive_ = false;
    qApp->removeEventFilter(this);
    station_->log.SetChangeListener({});
    organiserWindow_.reset();
    // The link's threads end with the station, before the widgets they report to.
    station_.reset();
}

void CPanelixDlg::CreateControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    menuBar_ = new QMenuBar(this);
    layout->setMenuBar(menuBar_);
    client_ = new QWidget(this);
    layout->addWidget(client_, 1);

    gridModel_ =
        new CNodeGridModel(NodeGridSource{station_->testConfig, station_->configState.Criterion,
                                          station_->SampleRawDataLow, station_->SampleRawDataHigh,
                                          station_->engineFlags},
                           this);
    grid_ = new QTableView(client_);
    grid_->setModel(gridModel_);
    grid_->setItemDelegate(new CNodeGridDelegate(grid_));
    grid_->setShowGrid(true);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setWordWrap(false);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // A fixed-pitch face keeps the right-aligned values in line down each column.
    QFont gridFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    gridFont.setPixelSize(12);
    grid_->setFont(gridFont);
    grid_->horizontalHeader()->setFont(gridFont);
    // 52 rows must fit in the grid's 78 % of a 1080-line screen without scrolling.
    grid_->verticalHeader()->setMinimumSectionSize(kGridRowHeight);
    grid_->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    // A light selection, so the red and blue of the colouring rule stay readable on it.
    QPalette gridColours = grid_->palette();
    gridColours.setColor(QPalette::Highlight, QColor(204, 232, 255));
    grid_->setPalette(gridColours);

    logView_ = new QPlainTextEdit(client_);
    logView_->setReadOnly(true);
    logView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logView_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    logView_->setFocusPolicy(Qt::ClickFocus);

    okDisplay_ = new CDigistatic(client_);
    ngDisplay_ = new CDigistatic(client_);
    yieldDisplay_ = new CDigistatic(client_);
    okCaption_ = new CMyStatic(client_);
    ngCaption_ = new CMyStatic(client_);
    yieldCaption_ = new CMyStatic(client_);
    statusLabel_ = new CMyStatic(client_);
    statusLabel_->setAlignment(Qt::AlignCenter);
    // Sunken, not a plain box: a plain frame takes the white text colour and vanishes.
    statusLabel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    for (CMyStatic* caption : {okCaption_, ngCaption_, yieldCaption_}) {
        caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    resetButton_ = new QPushButton(QStringLiteral("统计清零"), client_);
    startButton_ = new QPushButton(QStringLiteral("开始"), client_);
    for (QPushButton* button : {resetButton_, startButton_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    QFont startFont = startButton_->font();
    startFont.setPointSize(24);
    startButton_->setFont(startFont);
    QFont resetFont = resetButton_->font();
    resetFont.setPointSize(12);
    resetButton_->setFont(resetFont);
    connect(startButton_, &QPushButton::clicked, this, &CPanelixDlg::OnStart);
    connect(resetButton_, &QPushButton::clicked, this, &CPanelixDlg::OnResetStatistics);

    controls_ = {
        {ids::kGrid, grid_},
        {ids::kLogView, logView_},
        {ids::kOkCount, okDisplay_},
        {ids::kNgCount, ngDisplay_},
        {ids::kYield, yieldDisplay_},
        {ids::kOkCaption, okCaption_},
        {ids::kNgCaption, ngCaption_},
        {ids::kYieldCaption, yieldCaption_},
        {ids::kResetButton, resetButton_},
        {ids::kStartButton, startButton_},
        {ids::kStatusLabel, statusLabel_},
    };
    CreateMenu();

    station_->log.SetChangeListener([pending = logRefreshPending_, window = this, alive = alive_] {
        // Any thread, the reader's too: one refresh is posted and never waited for.
        if (pending->exchange(true)) {
            return;
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [pending, window, alive] {
                pending->store(false);
                if (*alive) {
                    window->RefreshLog();
                }
            },
            Qt::QueuedConnection);
    });
    qApp->installEventFilter(this);
}

void CPanelixDlg::CreateMenu() {
    auto addItem = [this](QMenu* menu, int id, const QString& text,
                          void (CPanelixDlg::*handler)()) {
        QAction* action = menu->addAction(text);
        menuItems_[id] = action;
        if (handler != nullptr) {
            connect(action, &QAction::triggered, this, handler);
        }
    };
    QMenu* file = menuBar_->addMenu(QStringLiteral("文件(&F)"));
    addItem(file, ids::kMenuProgramming, QStringLiteral("烧录文件"), &CPanelixDlg::OnProgramming);
    addItem(file, ids::kMenuTestConfig, QStringLiteral("测试配置"), &CPanelixDlg::OnTestConfig);
    file->addSeparator();
    addItem(file, ids::kMenuSamples, QStringLiteral("整理样本"), &CPanelixDlg::OnArrangeSamples);
    file->addSeparator();
    addItem(file, ids::kMenuExit, QStringLiteral("退出"), &CPanelixDlg::OnClose);
    QMenu* tools = menuBar_->addMenu(QStringLiteral("工具(&T)"));
    addItem(tools, ids::kMenuShowIcInfo, QStringLiteral("显示IC信息"), nullptr);
    addItem(tools, ids::kMenuUpgradeFirmware, QStringLiteral("升级固件"), nullptr);
    QMenu* help = menuBar_->addMenu(QStringLiteral("帮助(&H)"));
    addItem(help, ids::kMenuAbout, QStringLiteral("关于"), &CPanelixDlg::OnAbout);
}

void CPanelixDlg::OnInitDialog() {
    const QSize screen = options_.screenSize.value_or(QGuiApplication::primaryScreen() != nullptr
                                                          ? QGuiApplication::primaryScreen()->size()
                                                          : QSize(1920, 1080));
    screenWidth_ = screen.width();
    screenHeight_ = screen.height();
    station_->CreateFolders();
    startButton_->setFocus();
    InitResultPanel();
    station_->configState.Criterion = 0;
    EnableMenuItem(ids::kMenuSamples, station_->configState.Criterion == 1);
}

void CPanelixDlg::InitResultPanel() {
    const std::pair<CDigistatic*, QColor> displays[] = {
        {okDisplay_, kOkLit}, {ngDisplay_, kNgLit}, {yieldDisplay_, kYieldLit}};
    for (const auto& [display, lit] : displays) {
        display->SetBackgroundColour(kDigitBackground);
        display->SetSegmentColours(kDigitUnlit, lit);
        display->ChangeStyle(0, digistyle::LitOnly);
    }
    RefreshCounters();

    statusLabel_->SetPointFont(700, kCaptionFace);
    statusLabel_->SetTextColour(kStatusText);
    SetStatus("WAIT", kWaitColour);
    const std::pair<CMyStatic*, QString> captions[] = {{okCaption_, QStringLiteral("OK数量")},
                                                       {ngCaption_, QStringLiteral("NG数量")},
                                                       {yieldCaption_, QStringLiteral("良率")}};
    for (const auto& [caption, text] : captions) {
        caption->SetPointFont(200, kCaptionFace);
        caption->SetTextColour(kCaptionText);
        caption->SetBackgroundColour(kCaptionBackground);
        caption->setText(text);
    }
}

void CPanelixDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        OnShowWindow();
    }
}

void CPanelixDlg::OnShowWindow() {
    // Without a window manager a maximise request is not honoured; the screen's geometry is.
    if (!options_.screenSize && screen() != nullptr) {
        setGeometry(screen()->availableGeometry());
    }
    setWindowState(windowState() | Qt::WindowMaximized);
    ApplyLayout();
    station_->OnShowWindow();
}

void CPanelixDlg::ApplyLayout() {
    for (const ControlRect& rect : LayoutControls(screenWidth_, screenHeight_)) {
        if (QWidget* control = Control(rect.id)) {
            control->setGeometry(rect.left, rect.top, rect.right - rect.left,
                                 rect.bottom - rect.top);
        }
    }
    FitGridScrollBar();
    // The controls are placed by the screen, so the client area is at least that large.
    client_->setMinimumSize(LayoutControls(screenWidth_, screenHeight_).front().right,
                            screenHeight_ / 2);
}

void CPanelixDlg::RebuildGrid() {
    gridModel_->Rebuild();
    const GridColumnWidths widths = ComputeGridColumnWidths(screenWidth_, gridModel_->XChannels());
    if (gridModel_->columnCount() > 0) {
        grid_->setColumnWidth(0, widths.captionWidth);
    }
    for (int x = 0; x < gridModel_->XChannels(); ++x) {
        grid_->setColumnWidth(x + 1, widths.channelWidth);
    }
    FitGridScrollBar();
}

void CPanelixDlg::FitGridScrollBar() {
    const int overrun = grid_->horizontalHeader()->length() - grid_->contentsRect().width();
    grid_->setHorizontalScrollBarPolicy(overrun <= kGridOverrunSlack ? Qt::ScrollBarAlwaysOff
                                                                     : Qt::ScrollBarAsNeeded);
}

void CPanelixDlg::DisplayNodeValues() {
    gridModel_->DisplayNodeValues(station_->NodeMatrix);
}

void CPanelixDlg::ShowNodeValues() {
    DisplayNodeValues();
}

void CPanelixDlg::RefreshCounters() {
    const TestCounters& counters = station_->counters;
    okDisplay_->FormatDisplayText("%5d", counters.okCount);
    ngDisplay_->FormatDisplayText("%5d", counters.ngCount);
    yieldDisplay_->FormatDisplayText("%6.2f", static_cast<double>(counters.yieldPercent));
}

void CPanelixDlg::SetStatus(std::string_view text, Colour background) {
    statusLabel_->SetBackgroundColour(ToQColor(background));
    statusLabel_->setText(FromUtf8(text));
    // A test keeps the UI thread busy until it ends; the verdict must be seen at once.
    statusLabel_->repaint();
}

QWidget* CPanelixDlg::Control(int controlId) const {
    const auto it = controls_.find(controlId);
    return it == controls_.end() ? nullptr : it->second;
}

QAction* CPanelixDlg::MenuItem(int menuId) const {
    const auto it = menuItems_.find(menuId);
    return it == menuItems_.end() ? nullptr : it->second;
}

bool CPanelixDlg::TimerRunning(int timerId) const {
    const auto it = timers_.find(timerId);
    return it != timers_.end() && it->second->isActive();
}

void CPanelixDlg::EnableControl(int controlId, bool enabled) {
    if (QWidget* control = Control(controlId)) {
        control->setEnabled(enabled);
    }
}

void CPanelixDlg::EnableMenuItem(int menuId, bool enabled) {
    if (QAction* item = MenuItem(menuId)) {
        item->setEnabled(enabled);
    }
}

void CPanelixDlg::SetTimer(int timerId, int periodMs) {
    QTimer*& timer = timers_[timerId];
    if (timer == nullptr) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, timerId] { OnTimer(timerId); });
    }
    timer->start(periodMs);
}

void CPanelixDlg::KillTimer(int timerId) {
    const auto it = timers_.find(timerId);
    if (it != timers_.end()) {
        it->second->stop();
    }
}

void CPanelixDlg::OnTimer(int timerId) {
    station_->OnTimer(timerId);
}

void CPanelixDlg::PostToUi(std::function<void()> call) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [alive = alive_, call = std::move(call)] {
            if (*alive) {
                call();
            }
        },
        Qt::QueuedConnection);
}

MessageAnswer CPanelixDlg::ShowMessage(std::string_view text, std::string_view caption,
                                       MessageButtons buttons, MessageIcon icon) {
    QMessageBox box(this);
    box.setWindowTitle(caption.empty() ? options_.title : FromUtf8(caption));
    box.setText(FromUtf8(text));
    box.setIcon(icon == MessageIcon::Stop          ? QMessageBox::Critical
                : icon == MessageIcon::Exclamation ? QMessageBox::Warning
                                                   : QMessageBox::NoIcon);
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    if (buttons == MessageButtons::OkCancel) {
        box.setEscapeButton(box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::string CPanelixDlg::ChooseFileToOpen(std::string_view filter, std::string_view initialName) {
    return QFileDialog::getOpenFileName(this, QString(), FromUtf8(initialName),
                                        QtFileFilter(filter))
        .toStdString();
}

std::string CPanelixDlg::ChooseFileToSave(std::string_view filter, std::string_view initialName) {
    return QFileDialog::getSaveFileName(this, QString(), FromUtf8(initialName),
                                        QtFileFilter(filter))
        .toStdString();
}

bool CPanelixDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        return PreTranslateMessage(static_cast<QKeyEvent*>(event));
    }
    return QDialog::eventFilter(watched, event);
}

bool CPanelixDlg::PreTranslateMessage(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return true;
        case Qt::Key_Space:
            // A held key repeats while a test runs; one press is one test.
            if (!event->isAutoRepeat() && startButton_->isEnabled()) {
                OnStart();
            }
            return true;
        case Qt::Key_Escape:
            if (event->modifiers() == Qt::NoModifier) {
                reject();
                return true;
            }
            return false;
        default:
            return false;
    }
}

void CPanelixDlg::OnStart() {
    station_->RunTest();
}

void CPanelixDlg::OnResetStatistics() {
    station_->ResetStatistics();
}

void CPanelixDlg::OnTestConfig() {
    Station& station = *station_;
    CConfigurate window(
        ConfigurationHost{station.testConfig, station.configState, station.log, station.linkOk,
                          *this, station.workingFolder, station.liveConfigComplete},
        this);
    window.exec();
}

void CPanelixDlg::OnProgramming() {
    CFlashMemory programming(*station_, this, this);
    programming.exec();
}

void CPanelixDlg::OnArrangeSamples() {
    ShowArrangeSample(organiserWindow_, *station_, this);
}

void CPanelixDlg::OnAbout() {
    CAboutDlg about(options_.title, this);
    about.exec();
}

void CPanelixDlg::closeEvent(QCloseEvent* event) {
    station_->link.CloseBoard();
    QDialog::closeEvent(event);
}

void CPanelixDlg::OnClose() {
    close();
}

void CPanelixDlg::RefreshLog() {
    const std::string text = station_->log.Text();
    QString shown;
    if (text.size() >= shownLog_.size() && text.compare(0, shownLog_.size(), shownLog_) == 0) {
        // Only appended: add the new tail, so a long log is not laid out again.
        QString tail = QString::fromUtf8(text.data() + shownLog_.size(),
                                         static_cast<qsizetype>(text.size() - shownLog_.size()));
        tail.remove('\r');
        QTextCursor end = logView_->textCursor();
        end.movePosition(QTextCursor::End);
        end.insertText(tail);
    } else {
        QString all = QString::fromStdString(text);
        all.remove('\r');
        logView_->setPlainText(all);
    }
    shownLog_ = text;
    logView_->verticalScrollBar()->setValue(logView_->verticalScrollBar()->maximum());
}
