#include "ui/fWatcher.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <utility>

#include "engine/location_split.h"
#include "engine/notify_codes.h"
#include "engine/time_stamp.h"
#include "platform/directory_reader.h"
#include "platform/path_syntax.h"
#include "platform/regional_settings.h"
#include "ui/app_constants.h"
#include "ui/group_flow.h"
#include "ui/max_lines_spin_box.h"
#include "ui/plain_message_box.h"
#include "ui/results_columns.h"
#include "ui/results_model.h"
#include "ui/results_view.h"
#include "ui/toolbar_pictures.h"

namespace tarnwell {

namespace {

constexpr int kStatusValueWidth = 100;

QString FromSystemText(const std::string& text) {
    return QString::fromLocal8Bit(text);
}
std::string ToSystemText(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

QCheckBox* MakeCheckBox(const char* name, const QString& caption, bool checked, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    return box;
}

QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

QGroupBox* MakeGroup(const char* name, const QString& caption, QWidget* parent) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    return group;
}

// A static text of fixed width: a longer text is cut off, never widens the page.
QLabel* MakeStatusValue(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFixedWidth(kStatusValueWidth);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    return label;
}

// Tight spacing, so the six groups fit the width of the page in the usual fonts.
QGridLayout* MakeGroupLayout(QGroupBox* group) {
    auto* layout = new QGridLayout(group);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setHorizontalSpacing(4);
    layout->setVerticalSpacing(2);
    return layout;
}

// Where the folder dialog opens: at the folder the path box names (the whole
// text, or the folder part in front of a mask), else at the folder last
// confirmed here, else at home; never at the program's working folder.
std::string BrowseStartFolder(const std::string& pathText, const std::string& lastConfirmed,
                              const std::string& home) {
    if (!pathText.empty()) {
        if (IsExistingDirectory(pathText.c_str())) return pathText;
        const std::string folder = SplitLocation(pathText, false, NativePathSyntax()).Directory;
        if (!folder.empty() && IsExistingDirectory(folder.c_str())) return folder;
    }
    if (!lastConfirmed.empty() && IsExistingDirectory(lastConfirmed.c_str())) return lastConfirmed;
    return home;
}

}  // namespace

TfrmWatcher::TfrmWatcher(WatchContext context, QWidget* parent)
    : QWidget(parent), context_(context), clock_([] { return ToDays(LocalNow()); }) {
    BuildControls();
}

TfrmWatcher::~TfrmWatcher() {
    // The worker must not outlive the page it reports to.
    StopWatch();
}

void TfrmWatcher::BuildControls() {
    // "Location to monitor"
    QGroupBox* grpLocation = MakeGroup("grpLocation", tr("Location to monitor"), this);
    cboPath = new QComboBox(grpLocation);
    cboPath->setObjectName(QStringLiteral("cboPath"));
    cboPath->setEditable(true);
    // The drop-down list stays empty: Enter must not put the text into it.
    cboPath->setInsertPolicy(QComboBox::NoInsert);
    cboPath->setMinimumWidth(150);
    cmdBrowse = MakeButton("cmdBrowse", tr("Browse"), grpLocation);
    chkIncludeSub = MakeCheckBox("chkIncludeSub", tr("Include Subdirectories"), false, grpLocation);
    auto* locationLayout = MakeGroupLayout(grpLocation);
    locationLayout->addWidget(cboPath, 0, 0);
    locationLayout->addWidget(cmdBrowse, 0, 1);
    locationLayout->addWidget(chkIncludeSub, 1, 0, 1, 2);
    locationLayout->setColumnStretch(0, 1);

    // "Control"
    QGroupBox* grpControl = MakeGroup("grpControl", tr("Control"), this);
    cmdStart = MakeButton("cmdStart", tr("Start"), grpControl);
    cmdStop = MakeButton("cmdStop", tr("Stop"), grpControl);
    LMDButton1 = MakeButton("LMDButton1", tr("Clear"), grpControl);
    auto* controlLayout = MakeGroupLayout(grpControl);
    controlLayout->addWidget(cmdStart, 0, 0);
    controlLayout->addWidget(cmdStop, 0, 1);
    controlLayout->addWidget(LMDButton1, 1, 0);

    // "Output To Screen"
    QGroupBox* grpOutputToScreen = MakeGroup("grpOutputToScreen", tr("Output To Screen"), this);
    chkOutputToScreen =
        MakeCheckBox("chkOutputToScreen", tr("Output to Screen"), true, grpOutputToScreen);
    auto* maxLinesLabel = new QLabel(tr("Maximum Lines :"), grpOutputToScreen);
    maxLinesLabel->setObjectName(QStringLiteral("lblMaxLines"));
    txtMaxLines = new MaxLinesSpinBox(grpOutputToScreen);
    txtMaxLines->setObjectName(QStringLiteral("txtMaxLines"));
    txtMaxLines->setValue(1000);
    maxLinesLabel->setBuddy(txtMaxLines);
    chkAutoScroll =
        MakeCheckBox("chkAutoScroll", tr("Auto Scroll to Last Entry"), false, grpOutputToScreen);
    auto* screenLayout = MakeGroupLayout(grpOutputToScreen);
    screenLayout->addWidget(chkOutputToScreen, 0, 0, 1, 3);
    screenLayout->addWidget(maxLinesLabel, 1, 0);
    screenLayout->addWidget(txtMaxLines, 1, 1);
    screenLayout->addWidget(chkAutoScroll, 2, 0, 1, 3);
    screenLayout->setColumnStretch(2, 1);

    // "Activity to Track": two columns of four, read top to bottom.
    grpOptions = MakeGroup("grpOptions", tr("Activity to Track"), this);
    chkFlagCreateFile =
        MakeCheckBox("chkFlagCreateFile", tr("Create/Delete File"), true, grpOptions);
    chkFlagLastAccess =
        MakeCheckBox("chkFlagLastAccess", tr("Last Access Time"), false, grpOptions);
    chkFlagCreationTime =
        MakeCheckBox("chkFlagCreationTime", tr("Creation Time"), false, grpOptions);
    chkFlagLastWrite = MakeCheckBox("chkFlagLastWrite", tr("Last Write Time"), false, grpOptions);
    chkFlagCreateDir =
        MakeCheckBox("chkFlagCreateDir", tr("Create/Delete Directory"), false, grpOptions);
    chkFlagSecurity = MakeCheckBox("chkFlagSecurity", tr("Security Change"), false, grpOptions);
    chkFlagAttributes =
        MakeCheckBox("chkFlagAttributes", tr("Attribute Change"), false, grpOptions);
    chkFlagFileSize = MakeCheckBox("chkFlagFileSize", tr("File Size Change"), false, grpOptions);
    auto* optionsLayout = MakeGroupLayout(grpOptions);
    const QCheckBox* const left[] = {chkFlagCreateFile, chkFlagLastAccess, chkFlagCreationTime,
                                     chkFlagLastWrite};
    const QCheckBox* const right[] = {chkFlagCreateDir, chkFlagSecurity, chkFlagAttributes,
                                      chkFlagFileSize};
    for (int row = 0; row < 4; ++row) {
        optionsLayout->addWidget(const_cast<QCheckBox*>(left[row]), row, 0);
        optionsLayout->addWidget(const_cast<QCheckBox*>(right[row]), row, 1);
    }

    // "Status"
    QGroupBox* grpStatus = MakeGroup("grpStatus", tr("Status"), this);
    lblStatus = MakeStatusValue("lblStatus", grpStatus);
    lblChangeCount = MakeStatusValue("lblChangeCount", grpStatus);
    lblMonitoringTime = MakeStatusValue("lblMonitoringTime", grpStatus);
    auto* statusLayout = MakeGroupLayout(grpStatus);
    const QString captions[] = {tr("Monitoring Status :"), tr("Change Count :"),
                                tr("Monitoring Time :")};
    QLabel* const values[] = {lblStatus, lblChangeCount, lblMonitoringTime};
    for (int row = 0; row < 3; ++row) {
        statusLayout->addWidget(new QLabel(captions[row], grpStatus), row, 0);
        statusLayout->addWidget(values[row], row, 1);
    }
    statusLayout->setColumnStretch(0, 1);

    // "Output To File"
    QGroupBox* grpOutputToFile = MakeGroup("grpOutputToFile", tr("Output To File"), this);
    chkOutputToFile =
        MakeCheckBox("chkOutputToFile", tr("Output To File :"), false, grpOutputToFile);
    txtOutputFileName = new QLineEdit(grpOutputToFile);
    txtOutputFileName->setObjectName(QStringLiteral("txtOutputFileName"));
    txtOutputFileName->setMinimumWidth(170);
    QAction* browseFile =
        txtOutputFileName->addAction(BrowseDotsPicture(), QLineEdit::TrailingPosition);
    browseFile->setObjectName(QStringLiteral("txtOutputFileNameBrowse"));
    browseFile->setText(tr("Browse"));
    connect(browseFile, &QAction::triggered, this, &TfrmWatcher::txtOutputFileNameBrowseClick);
    auto* formatLabel = new QLabel(tr("File Format :"), grpOutputToFile);
    formatLabel->setObjectName(QStringLiteral("lblFileFormat"));
    optCSV = new QRadioButton(tr("CSV"), grpOutputToFile);
    optCSV->setObjectName(QStringLiteral("optCSV"));
    optCSV->setChecked(true);
    optTab = new QRadioButton(tr("Tab"), grpOutputToFile);
    optTab->setObjectName(QStringLiteral("optTab"));
    auto* formats = new QButtonGroup(grpOutputToFile);
    formats->addButton(optCSV);
    formats->addButton(optTab);
    auto* fileLayout = MakeGroupLayout(grpOutputToFile);
    fileLayout->addWidget(chkOutputToFile, 0, 0, 1, 4);
    fileLayout->addWidget(txtOutputFileName, 1, 0, 1, 4);
    fileLayout->addWidget(formatLabel, 2, 0);
    fileLayout->addWidget(optCSV, 2, 1);
    fileLayout->addWidget(optTab, 2, 2);
    fileLayout->setColumnStretch(3, 1);

    // The groups keep their places at the top left; only the list grows with
    // the page. A page too narrow for three columns gets fewer.
    auto* groups = new GroupFlow(
        {grpLocation, grpControl, grpOutputToScreen, grpOptions, grpStatus, grpOutputToFile}, this);
    groups->setObjectName(QStringLiteral("GroupFlow"));
    auto* groupArea = new GroupArea(groups, this);
    groupArea->setObjectName(QStringLiteral("GroupArea"));

    results_ = new ResultsModel(this);
    lvwResults = new ResultsView(this);
    lvwResults->setObjectName(QStringLiteral("lvwResults"));
    // However short the screen, a few rows of the list stay in view.
    lvwResults->setMinimumHeight(lvwResults->horizontalHeader()->sizeHint().height() +
                                 6 * lvwResults->verticalHeader()->defaultSectionSize() +
                                 lvwResults->horizontalScrollBar()->sizeHint().height() +
                                 2 * lvwResults->frameWidth());
    lvwResults->setModel(results_);
    connect(results_, &ResultsModel::RowToShow, lvwResults, &ResultsView::ShowRowWhole);
    results_->SetFirstRowsHeld(
        [view = lvwResults](int rows) { return view->HoldsFirstRows(rows); });
    // The stamps are written with the run's settings, so they are measured
    // with them too; the owner shown most is the user's own, as of the home folder.
    lvwResults->FitColumns(
        ResultsColumnFits(context_.services.regional,
                          context_.services.files.OwnerOf(ToSystemText(QDir::homePath()))));

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(4, 4, 4, 4);
    page->setSpacing(4);
    page->addWidget(groupArea);
    page->addWidget(lvwResults, 1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);

    connect(cmdBrowse, &QPushButton::clicked, this, &TfrmWatcher::cmdBrowseClick);
    connect(cmdStart, &QPushButton::clicked, this, &TfrmWatcher::cmdStartClick);
    connect(cmdStop, &QPushButton::clicked, this, &TfrmWatcher::cmdStopClick);
    connect(LMDButton1, &QPushButton::clicked, this, &TfrmWatcher::LMDButton1Click);
    connect(Timer1, &QTimer::timeout, this, &TfrmWatcher::Timer1Timer);

    // The keyboard goes to the path when the page is given the focus.
    setFocusProxy(cboPath);
}

QSize TfrmWatcher::sizeHint() const {
    return QSize(764, 475).expandedTo(minimumSizeHint());
}

void TfrmWatcher::SetTabArea(QTabWidget* tabArea) {
    tabArea_ = tabArea;
}

void TfrmWatcher::SetClock(std::function<double()> clock) {
    clock_ = std::move(clock);
}

void TfrmWatcher::StartWatch() {
    if (worker_) return;

    const QString pathText = cboPath->currentText();
    const std::string path = ToSystemText(pathText);
    SetTabCaption(pathText);
    StartTime = clock_();
    Timer1->start();

    try {
        worker_ = std::make_unique<CProcessThread>(context_.dispatcher, context_.services);
    } catch (...) {
        // No worker, so no watch: the clock must not run for nothing.
        Timer1->stop();
        lblMonitoringTime->clear();
        throw;
    }
    CProcessThread& worker = *worker_;
    worker.OwnerPage = this;
    worker.Ended = 0;
    worker.IncludeSubdirectories = chkIncludeSub->isChecked() ? 1 : 0;

    const SplitLocationResult location =
        SplitLocation(path, IsExistingDirectory(path.c_str()), NativePathSyntax());
    worker.Directory = location.Directory;
    worker.Mask = location.Mask;

    NotifyFilter filter = 0;
    const std::pair<const QCheckBox*, NotifyFilter> bits[] = {
        {chkFlagCreateFile, FILE_NOTIFY_CHANGE_FILE_NAME},
        {chkFlagCreateDir, FILE_NOTIFY_CHANGE_DIR_NAME},
        {chkFlagAttributes, FILE_NOTIFY_CHANGE_ATTRIBUTES},
        {chkFlagFileSize, FILE_NOTIFY_CHANGE_SIZE},
        {chkFlagLastWrite, FILE_NOTIFY_CHANGE_LAST_WRITE},
        {chkFlagLastAccess, FILE_NOTIFY_CHANGE_LAST_ACCESS},
        {chkFlagCreationTime, FILE_NOTIFY_CHANGE_CREATION},
        {chkFlagSecurity, FILE_NOTIFY_CHANGE_SECURITY},
    };
    for (const auto& [box, bit] : bits)
        if (box->isChecked()) filter |= bit;
    worker.Filter = filter;

    if (worker.Filter == 0) {
        Refuse(QStringLiteral("At least 1 Activity must be tracked. Please select one or more "
                              "Activities"),
               false);
        return;
    }
    if (!chkOutputToScreen->isChecked() && !chkOutputToFile->isChecked()) {
        Refuse(QStringLiteral(
                   "Output Should be sent to either Screen or File. Please select one or both."),
               false);
        return;
    }

    worker.OutputToFile = chkOutputToFile->isChecked() ? 1 : 0;
    worker.LogFormat = optCSV->isChecked() ? LogFormatCsv : LogFormatTab;
    worker.LogFileName = ToSystemText(txtOutputFileName->text());
    if (worker.OutputToFile) {
        // Binary, so the lines' own "\r\n" reach the file unchanged; an
        // existing file is emptied without a question.
        worker.LogFile = std::fopen(worker.LogFileName.c_str(), "wb+");
        if (worker.LogFile == nullptr) {
            Refuse(QStringLiteral("Cannot Open Output File. Please check the filename"), true);
            return;
        }
    }

    logFailureReported_ = false;
    lblStatus->setText(QStringLiteral("Running"));
    cmdStart->setEnabled(false);
    cmdStop->setEnabled(true);
    EnableSettings(false);
    try {
        worker.Resume();
    } catch (...) {
        StopWatch();
        throw;
    }
}

void TfrmWatcher::Refuse(const QString& text, bool isError) {
    PlainMessageBox box(isError ? QMessageBox::Critical : QMessageBox::Warning,
                        QString::fromLatin1(AppConstants::ProductName), text, QMessageBox::Ok,
                        this);
    box.exec();
    StopWatch();
}

void TfrmWatcher::StopWatch() {
    if (!worker_) return;
    // Never waits for this thread, so a batch being handed over cannot block it.
    worker_->Shutdown();
    lblStatus->setText(QStringLiteral("Not Running"));
    Timer1->stop();
    lblMonitoringTime->clear();
    if (worker_->DirectoryHandle != nullptr) {
        CloseDirectory(worker_->DirectoryHandle);
        worker_->DirectoryHandle = nullptr;
    }
    if (worker_->LogFile != nullptr) {
        // The close writes what is still buffered, so it can fail like a write.
        const int closed = std::fclose(worker_->LogFile);
        const int closeError = errno;
        worker_->LogFile = nullptr;
        if (closed != 0) ReportLogFailure(closeError, false);
    }
    worker_.reset();
    cmdStart->setEnabled(true);
    cmdStop->setEnabled(false);
    EnableSettings(true);
}

void TfrmWatcher::EnableSettings(bool enabled) {
    QWidget* const settings[] = {
        cboPath,
        cmdBrowse,
        chkIncludeSub,
        chkFlagCreateFile,
        chkFlagLastAccess,
        chkFlagCreationTime,
        chkFlagLastWrite,
        chkFlagCreateDir,
        chkFlagSecurity,
        chkFlagAttributes,
        chkFlagFileSize,
        chkOutputToScreen,
        txtMaxLines,
        chkAutoScroll,
        chkOutputToFile,
        txtOutputFileName,
        optCSV,
        optTab,
    };
    for (QWidget* control : settings) control->setEnabled(enabled);
}

void TfrmWatcher::SetTabCaption(const QString& text) {
    if (!tabArea_) return;
    // A tab would take "&" as the mark of a shortcut letter and hide it.
    QString shown = text;
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    for (int i = 0; i < tabArea_->count(); ++i)
        if (tabArea_->widget(i) == this) tabArea_->setTabText(i, shown);
}

void TfrmWatcher::Timer1Timer() {
    lblMonitoringTime->setText(QString::fromStdString(FormatElapsed(StartTime, clock_())));
    if (worker_ && worker_->Ended) StopWatch();
}

void TfrmWatcher::LMDButton1Click() {
    lvwResults->setUpdatesEnabled(false);
    results_->Clear();
    lvwResults->setUpdatesEnabled(true);
}

void TfrmWatcher::cmdBrowseClick() {
    const std::string start =
        BrowseStartFolder(ToSystemText(cboPath->currentText()), ToSystemText(lastBrowseFolder_),
                          ToSystemText(QDir::homePath()));
    const QString chosen = QFileDialog::getExistingDirectory(this, QString(), FromSystemText(start),
                                                             QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) lastBrowseFolder_ = QDir::toNativeSeparators(chosen);
    cboPath->setEditText(lastBrowseFolder_);
}

void TfrmWatcher::txtOutputFileNameBrowseClick() {
    const QString chosen =
        QFileDialog::getSaveFileName(this, QString(), txtOutputFileName->text(), QString(), nullptr,
                                     QFileDialog::DontConfirmOverwrite);
    if (!chosen.isEmpty()) txtOutputFileName->setText(QDir::toNativeSeparators(chosen));
}

QString TfrmWatcher::ResultsAsText() const {
    QString text = ResultsModel::ColumnTitles().join(QLatin1Char('\t'));
    text += QLatin1Char('\n');
    for (int row = 0; row < results_->Count(); ++row) {
        const ResultsModel::Row& cells = results_->At(row);
        for (std::size_t column = 0; column < cells.size(); ++column) {
            if (column > 0) text += QLatin1Char('\t');
            text += ResultsModel::Text(cells[column]);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

bool TfrmWatcher::OutputToScreen() const {
    return chkOutputToScreen->isChecked();
}

bool TfrmWatcher::AutoScroll() const {
    return chkAutoScroll->isChecked();
}

int TfrmWatcher::MaxLines() const {
    return txtMaxLines->CurrentValue();
}

int TfrmWatcher::AppendRow(ResultRow row) {
    return results_->Append(std::move(row));
}

void TfrmWatcher::MakeRowVisible(int index) {
    // Within a batch only the last row asked for is scrolled to, once, when
    // the view has the batch's rows: the scrolls to the rows before it would
    // all be overtaken before anything is painted.
    if (batchDepth_ > 0) {
        pendingScroll_ = results_->Serial(index);
        return;
    }
    lvwResults->ShowRowWhole(index);
}

int TfrmWatcher::RowCount() const {
    return results_->Count();
}

void TfrmWatcher::DeleteFirstRow() {
    results_->RemoveFirst();
}

void TfrmWatcher::SetChangeCountText(const std::string& text) {
    // Setting a label's text costs a layout and an accessibility event;
    // within a batch only the last text is ever seen.
    if (batchDepth_ > 0) {
        pendingCount_ = text;
        return;
    }
    lblChangeCount->setText(FromSystemText(text));
}

void TfrmWatcher::BeginBatch() {
    if (batchDepth_++ == 0) results_->BeginBatch();
}

void TfrmWatcher::EndBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0) return;
    std::optional<std::uint64_t> scroll;
    scroll.swap(pendingScroll_);
    results_->EndBatch(scroll);
    if (pendingCount_) {
        lblChangeCount->setText(FromSystemText(*pendingCount_));
        pendingCount_.reset();
    }
}

void TfrmWatcher::LogWriteFailed(int errorNumber) {
    ReportLogFailure(errorNumber, true);
}

void TfrmWatcher::ShowWatchNotice(const std::string& text) {
    // Not modal, as the log warning: a batch is being handled right now.
    auto* box =
        new QMessageBox(QMessageBox::Warning, QString::fromLatin1(AppConstants::ProductName),
                        FromSystemText(text), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("WatchNotice"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->setWindowModality(Qt::NonModal);
    watchNoticeBox_ = box;
    box->show();
}

void TfrmWatcher::ReportLogFailure(int errorNumber, bool watchGoesOn) {
    if (logFailureReported_) return;
    logFailureReported_ = true;
    const QString name = worker_ ? FromSystemText(worker_->LogFileName) : QString();
    QString text = QStringLiteral("Cannot write to the log file %1: %2.")
                       .arg(name, QString::fromLocal8Bit(std::strerror(errorNumber)));
    text += watchGoesOn ? QStringLiteral(" The watch goes on; lines may be missing from the file.")
                        : QStringLiteral(" Lines may be missing from the file.");
    // Not modal: a batch is being handled right now and the worker waits for it.
    auto* box =
        new PlainMessageBox(QMessageBox::Warning, QString::fromLatin1(AppConstants::ProductName),
                            text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("LogFailureNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->setWindowModality(Qt::NonModal);
    logFailureBox_ = box;
    box->show();
}

}  // namespace tarnwell
