#include "ui/qt/fAbout.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>

#include "net/update_check.h"
#include "platform/decimal_separator.h"
#include "platform/shell_open.h"
#include "ui/qt/application.h"
#include "ui/qt/fProxySettings.h"
#include "ui/qt/plain_message_box.h"
#include "ui/qt/qt_system_text.h"
#include "ui/qt/qt_widgets.h"
#include "ui/qt/versions_document.h"

namespace tarnwell {

namespace fAbout {
tarnwell::ProxySettings ProxySettings;
std::string DownloadURL;
}  // namespace fAbout

namespace {

constexpr int kBoxWidth = 448;
constexpr int kUpdatesHeight = 92;
// Below the groups, the OK button with a margin of 8 above and 9 below it.
constexpr int kOkTop = 128 + kUpdatesHeight + 8;
constexpr int kBoxHeight = kOkTop + 23 + 9;
constexpr int kValueLeft = 110;
constexpr int kRowHeight = 20;

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent, QRect geometry) {
    auto* label = new QLabel(text, parent);
    if (name != nullptr) label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    return label;
}

// The box has a fixed layout: every control at its place.
template <typename Widget>
Widget* Placed(Widget* widget, QRect geometry) {
    widget->setGeometry(geometry);
    return widget;
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent, UpdateServer server)
    : QDialog(parent), server_(std::move(server)), http_(UpdateCheckLimits(server_.timeLimit)) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);

    grpAppInfo = Placed(MakeGroup("grpAppInfo", QStringLiteral("Application Information"), this),
                        QRect(8, 10, 431, 111));
    const char* captions[] = {"Application Name :", "Version :", "Copyright :", "Website : "};
    QLabel** values[] = {&lblAppName, &lblVersion, &lblCopyRight, &lblURL};
    const char* names[] = {"lblAppName", "lblVersion", "lblCopyRight", "lblURL"};
    // The value column starts 110 pixels in, which fits the captions in an
    // 8-point dialog font; a wider font pushes it right rather than cut them.
    const QFontMetrics metrics(dialogFont);
    int valueLeft = kValueLeft;
    for (const char* caption : captions)
        valueLeft = std::max(valueLeft, 10 + metrics.horizontalAdvance(QLatin1String(caption)) + 6);
    for (int row = 0; row < 4; ++row) {
        const int top = 24 + row * kRowHeight;
        MakeLabel(nullptr, QLatin1String(captions[row]), grpAppInfo,
                  QRect(10, top, valueLeft - 12, 16));
        // Fixed width: a longer text is cut off, never widens the box.
        *values[row] = MakeLabel(names[row], QString(), grpAppInfo,
                                 QRect(valueLeft, top, 431 - 8 - valueLeft, 16));
    }
    // Pure blue on the box's own background, whatever the style's link colour.
    QPalette linkColours = lblURL->palette();
    linkColours.setColor(QPalette::WindowText, QColor(0, 0, 255));
    lblURL->setPalette(linkColours);
    lblURL->installEventFilter(this);

    // Qt's styles draw a group's frame below its title, not through it, so what
    // lies inside "Update Details" sits a few pixels lower than the dialog's
    // coordinates say and the "Updates" group is a little taller to hold it.
    grpUpdates = Placed(MakeGroup("grpUpdates", QStringLiteral("Updates"), this),
                        QRect(8, 128, 431, kUpdatesHeight));
    cmdUpdates = Placed(MakeButton("cmdUpdates", QStringLiteral("Check For Updates"), grpUpdates),
                        QRect(10, 23, 106, 23));
    cmdProxy = Placed(MakeButton("cmdProxy", QStringLiteral("Proxy Settings"), grpUpdates),
                      QRect(10, 52, 106, 23));
    grpUpdateDetails =
        Placed(MakeGroup("grpUpdateDetails", QStringLiteral("Update Details"), grpUpdates),
               QRect(131, 16, 293, 70));
    lblStatus = MakeLabel("lblStatus", QString(), grpUpdateDetails, QRect(4, 22, 278, 16));
    lblStatus2 = MakeLabel("lblStatus2", QString(), grpUpdateDetails, QRect(4, 44, 201, 16));
    cmdDownload = Placed(MakeButton("cmdDownload", QStringLiteral("Download"), grpUpdateDetails),
                         QRect(207, 41, 80, 23));
    cmdDownload->hide();

    cmdOk = Placed(MakeButton("cmdOk", QStringLiteral("OK"), this),
                   QRect((kBoxWidth - 74) / 2, kOkTop, 74, 23));
    cmdOk->setDefault(true);
    // Only OK answers Enter wherever the focus is, so no other button is
    // pressed by a key the user meant for the box.
    for (QPushButton* button : {cmdUpdates, cmdProxy, cmdDownload}) button->setAutoDefault(false);

    setTabOrder(cmdOk, cmdUpdates);
    setTabOrder(cmdUpdates, cmdProxy);
    setTabOrder(cmdProxy, cmdDownload);
    cmdOk->setFocus();

    connect(cmdOk, &QPushButton::clicked, this, &TfrmAbout::cmdOkClick);
    connect(cmdUpdates, &QPushButton::clicked, this, &TfrmAbout::cmdUpdatesClick);
    connect(cmdProxy, &QPushButton::clicked, this, &TfrmAbout::cmdProxyClick);
    connect(cmdDownload, &QPushButton::clicked, this, &TfrmAbout::cmdDownloadClick);

    setFixedSize(kBoxWidth, kBoxHeight);
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::SetProxySettingsDialog(TfrmProxySettings* dialog) {
    proxyDialog_ = dialog;
}

