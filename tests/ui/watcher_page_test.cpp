// A watch page on its own: its controls as created, the refusals of Start,
// real watches on temporary folders, Stop, the clock and the end poll, Clear,
// Browse and the log file's failures.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "engine/result_outputs.h"
#include "message_box_answerer.h"
#include "ui/qt/fWatcher.h"
#include "ui/qt/group_flow.h"
#include "watch_test_support.h"

namespace tarnwell {

using test::MessageBoxAnswerer;

namespace {

template <class T>
T* Control(QWidget* page, const char* name) {
    T* control = page->findChild<T*>(QLatin1String(name));
    if (control == nullptr) qFatal("no control %s", name);
    return control;
}

QString Cell(QWidget* page, int row, int column) {
    auto* list = Control<QTableView>(page, "lvwResults");
    return list->model()->index(row, column).data().toString();
}

// Closes the next modal file dialog: accepted with `choose` selected, or
// cancelled when `choose` is empty.
void AnswerFileDialog(const QString& choose) {
    // The answer is repeated on the same dialog until it is destroyed: an
    // answer that comes while the dialog is still being shown, before its
    // event loop runs, hides it without ending that loop. A later dialog is
    // never answered by this poll.
    struct State {
        QPointer<QFileDialog> target;
        bool acted = false;
    };
    auto* poll = new QTimer;
    poll->setInterval(10);
    auto state = std::make_shared<State>();
    QObject::connect(poll, &QTimer::timeout, [poll, choose, state] {
        if (state->acted && state->target.isNull()) {
            poll->stop();
            poll->deleteLater();
            return;
        }
        QFileDialog* dialog = state->target;
        if (dialog == nullptr)
            dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        state->target = dialog;
        state->acted = true;
        if (choose.isEmpty()) {
            dialog->reject();
        } else if (dialog->fileMode() == QFileDialog::Directory) {
            dialog->setDirectory(choose);
            static_cast<QDialog*>(dialog)->accept();
        } else {
            // Typed as a user would: selectFile() depends on the folder model,
            // which loads in the background.
            if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                edit->setText(choose);
            else
                dialog->selectFile(choose);
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    poll->start();
}

}  // namespace

class WatcherPageTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void aFreshPageHasItsDefaults();
    void maxLinesIsBroughtIntoItsRange_data();
    void maxLinesIsBroughtIntoItsRange();
    void startRefusesIncompleteSettings_data();
    void startRefusesIncompleteSettings();
    void aWatchReportsCreatedFilesOnScreenAndInTheLog_data();
    void aWatchReportsCreatedFilesOnScreenAndInTheLog();
    void startOnARunningPageChangesNothing();
    void stopOnAFreshPageChangesNothing();
    void clearDuringARunEmptiesTheListAndTheCountGoesOn();
    void maxLinesZeroKeepsTheListEmptyWhileTheCountRises();
    void autoScrollKeepsTheNewestRowWhollyInView_data();
    void autoScrollKeepsTheNewestRowWhollyInView();
    void theClockReadsHundredHoursAfterHundredHours();
    void aMissingFolderEndsInNotRunningAfterCannotOpen();
    void aLogThatCannotBeWrittenIsReportedOnce();
    void aWatchNoticeIsShownAsPlainTextWithoutStoppingAnything();
    void browseRemembersTheLastConfirmedFolder();
    void theGroupsReflowSoTheyFitTheWidth_data();
    void theGroupsReflowSoTheyFitTheWidth();
    void browseOpensAtThePathBoxFolderElseAtHome_data();
    void browseOpensAtThePathBoxFolderElseAtHome();
    void theSaveDialogTakesAnExistingFileWithoutAQuestion();

  private:
    // Types `folder` into the path box, starts the watch and waits until it
    // records changes.
    void StartOn(const QString& folder);

    std::unique_ptr<test::RealServices> services_;
    std::unique_ptr<TfrmWatcher> page_;
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<QTemporaryDir> staging_;
};

void WatcherPageTest::init() {
    services_ = std::make_unique<test::RealServices>();
    page_ = std::make_unique<TfrmWatcher>(services_->Context());
    page_->resize(764, 475);
    page_->show();
    folder_ = std::make_unique<QTemporaryDir>();
    staging_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid() && staging_->isValid());
}

void WatcherPageTest::cleanup() {
    page_.reset();
    services_.reset();
    folder_.reset();
    staging_.reset();
}

void WatcherPageTest::StartOn(const QString& folder) {
    Control<QComboBox>(page_.get(), "cboPath")->setEditText(folder);
    Control<QPushButton>(page_.get(), "cmdStart")->click();
    QCOMPARE(Control<QLabel>(page_.get(), "lblStatus")->text(), QStringLiteral("Running"));
    QTRY_VERIFY_WITH_TIMEOUT(test::IsWatched(folder), 5000);
}

void WatcherPageTest::aFreshPageHasItsDefaults() {
    QWidget* page = page_.get();
    const struct {
        const char* name;
        const char* caption;
        bool checked;
    } boxes[] = {
        {"chkIncludeSub", "Include Subdirectories", false},
        {"chkOutputToScreen", "Output to Screen", true},
        {"chkAutoScroll", "Auto Scroll to Last Entry", false},
        {"chkFlagCreateFile", "Create/Delete File", true},
        {"chkFlagLastAccess", "Last Access Time", false},
        {"chkFlagCreationTime", "Creation Time", false},
        {"chkFlagLastWrite", "Last Write Time", false},
        {"chkFlagCreateDir", "Create/Delete Directory", false},
        {"chkFlagSecurity", "Security Change", false},
        {"chkFlagAttributes", "Attribute Change", false},
        {"chkFlagFileSize", "File Size Change", false},
        {"chkOutputToFile", "Output To File :", false},
    };
    for (const auto& box : boxes) {
        auto* control = Control<QCheckBox>(page, box.name);
        QCOMPARE(control->text(), QLatin1String(box.caption));
        QVERIFY2(control->isChecked() == box.checked, box.name);
        QVERIFY2(control->isEnabled(), box.name);
    }
    // The two columns of "Activity to Track" read top to bottom.
    auto* options = Control<QGroupBox>(page, "grpOptions");
    QCOMPARE(options->title(), QStringLiteral("Activity to Track"));
    const char* const leftColumn[] = {"chkFlagCreateFile", "chkFlagLastAccess",
                                      "chkFlagCreationTime", "chkFlagLastWrite"};
    const char* const rightColumn[] = {"chkFlagCreateDir", "chkFlagSecurity", "chkFlagAttributes",
                                       "chkFlagFileSize"};
    for (int row = 0; row < 4; ++row) {
        auto* left = Control<QCheckBox>(page, leftColumn[row]);
        auto* right = Control<QCheckBox>(page, rightColumn[row]);
        QCOMPARE(left->parentWidget(), options);
        QVERIFY(left->x() < right->x());
        QCOMPARE(left->y(), right->y());
        if (row > 0) QVERIFY(Control<QCheckBox>(page, leftColumn[row - 1])->y() < left->y());
    }

    const struct {
        const char* name;
        const char* caption;
    } buttons[] = {{"cmdBrowse", "Browse"},
                   {"cmdStart", "Start"},
                   {"cmdStop", "Stop"},
                   {"LMDButton1", "Clear"}};
    for (const auto& button : buttons) {
        auto* control = Control<QPushButton>(page, button.name);
        QCOMPARE(control->text(), QLatin1String(button.caption));
        QVERIFY2(control->isEnabled(), button.name);
    }

    auto* path = Control<QComboBox>(page, "cboPath");
    QVERIFY(path->isEditable());
    QCOMPARE(path->currentText(), QString());
    QCOMPARE(path->count(), 0);

    auto* maxLines = Control<QSpinBox>(page, "txtMaxLines");
    QCOMPARE(maxLines->value(), 1000);
    QCOMPARE(maxLines->minimum(), 0);
    QCOMPARE(maxLines->maximum(), 60000);
    QCOMPARE(page_->MaxLines(), 1000);

    QCOMPARE(Control<QLineEdit>(page, "txtOutputFileName")->text(), QString());
    QVERIFY(Control<QRadioButton>(page, "optCSV")->isChecked());
    QVERIFY(!Control<QRadioButton>(page, "optTab")->isChecked());
    QCOMPARE(Control<QRadioButton>(page, "optCSV")->text(), QStringLiteral("CSV"));
    QCOMPARE(Control<QRadioButton>(page, "optTab")->text(), QStringLiteral("Tab"));

    for (const char* name : {"lblStatus", "lblChangeCount", "lblMonitoringTime"}) {
        auto* value = Control<QLabel>(page, name);
        QVERIFY2(value->text().isEmpty(), name);
        QCOMPARE(value->width(), 100);
    }

    auto* list = Control<QTableView>(page, "lvwResults");
    QCOMPARE(list->model()->rowCount(), 0);
    const char* const titles[] = {"Time Stamp", "File Name", "Action", "File Size", "Owner"};
    QCOMPARE(list->model()->columnCount(), 5);
    int widthOfAll = 0;
    for (int column = 0; column < 5; ++column) {
        QCOMPARE(list->model()->headerData(column, Qt::Horizontal).toString(),
                 QLatin1String(titles[column]));
        widthOfAll += list->columnWidth(column);
    }
    // Sized for their texts in this font; File Name takes the rest.
    QVERIFY(list->columnWidth(2) >
            list->fontMetrics().horizontalAdvance(QStringLiteral("Renamed - From")));
    QCOMPARE(widthOfAll, list->viewport()->width());
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(!list->isSortingEnabled());
    QVERIFY(!list->horizontalHeader()->sectionsMovable());

    auto* timer = page->findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(timer != nullptr);
    QCOMPARE(timer->interval(), 500);
    QVERIFY(!timer->isActive());
    QCOMPARE(page_->Worker(), nullptr);

    // The groups sit above the list, which fills the rest of the page.
    QVERIFY(options->geometry().bottom() < list->geometry().top());
    QVERIFY(list->geometry().bottom() > page->height() - 10);
}

void WatcherPageTest::maxLinesIsBroughtIntoItsRange_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("shown");
    QTest::newRow("in range") << "250" << 250;
    QTest::newRow("above the maximum") << "70000" << 60000;
    QTest::newRow("far above") << "99999999999" << 60000;
    QTest::newRow("empty") << "" << 0;
}

void WatcherPageTest::maxLinesIsBroughtIntoItsRange() {
    QFETCH(QString, typed);
    QFETCH(int, shown);
    auto* maxLines = Control<QSpinBox>(page_.get(), "txtMaxLines");
    QVERIFY(QTest::qWaitForWindowActive(page_.get()));
    maxLines->setFocus();
    maxLines->selectAll();
    QTest::keyClick(maxLines, Qt::Key_Delete);
    QTest::keyClicks(maxLines, typed);
    // Read before the field has let go of the text, as a batch may.
    QCOMPARE(page_->MaxLines(), shown);
    Control<QComboBox>(page_.get(), "cboPath")->setFocus();
    QTRY_VERIFY(!maxLines->hasFocus());
    QCOMPARE(maxLines->value(), shown);
    QCOMPARE(maxLines->text(), QString::number(shown));

    // The arrows stop at the bounds.
    maxLines->setValue(60000);
    maxLines->stepUp();
    QCOMPARE(maxLines->value(), 60000);
    maxLines->setValue(0);
    maxLines->stepDown();
    QCOMPARE(maxLines->value(), 0);
}

void WatcherPageTest::startRefusesIncompleteSettings_data() {
    QTest::addColumn<bool>("activity");
    QTest::addColumn<bool>("toScreen");
    QTest::addColumn<bool>("toFile");
    QTest::addColumn<QString>("logName");  // relative to the test's folder; "" stays empty
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");

    const QString noActivity =
        QStringLiteral("At least 1 Activity must be tracked. Please select one or more Activities");
    const QString noOutput = QStringLiteral(
        "Output Should be sent to either Screen or File. Please select one or both.");
    const QString cannotOpen = QStringLiteral("Cannot Open Output File. Please check the filename");
    const int warning = QMessageBox::Warning, error = QMessageBox::Critical;

    QTest::newRow("no activity") << false << true << false << "" << noActivity << warning;
    QTest::newRow("no output") << true << false << false << "" << noOutput << warning;
    QTest::newRow("empty log name") << true << false << true << "" << cannotOpen << error;
    QTest::newRow("log in a missing folder")
        << true << true << true << "missing/watch.log" << cannotOpen << error;
    QTest::newRow("all three: only the first")
        << false << false << true << "" << noActivity << warning;
}

void WatcherPageTest::startRefusesIncompleteSettings() {
    QFETCH(bool, activity);
    QFETCH(bool, toScreen);
    QFETCH(bool, toFile);
    QFETCH(QString, logName);
    QFETCH(QString, message);
    QFETCH(int, icon);

    QWidget* page = page_.get();
    Control<QComboBox>(page, "cboPath")->setEditText(folder_->path());
    Control<QCheckBox>(page, "chkFlagCreateFile")->setChecked(activity);
    Control<QCheckBox>(page, "chkOutputToScreen")->setChecked(toScreen);
    Control<QCheckBox>(page, "chkOutputToFile")->setChecked(toFile);
    const QString logPath = logName.isEmpty() ? QString() : folder_->filePath(logName);
    Control<QLineEdit>(page, "txtOutputFileName")->setText(logPath);

    MessageBoxAnswerer answerer;
    Control<QPushButton>(page, "cmdStart")->click();

    QCOMPARE(answerer.seen.size(), 1);
    const test::SeenBox& box = answerer.seen.front();
    QCOMPARE(box.text, message);
    QCOMPARE(box.caption, QStringLiteral("Tarnwell"));
    QCOMPARE(static_cast<int>(box.icon), icon);
    QVERIFY(box.modal);
    QVERIFY(box.hasParent);

    QCOMPARE(Control<QLabel>(page, "lblStatus")->text(), QStringLiteral("Not Running"));
    QCOMPARE(Control<QLabel>(page, "lblMonitoringTime")->text(), QString());
    QVERIFY(!Control<QPushButton>(page, "cmdStop")->isEnabled());
    QVERIFY(Control<QPushButton>(page, "cmdStart")->isEnabled());
    QVERIFY(Control<QComboBox>(page, "cboPath")->isEnabled());
    QCOMPARE(page_->Worker(), nullptr);
    QVERIFY(!page->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
    if (!logPath.isEmpty()) QVERIFY(!QFileInfo::exists(logPath));
}

void WatcherPageTest::aWatchReportsCreatedFilesOnScreenAndInTheLog_data() {
    QTest::addColumn<bool>("csv");
    QTest::newRow("CSV") << true;
    QTest::newRow("Tab") << false;
}

void WatcherPageTest::aWatchReportsCreatedFilesOnScreenAndInTheLog() {
    QFETCH(bool, csv);
    QWidget* page = page_.get();
    QTemporaryDir logs;
    const QString logPath = logs.filePath(QStringLiteral("watch.log"));
    {
        // An existing log is emptied without a question.
        QFile old(logPath);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old line\r\n");
    }
    Control<QCheckBox>(page, "chkOutputToFile")->setChecked(true);
    Control<QLineEdit>(page, "txtOutputFileName")->setText(logPath);
    Control<QRadioButton>(page, csv ? "optCSV" : "optTab")->setChecked(true);
    StartOn(folder_->path());

    // Running: the settings are locked, Clear and the list are not.
    QVERIFY(!Control<QPushButton>(page, "cmdStart")->isEnabled());
    QVERIFY(Control<QPushButton>(page, "cmdStop")->isEnabled());
    for (const char* name : {"cboPath", "cmdBrowse", "chkIncludeSub", "chkFlagCreateFile",
                             "chkFlagSecurity", "chkOutputToScreen", "txtMaxLines", "chkAutoScroll",
                             "chkOutputToFile", "txtOutputFileName", "optCSV", "optTab"})
        QVERIFY2(!Control<QWidget>(page, name)->isEnabled(), name);
    QVERIFY(Control<QPushButton>(page, "LMDButton1")->isEnabled());
    QVERIFY(Control<QTableView>(page, "lvwResults")->isEnabled());

    QVERIFY(test::DropFile(*staging_, folder_->path(), QStringLiteral("a.txt"), "12345"));
    QVERIFY(test::DropFile(*staging_, folder_->path(), QStringLiteral("b.log"), ""));
    QTRY_COMPARE_WITH_TIMEOUT(page_->RowCount(), 2, 5000);
    QCOMPARE(Control<QLabel>(page, "lblChangeCount")->text(), QStringLiteral("2"));

    const QString owner = test::ExpectedOwner();
    const struct {
        const char* name;
        const char* size;
    } expected[] = {{"a.txt", "5"}, {"b.log", "0"}};
    for (int row = 0; row < 2; ++row) {
        QVERIFY(!Cell(page, row, 0).isEmpty());
        QCOMPARE(Cell(page, row, 1), folder_->filePath(QLatin1String(expected[row].name)));
        QCOMPARE(Cell(page, row, 2), QStringLiteral("Created"));
        QCOMPARE(Cell(page, row, 3), QLatin1String(expected[row].size));
        QCOMPARE(Cell(page, row, 4), owner);
    }

    Control<QPushButton>(page, "cmdStop")->click();
    QCOMPARE(Control<QLabel>(page, "lblStatus")->text(), QStringLiteral("Not Running"));
    QCOMPARE(page_->Worker(), nullptr);
    QVERIFY(!test::ProcessHasOpen(logPath));

    const QList<QByteArray> lines = test::ReadAll(logPath).split('\n');
    QCOMPARE(lines.size(), 3);  // two lines, each ending in "\r\n"
    QVERIFY(lines.last().isEmpty());
    for (int row = 0; row < 2; ++row) {
        const QString path = folder_->filePath(QLatin1String(expected[row].name));
        const QString rest =
            csv ? QStringLiteral(",\"%1\",\"Created\",%2,\"%3\"\r")
                      .arg(path, expected[row].size, owner)
                : QStringLiteral("\t%1\tCreated\t.%2\t%3\r").arg(path, expected[row].size, owner);
        const QString line = QString::fromUtf8(lines[row]);
        QVERIFY2(line.endsWith(rest), qPrintable(line));
        const QString stamp = line.left(line.size() - rest.size());
        QVERIFY2(!stamp.isEmpty() && !stamp.contains(QLatin1Char(csv ? ',' : '\t')),
                 qPrintable(line));
    }
}

void WatcherPageTest::startOnARunningPageChangesNothing() {
    double now = 45000.0;
    page_->SetClock([&now] { return now; });
    StartOn(folder_->path());
    CProcessThread* worker = page_->Worker();
    QVERIFY(worker != nullptr);

    now += 10.0 / 86400.0;
    page_->StartWatch();
    QCOMPARE(page_->Worker(), worker);
    QCOMPARE(Control<QLabel>(page_.get(), "lblStatus")->text(), QStringLiteral("Running"));
    page_->Timer1Timer();
    // The clock still counts from the first Start.
    QCOMPARE(Control<QLabel>(page_.get(), "lblMonitoringTime")->text(), QStringLiteral("00:00:10"));
    page_->StopWatch();
}

void WatcherPageTest::stopOnAFreshPageChangesNothing() {
    Control<QPushButton>(page_.get(), "cmdStop")->click();
    QCOMPARE(Control<QLabel>(page_.get(), "lblStatus")->text(), QString());
    QVERIFY(Control<QPushButton>(page_.get(), "cmdStop")->isEnabled());
    QVERIFY(Control<QPushButton>(page_.get(), "cmdStart")->isEnabled());
}

void WatcherPageTest::clearDuringARunEmptiesTheListAndTheCountGoesOn() {
    StartOn(folder_->path());
    QVERIFY(test::DropFile(*staging_, folder_->path(), QStringLiteral("first"), "x"));
    QTRY_COMPARE_WITH_TIMEOUT(page_->RowCount(), 1, 5000);

    Control<QPushButton>(page_.get(), "LMDButton1")->click();
    QCOMPARE(page_->RowCount(), 0);
    QCOMPARE(Control<QLabel>(page_.get(), "lblChangeCount")->text(), QStringLiteral("1"));
    QCOMPARE(Control<QLabel>(page_.get(), "lblStatus")->text(), QStringLiteral("Running"));

    QVERIFY(test::DropFile(*staging_, folder_->path(), QStringLiteral("second"), "x"));
    QTRY_COMPARE_WITH_TIMEOUT(page_->RowCount(), 1, 5000);
    QCOMPARE(Cell(page_.get(), 0, 1), folder_->filePath(QStringLiteral("second")));
    QCOMPARE(Control<QLabel>(page_.get(), "lblChangeCount")->text(), QStringLiteral("2"));
}

void WatcherPageTest::maxLinesZeroKeepsTheListEmptyWhileTheCountRises() {
    Control<QSpinBox>(page_.get(), "txtMaxLines")->setValue(0);
    // Scrolled to and then removed again at once.
    Control<QCheckBox>(page_.get(), "chkAutoScroll")->setChecked(true);
    StartOn(folder_->path());
    for (const char* name : {"one", "two", "three"})
        QVERIFY(test::DropFile(*staging_, folder_->path(), QLatin1String(name), "x"));
    QTRY_COMPARE_WITH_TIMEOUT(Control<QLabel>(page_.get(), "lblChangeCount")->text(),
                              QStringLiteral("3"), 5000);
    QCOMPARE(page_->RowCount(), 0);
}

void WatcherPageTest::autoScrollKeepsTheNewestRowWhollyInView_data() {
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QList<int>>("bursts");  // changes per batch
    QTest::newRow("growing, one change a batch") << 1000 << QList<int>(60, 1);
    QTest::newRow("full, one change a batch") << 20 << QList<int>(60, 1);
    QTest::newRow("growing, bursts") << 1000 << QList<int>{1, 37, 2, 25};
    QTest::newRow("full, bursts") << 20 << QList<int>{30, 5, 1, 40};
    QTest::newRow("the very first change") << 1000 << QList<int>{1};
}

void WatcherPageTest::autoScrollKeepsTheNewestRowWhollyInView() {
    QFETCH(int, maxLines);
    QFETCH(QList<int>, bursts);
    Control<QSpinBox>(page_.get(), "txtMaxLines")->setValue(maxLines);
    Control<QCheckBox>(page_.get(), "chkAutoScroll")->setChecked(true);
    auto* list = Control<QTableView>(page_.get(), "lvwResults");
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));

