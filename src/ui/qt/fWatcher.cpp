#include "ui/qt/fWatcher.h"

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
#include <tuple>
#include <utility>

#include "engine/location_split.h"
#include "engine/time_stamp.h"
#include "platform/directory_reader.h"
#include "platform/path_syntax.h"
#include "platform/regional_settings.h"
#include "ui/qt/group_flow.h"
#include "ui/qt/max_lines_spin_box.h"
#include "ui/qt/plain_message_box.h"
#include "ui/qt/qt_system_text.h"
#include "ui/qt/qt_widgets.h"
#include "ui/qt/results_model.h"
#include "ui/qt/results_view.h"
#include "ui/qt/toolbar_pictures.h"
#include "ui/results_columns.h"

namespace tarnwell {

namespace {

constexpr int kStatusValueWidth = 100;

QCheckBox* MakeCheckBox(const char* name, const QString& caption, bool checked, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    return box;
}

// A page has no default button: Enter in the path box must not start a watch.
QPushButton* MakePageButton(const char* name, const QString& caption, QWidget* parent) {
    QPushButton* button = MakeButton(name, caption, parent);
    button->setAutoDefault(false);
    return button;
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
    : QWidget(parent),
      clock_([] { return ToDays(LocalNow()); }),
      page_(*this, context, [this] { return clock_(); }) {
    BuildControls(context.services);
}

TfrmWatcher::~TfrmWatcher() {
    // While the controls the stop writes to are still there.
    page_.StopWatch();
}

QGroupBox* TfrmWatcher::BuildLocationGroup() {
    auto* grpLocation = MakeGroup("grpLocation", tr("Location to monitor"), this);
    cboPath = new QComboBox(grpLocation);
    cboPath->setObjectName(QStringLiteral("cboPath"));
    cboPath->setEditable(true);
    // The drop-down list stays empty: Enter must not put the text into it.
    cboPath->setInsertPolicy(QComboBox::NoInsert);
    cboPath->setMinimumWidth(150);
    cmdBrowse = MakePageButton("cmdBrowse", tr("Browse"), grpLocation);
    chkIncludeSub = MakeCheckBox("chkIncludeSub", tr("Include Subdirectories"), false, grpLocation);
    auto* locationLayout = MakeGroupLayout(grpLocation);
    locationLayout->addWidget(cboPath, 0, 0);
    locationLayout->addWidget(cmdBrowse, 0, 1);
    locationLayout->addWidget(chkIncludeSub, 1, 0, 1, 2);
    locationLayout->setColumnStretch(0, 1);
    return grpLocation;
}

QGroupBox* TfrmWatcher::BuildControlGroup() {
    auto* grpControl = MakeGroup("grpControl", tr("Control"), this);
    cmdStart = MakePageButton("cmdStart", tr("Start"), grpControl);
    cmdStop = MakePageButton("cmdStop", tr("Stop"), grpControl);
    LMDButton1 = MakePageButton("LMDButton1", tr("Clear"), grpControl);
    auto* controlLayout = MakeGroupLayout(grpControl);
    controlLayout->addWidget(cmdStart, 0, 0);
    controlLayout->addWidget(cmdStop, 0, 1);
    controlLayout->addWidget(LMDButton1, 1, 0);
    return grpControl;
}

QGroupBox* TfrmWatcher::BuildScreenGroup() {
    auto* grpOutputToScreen = MakeGroup("grpOutputToScreen", tr("Output To Screen"), this);
    chkOutputToScreen =
        MakeCheckBox("chkOutputToScreen", tr("Output to Screen"), true, grpOutputToScreen);
    auto* maxLinesLabel = new QLabel(tr("Maximum Lines :"), grpOutputToScreen);
    maxLinesLabel->setObjectName(QStringLiteral("lblMaxLines"));
    txtMaxLines = new MaxLinesSpinBox(grpOutputToScreen);
    txtMaxLines->setObjectName(QStringLiteral("txtMaxLines"));
    txtMaxLines->setValue(kMaxLinesDefault);
    maxLinesLabel->setBuddy(txtMaxLines);
    chkAutoScroll =
        MakeCheckBox("chkAutoScroll", tr("Auto Scroll to Last Entry"), false, grpOutputToScreen);
    auto* screenLayout = MakeGroupLayout(grpOutputToScreen);
    screenLayout->addWidget(chkOutputToScreen, 0, 0, 1, 3);
    screenLayout->addWidget(maxLinesLabel, 1, 0);
    screenLayout->addWidget(txtMaxLines, 1, 1);
    screenLayout->addWidget(chkAutoScroll, 2, 0, 1, 3);
    screenLayout->setColumnStretch(2, 1);
    return grpOutputToScreen;
}

QGroupBox* TfrmWatcher::BuildActivityGroup() {
    // Two columns of four, read top to bottom.
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
    return grpOptions;
}

QGroupBox* TfrmWatcher::BuildStatusGroup() {
    auto* grpStatus = MakeGroup("grpStatus", tr("Status"), this);
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
    return grpStatus;
}

QGroupBox* TfrmWatcher::BuildFileGroup() {
    auto* grpOutputToFile = MakeGroup("grpOutputToFile", tr("Output To File"), this);
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
    return grpOutputToFile;
}

void TfrmWatcher::BuildControls(BatchServices& services) {
    // The groups keep their places at the top left; only the list grows with
    // the page. A page too narrow for three columns gets fewer.
    auto* groups = new GroupFlow({BuildLocationGroup(), BuildControlGroup(), BuildScreenGroup(),
                                  BuildActivityGroup(), BuildStatusGroup(), BuildFileGroup()},
                                 this);
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
    lvwResults->FitColumns(ResultsColumnFits(
        services.regional, services.files.FactsOf(ToSystemText(QDir::homePath())).owner));

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(4, 4, 4, 4);
    page->setSpacing(4);
    page->addWidget(groupArea);
    page->addWidget(lvwResults, 1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerInterval);

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

WatchPageSettings TfrmWatcher::ReadSettings() const {
    WatchPageSettings settings;
    settings.path = ToSystemText(cboPath->currentText());
    settings.includeSubdirectories = chkIncludeSub->isChecked();
    Activities& activities = settings.activities;
    activities.createFile = chkFlagCreateFile->isChecked();
    activities.lastAccess = chkFlagLastAccess->isChecked();
    activities.creationTime = chkFlagCreationTime->isChecked();
    activities.lastWrite = chkFlagLastWrite->isChecked();
    activities.createDir = chkFlagCreateDir->isChecked();
    activities.security = chkFlagSecurity->isChecked();
    activities.attributes = chkFlagAttributes->isChecked();
    activities.fileSize = chkFlagFileSize->isChecked();
    settings.outputToScreen = chkOutputToScreen->isChecked();
    settings.outputToFile = chkOutputToFile->isChecked();
    settings.csv = optCSV->isChecked();
    settings.logFileName = ToSystemText(txtOutputFileName->text());
    return settings;
}

void TfrmWatcher::SetTimerRunning(bool running) {
    if (running)
        Timer1->start();
    else
        Timer1->stop();
}

void TfrmWatcher::SetStatusText(const std::string& text) {
    lblStatus->setText(FromSystemText(text));
}

void TfrmWatcher::SetMonitoringTimeText(const std::string& text) {
    lblMonitoringTime->setText(FromSystemText(text));
}

void TfrmWatcher::SetStartStopEnabled(bool startEnabled, bool stopEnabled) {
    cmdStart->setEnabled(startEnabled);
    cmdStop->setEnabled(stopEnabled);
}

void TfrmWatcher::ShowMessage(const std::string& text, MessageIcon icon) {
    const QMessageBox::Icon shown = icon == MessageIcon::Error     ? QMessageBox::Critical
                                    : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                                   : QMessageBox::NoIcon;
    ProductMessageBox box(shown, FromSystemText(text), this);
    box.exec();
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

void TfrmWatcher::SetTabCaption(const QString& path) {
    SetTabCaption(TabCaptionText(ToSystemText(path)));
}

void TfrmWatcher::SetTabCaption(const std::string& text) {
    if (!tabArea_) return;
    const QString shown = FromSystemText(text);
    for (int i = 0; i < tabArea_->count(); ++i)
        if (tabArea_->widget(i) == this) tabArea_->setTabText(i, shown);
}

void TfrmWatcher::ClearRows() {
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
    return FromSystemText(page_.ResultsText());
}

ResultRow TfrmWatcher::RowAt(int index) const {
    const ResultsModel::Row& cells = results_->At(index);
    ResultRow row;
    for (std::size_t column = 0; column < row.size(); ++column)
        row[column] = ToSystemText(ResultsModel::Text(cells[column]));
    return row;
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
    lvwResults->ShowRowWhole(index);
}

int TfrmWatcher::RowCount() const {
    return results_->Count();
}

void TfrmWatcher::DeleteFirstRow() {
    results_->RemoveFirst();
}

void TfrmWatcher::SetChangeCountText(const std::string& text) {
    lblChangeCount->setText(FromSystemText(text));
}

void TfrmWatcher::BeginBatch() {
    results_->BeginBatch();
}

void TfrmWatcher::EndBatch(std::optional<int> rowToShow) {
    // The model scrolls at the point of its change where the steps one by one
    // would have scrolled, so it takes the row by a name that stays with it.
    results_->EndBatch(rowToShow ? std::optional(results_->Serial(*rowToShow)) : std::nullopt);
}

void TfrmWatcher::ShowWatchNotice(const std::string& text) {
    // Not modal, as the log warning: a batch is being handled right now.
    auto* box = new ProductMessageBox(QMessageBox::Warning, FromSystemText(text), this);
    box->setObjectName(QStringLiteral("WatchNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->setWindowModality(Qt::NonModal);
    watchNoticeBox_ = box;
    box->show();
}

void TfrmWatcher::ShowLogFailureNotice(const std::string& text) {
    // Not modal: a batch is being handled right now and the worker waits for it.
    auto* box = new ProductMessageBox(QMessageBox::Warning, FromSystemText(text), this);
    box->setObjectName(QStringLiteral("LogFailureNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->setWindowModality(Qt::NonModal);
    logFailureBox_ = box;
    box->show();
}

}  // namespace tarnwell