TfrmProxySettings* TfrmAbout::ProxyDialog() {
    if (proxyDialog_.isNull()) proxyDialog_ = new TfrmProxySettings(this);
    return proxyDialog_;
}

void TfrmAbout::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FormShow();
        if (!shownBefore_) cmdOk->setFocus();
        shownBefore_ = true;
        CentreOnMainWindow(this);
    }
    QDialog::showEvent(event);
}

void TfrmAbout::FormShow() {
    lblVersion->setText(QString::asprintf("%1.2lf", AppConstants::kVersionNumber));
    lblAppName->setText(QString::fromLatin1(AppConstants::kProductName));
    lblURL->setText(QString::fromLatin1(AppConstants::kWebSite));
    lblCopyRight->setText(QString::fromLatin1(AppConstants::kCopyrightLine));
    LoadProxySettings(fAbout::ProxySettings);
}

void TfrmAbout::keyPressEvent(QKeyEvent* event) {
    // The box is left with OK or the close box only; Esc does nothing here.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblURL) {
        switch (event->type()) {
            case QEvent::Enter:
                lblURLMouseEnter();
                break;
            case QEvent::Leave:
                lblURLMouseLeave();
                break;
            case QEvent::MouseButtonRelease: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->button() == Qt::LeftButton &&
                    lblURL->rect().contains(mouse->position().toPoint()))
                    lblURLClick();
                break;
            }
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAbout::lblURLMouseEnter() {
    QFont underlined = lblURL->font();
    underlined.setBold(false);
    underlined.setItalic(false);
    underlined.setStrikeOut(false);
    underlined.setUnderline(true);
    lblURL->setFont(underlined);
}

void TfrmAbout::lblURLMouseLeave() {
    QFont plain = lblURL->font();
    plain.setBold(false);
    plain.setItalic(false);
    plain.setStrikeOut(false);
    plain.setUnderline(false);
    lblURL->setFont(plain);
}

void TfrmAbout::lblURLClick() {
    ReportFailures(
        [this] { ShellOpen(static_cast<NativeWindowId>(winId()), AppConstants::kWebSite); });
}

void TfrmAbout::cmdDownloadClick() {
    ReportFailures([this] {
        if (IsOpenableDownloadAddress(fAbout::DownloadURL)) {
            ShellOpen(static_cast<NativeWindowId>(winId()), fAbout::DownloadURL);
            return;
        }
        // A button that does nothing would leave the user guessing.
        ProductMessageBox box(QMessageBox::Warning,
                              FromSystemText(RefusedDownloadAddressText(fAbout::DownloadURL)),
                              this);
        box.setObjectName(QStringLiteral("RefusedDownloadAddress"));
        box.exec();
    });
}

void TfrmAbout::cmdProxyClick() {
    ReportFailures([this] { EditProxySettings(*ProxyDialog(), fAbout::ProxySettings); });
}

void TfrmAbout::cmdUpdatesClick() {
    ReportFailures([this] {
        CheckForUpdates(
            *this, reader_,
            [this] { return http_.Get(UpdateAddress(server_), ProxyFor(fAbout::ProxySettings)); },
            DecimalSeparator(), fAbout::DownloadURL);
    });
}

void TfrmAbout::SetStatus(const std::string& text) {
    lblStatus->setText(FromSystemText(text));
    // On screen before the exchange blocks the user-interface thread.
    lblStatus->repaint();
}

void TfrmAbout::SetStatus2(const std::string& text) {
    lblStatus2->setText(FromSystemText(text));
}

void TfrmAbout::ShowDownload(bool shown) {
    cmdDownload->setVisible(shown);
}

void TfrmAbout::ShowUpdateError(const std::string& text) {
    PlainMessageBox box(QMessageBox::NoIcon, QLatin1String(kUpdateErrorCaption),
                        FromSystemText(text), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("UpdateCheckSocketError"));
    box.exec();
}

void TfrmAbout::BeginWait() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    waiting_ = true;
    repaint();
}

void TfrmAbout::EndWait() {
    if (waiting_) QApplication::restoreOverrideCursor();
    waiting_ = false;
}

}  // namespace tarnwell