    const auto newestRowIsWhole = [&] {
        const int last = list->model()->rowCount() - 1;
        const QRect row = list->visualRect(list->model()->index(last, 0));
        return row.isValid() && list->viewport()->rect().contains(row);
    };
    int change = 0;
    for (const int burst : bursts) {
        // One batch as the worker hands it over: the rows come without the
        // event loop turning in between.
        PageSurface& surface = page_->Logic();
        surface.BeginBatch();
        for (int i = 0; i < burst; ++i) {
            ChangeRecord record;
            record.FullPath = "/data/file" + std::to_string(++change);
            record.ActionWord = "Created";
            AddResultRow(surface, "12/10/2026 1:15:00 PM", record);
            TrimResults(surface);
        }
        surface.EndBatch();
        QVERIFY2(newestRowIsWhole(), qPrintable(QStringLiteral("after change %1").arg(change)));
        QCoreApplication::processEvents();
        QVERIFY2(newestRowIsWhole(),
                 qPrintable(QStringLiteral("after change %1, laid out").arg(change)));
    }
    QCOMPARE(page_->RowCount(), std::min(change, maxLines));
}

void WatcherPageTest::theClockReadsHundredHoursAfterHundredHours() {
    double now = 45000.0;
    page_->SetClock([&now] { return now; });
    StartOn(folder_->path());
    now += (100.0 * 3600.0 + 0.5) / 86400.0;
    page_->Timer1Timer();
    QCOMPARE(Control<QLabel>(page_.get(), "lblMonitoringTime")->text(),
             QStringLiteral("100:00:00"));
    page_->StopWatch();
    QCOMPARE(Control<QLabel>(page_.get(), "lblMonitoringTime")->text(), QString());
}

void WatcherPageTest::aMissingFolderEndsInNotRunningAfterCannotOpen() {
    // Leave the worker's notice up until the test presses OK itself.
    MessageBoxAnswerer answerer([](const test::SeenBox&) { return false; });
    Control<QComboBox>(page_.get(), "cboPath")
        ->setEditText(folder_->filePath(QStringLiteral("missing/below")));
    Control<QPushButton>(page_.get(), "cmdStart")->click();

    QTRY_COMPARE_WITH_TIMEOUT(answerer.seen.size(), 1, 5000);
    const test::SeenBox notice = answerer.seen.front();
    QCOMPARE(notice.text, QStringLiteral("Cannot Open"));
    QCOMPARE(notice.caption, QString());
    QVERIFY(!notice.modal);
    // Until OK the run goes on and the clock counts.
    QTRY_VERIFY(!Control<QLabel>(page_.get(), "lblMonitoringTime")->text().isEmpty());
    QCOMPARE(Control<QLabel>(page_.get(), "lblStatus")->text(), QStringLiteral("Running"));

    MessageBoxAnswerer::PressOk(notice.box);
    // The next tick stops the page, at most 500 ms later; the rest is slack
    // for a busy machine.
    QTRY_COMPARE_WITH_TIMEOUT(Control<QLabel>(page_.get(), "lblStatus")->text(),
                              QStringLiteral("Not Running"), 1000);
    QCOMPARE(page_->Worker(), nullptr);
    QCOMPARE(Control<QLabel>(page_.get(), "lblMonitoringTime")->text(), QString());
    QVERIFY(Control<QPushButton>(page_.get(), "cmdStart")->isEnabled());
}

void WatcherPageTest::aLogThatCannotBeWrittenIsReportedOnce() {
    // Every write to /dev/full fails for want of space; the buffered lines
    // fail at the latest when Stop closes the file.
    Control<QCheckBox>(page_.get(), "chkOutputToFile")->setChecked(true);
    Control<QLineEdit>(page_.get(), "txtOutputFileName")->setText(QStringLiteral("/dev/full"));
    MessageBoxAnswerer answerer([](const test::SeenBox&) { return false; });
    StartOn(folder_->path());
    QVERIFY(test::DropFile(*staging_, folder_->path(), QStringLiteral("lost"), "x"));
    QTRY_COMPARE_WITH_TIMEOUT(page_->RowCount(), 1, 5000);
    page_->StopWatch();
    QCOMPARE(Control<QLabel>(page_.get(), "lblStatus")->text(), QStringLiteral("Not Running"));

    QTRY_COMPARE(answerer.seen.size(), 1);
    const test::SeenBox notice = answerer.seen.front();
    QCOMPARE(notice.caption, QStringLiteral("Tarnwell"));
    QCOMPARE(notice.icon, QMessageBox::Warning);
    QVERIFY(!notice.modal);
    QVERIFY2(notice.text.startsWith(QStringLiteral("Cannot write to the log file /dev/full: ")),
             qPrintable(notice.text));
    QVERIFY2(notice.text.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))),
             qPrintable(notice.text));
    QCOMPARE(page_->findChildren<QMessageBox*>(QStringLiteral("LogFailureNotice")).size(), 1);
    MessageBoxAnswerer::PressOk(notice.box);
}

void WatcherPageTest::aWatchNoticeIsShownAsPlainTextWithoutStoppingAnything() {
    MessageBoxAnswerer answerer([](const test::SeenBox&) { return false; });
    StartOn(folder_->path());
    // The text comes from the system's side and is never read as markup.
    page_->ShowWatchNotice("2 folders below <b>x</b> could not be watched");
    QTRY_COMPARE(answerer.seen.size(), 1);
    const test::SeenBox notice = answerer.seen.front();
    QCOMPARE(notice.caption, QStringLiteral("Tarnwell"));
    QCOMPARE(notice.icon, QMessageBox::Warning);
    QVERIFY(!notice.modal);
    QCOMPARE(notice.text, QStringLiteral("2 folders below <b>x</b> could not be watched"));
    QCOMPARE(notice.box->textFormat(), Qt::PlainText);
    QCOMPARE(page_->WatchNotice(), notice.box.data());
    QCOMPARE(Control<QLabel>(page_.get(), "lblStatus")->text(), QStringLiteral("Running"));
    MessageBoxAnswerer::PressOk(notice.box);
}

void WatcherPageTest::browseRemembersTheLastConfirmedFolder() {
    auto* path = Control<QComboBox>(page_.get(), "cboPath");
    auto* browse = Control<QPushButton>(page_.get(), "cmdBrowse");
    path->setEditText(QStringLiteral("typed"));

    AnswerFileDialog(QString());
    browse->click();
    QCOMPARE(path->currentText(), QString());

    AnswerFileDialog(folder_->path());
    browse->click();
    QCOMPARE(path->currentText(), folder_->path());

    path->setEditText(QStringLiteral("typed again"));
    AnswerFileDialog(QString());
    browse->click();
    QCOMPARE(path->currentText(), folder_->path());
}

void WatcherPageTest::theGroupsReflowSoTheyFitTheWidth_data() {
    QTest::addColumn<QSize>("pageSize");  // empty: what a 1280 x 800 screen leaves
    QTest::addColumn<int>("columns");     // 0: as many as fit
    QTest::newRow("the described size") << QSize(764, 475) << 3;
    // Run with QT_SCALE_FACTOR=2 too: the screen then has half as many of
    // the page's pixels; less the window's menus, tool bar and tabs.
    QTest::newRow("a 1280 x 800 screen") << QSize() << 0;
    QTest::newRow("a very narrow window") << QSize(330, 475) << 1;
}

void WatcherPageTest::theGroupsReflowSoTheyFitTheWidth() {
    QFETCH(QSize, pageSize);
    QFETCH(int, columns);
    if (pageSize.isEmpty()) {
        const double ratio = page_->devicePixelRatioF();
        pageSize = QSize(qRound(1280 / ratio) - 8, qRound(800 / ratio) - 130);
    }
    page_->resize(pageSize);
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));

    auto* flow = Control<GroupFlow>(page_.get(), "GroupFlow");
    if (columns > 0) QTRY_COMPARE(flow->Columns(), columns);
    // No group reaches past the page's right edge.
    for (const char* name : {"grpLocation", "grpControl", "grpOutputToScreen", "grpOptions",
                             "grpStatus", "grpOutputToFile"}) {
        auto* group = Control<QGroupBox>(page_.get(), name);
        const QRect onPage(group->mapTo(page_.get(), QPoint(0, 0)), group->size());
        QVERIFY2(onPage.right() < page_->width(), name);
    }
    // The list keeps rows in view, also where the groups have to scroll.
    auto* list = Control<QTableView>(page_.get(), "lvwResults");
    QTRY_VERIFY(list->viewport()->height() >= 5 * list->verticalHeader()->defaultSectionSize());
}

void WatcherPageTest::browseOpensAtThePathBoxFolderElseAtHome_data() {
    QTest::addColumn<QString>("typed");  // "<folder>" stands for the watched folder
    QTest::addColumn<QString>("opensAt");
    QTest::newRow("a folder") << "<folder>/sub"
                              << "<folder>/sub";
    QTest::newRow("a mask behind a folder") << "<folder>/sub/*.txt"
                                            << "<folder>/sub";
    QTest::newRow("nothing typed") << "" << QDir::homePath();
    QTest::newRow("a relative name") << "report.txt" << QDir::homePath();
    QTest::newRow("a folder that is not there") << "<folder>/missing/x" << QDir::homePath();
}

void WatcherPageTest::browseOpensAtThePathBoxFolderElseAtHome() {
    QFETCH(QString, typed);
    QFETCH(QString, opensAt);
    QVERIFY(QDir(folder_->path()).mkdir(QStringLiteral("sub")));
    typed.replace(QStringLiteral("<folder>"), folder_->path());
    opensAt.replace(QStringLiteral("<folder>"), folder_->path());
    Control<QComboBox>(page_.get(), "cboPath")->setEditText(typed);

    QString seen;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            seen = dialog->directory().absolutePath();
            dialog->reject();
        }
    });
    poll.start();
    Control<QPushButton>(page_.get(), "cmdBrowse")->click();
    QCOMPARE(QDir(seen).canonicalPath(), QDir(opensAt).canonicalPath());
}

void WatcherPageTest::theSaveDialogTakesAnExistingFileWithoutAQuestion() {
    const QString existing = folder_->filePath(QStringLiteral("existing.log"));
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    auto* name = Control<QLineEdit>(page_.get(), "txtOutputFileName");
    auto* browse = page_->findChild<QAction*>(QStringLiteral("txtOutputFileNameBrowse"));
    QVERIFY(browse != nullptr);

    MessageBoxAnswerer answerer;
    AnswerFileDialog(existing);
    browse->trigger();
    QCOMPARE(name->text(), existing);
    QVERIFY(answerer.seen.isEmpty());

    AnswerFileDialog(QString());
    browse->trigger();
    QCOMPARE(name->text(), existing);
}

}  // namespace tarnwell

QTEST_MAIN(tarnwell::WatcherPageTest)
#include "watcher_page_test.moc"
