// The About box: its information, the link, the update check against a real
// loopback HTTP server (directly and through microsocks) with each kind of
// failure as the user sees it, and the proxy settings dialog against the real
// settings store under a temporary configuration folder.

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <memory>
#include <mutex>

#include "about_test_support.h"
#include "net/loopback_servers.h"
#include "net/update_check.h"
#include "platform/decimal_separator.h"
#include "platform/user_registry.h"
#include "ui/app_constants.h"
#include "ui/qt/application.h"
#include "ui/qt/fAbout.h"
#include "ui/qt/fMain.h"
#include "ui/qt/fProxySettings.h"
#include "ui/qt/qt_dispatcher.h"
#include "ui/watch_services.h"

using namespace tarnwell;
using tarnwell::test::ModalBoxAnswerer;
using tarnwell::test::NotedBox;
using tarnwell::test::WhenModal;
using tarnwell::testing::Microsocks;
using tarnwell::testing::ScriptedServer;
using tarnwell::testing::ServerConnection;
using tarnwell::testing::TrickleAnswer;

namespace {

const QString kNewer = QStringLiteral("A Newer Version Is Available");
const QString kUpToDate = QStringLiteral("The current version is up to date");
const QString kChecking = QStringLiteral("Checking for Updates");
const QString kFetchError = QStringLiteral("Error fetching update info");
const QString kSocketText =
    QStringLiteral("An Error occured whilst Checking for updates. \n\n Error Code : ");
constexpr char kEarlierUrl[] = "http://earlier.example/tarnwell-1.5.zip";

QByteArray Document(const QByteArray& version, const QByteArray& url) {
    return "<?xml version=\"1.0\"?><ProductVersions><Other><Version>9</Version></Other>"
           "<Tarnwell><Version>" +
           version + "</Version><URL>" + url + "</URL></Tarnwell></ProductVersions>";
}

QByteArray Ok(const QByteArray& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray Status(const QByteArray& line) {
    return line + "\r\nLocation: http://elsewhere.example/\r\nContent-Length: 4\r\n\r\nnope";
}

// An update server on 127.0.0.1 that answers each connection with the next of
// its responses, the last one again once they are used up.
class VersionsServer {
  public:
    explicit VersionsServer(QList<QByteArray> responses, const std::string& address = "127.0.0.1")
        : responses_(std::move(responses)),
          server_(
              [this](ServerConnection& c) {
                  c.ReadUntil("\r\n\r\n");
                  c.Write(Next().toStdString());
                  c.WaitForClientClose();
              },
              address) {}

    std::uint16_t port() const { return server_.port(); }
    std::vector<std::string> Received() const { return server_.Received(); }

  private:
    QByteArray Next() {
        std::lock_guard<std::mutex> lock(mutex_);
        const QByteArray response = responses_.at(std::min(next_, responses_.size() - 1));
        ++next_;
        return response;
    }

    std::mutex mutex_;
    QList<QByteArray> responses_;
    qsizetype next_ = 0;
    ScriptedServer server_;
};

std::unique_ptr<RegistryData> StoredValue(const char* name) {
    std::unique_ptr<UserRegistryKey> key = OpenUserKeyForRead(kProxySettingsKey);
    if (!key) return nullptr;
    std::optional<RegistryData> data = key->QueryValue(name);
    return data ? std::make_unique<RegistryData>(*data) : nullptr;
}

std::uint32_t StoredDword(const char* name) {
    std::unique_ptr<RegistryData> data = StoredValue(name);
    if (!data || data->type != kRegDword || data->bytes.size() != 4) return 0xDEADBEEF;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= std::uint32_t(static_cast<unsigned char>(data->bytes[std::size_t(i)])) << (8 * i);
    return value;
}

std::string StoredString(const char* name) {
    std::unique_ptr<RegistryData> data = StoredValue(name);
    if (!data || data->type != kRegSz) return "<not a string>";
    return data->bytes.substr(0, data->bytes.find('\0'));
}

}  // namespace

class AboutBoxTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void showsTheApplicationInformation();
    void enterClosesAndEscDoesNothing();
    void linkUnderlinesOnHoverAndOpensTheWebSite();
    void everyShowingLoadsTheProxySettings();
    void updateCheck_data();
    void updateCheck();
    void socketFailure_data();
    void socketFailure();
    void resultsPersistAndDownloadOpensTheAddress();
    void noFailureLeavesTheHandler();
    void readsTheMakersNumberUnderACommaLocale();
    void unusableProxyPort_data();
    void unusableProxyPort();
    void checksThroughMicrosocks_data();
    void checksThroughMicrosocks();
    void proxyDialogOnFirstRun();
    void proxyDialogCancelChangesNothing();
    void proxyDialogOkStoresWhatTheFieldsHold();
    void helpAboutShowsTheBoxMadeAtStartUp();

  private:
    TfrmAbout* MakeBox(const std::string& host, std::uint16_t port,
                       std::chrono::milliseconds limit = kUpdateCheckTimeLimit);
    QLabel* Label(const char* name) const { return box_->findChild<QLabel*>(name); }
    QPushButton* Button(const char* name) const { return box_->findChild<QPushButton*>(name); }
    // Presses "Check For Updates" as the user does, so a failure that escapes
    // reaches the application's error display.
    void Check() { QTest::mouseClick(Button("cmdUpdates"), Qt::LeftButton); }
    QStringList OpenedWith();

    QTemporaryDir config_;
    QTemporaryDir bin_;
    QString openedFile_;
    std::unique_ptr<QMainWindow> main_;
    std::unique_ptr<TfrmAbout> box_;
};

void AboutBoxTest::initTestCase() {
    QVERIFY(config_.isValid() && bin_.isValid());
    qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
    // A stand-in for the desktop's opener that notes each call's arguments, one
    // a line after their count.
    openedFile_ = bin_.filePath(QStringLiteral("opened.txt"));
    QFile opener(bin_.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" >> '%1'\n")
                     .arg(openedFile_)
                     .toLocal8Bit());
    opener.close();
    opener.setPermissions(opener.permissions() | QFile::ExeOwner);
    qputenv("PATH", bin_.path().toLocal8Bit() + ':' + qgetenv("PATH"));
}

void AboutBoxTest::init() {
    fAbout::ProxySettings = ProxySettings{};
    fAbout::DownloadURL.clear();
    QDir(config_.path()).removeRecursively();
    QDir().mkpath(config_.path());
    QFile::remove(openedFile_);
    main_ = std::make_unique<QMainWindow>();
    main_->resize(800, 600);
    main_->show();
}

void AboutBoxTest::cleanup() {
    box_.reset();
    main_.reset();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

TfrmAbout* AboutBoxTest::MakeBox(const std::string& host, std::uint16_t port,
                                 std::chrono::milliseconds limit) {
    box_ = std::make_unique<TfrmAbout>(main_.get(), UpdateServer{host, port, limit});
    box_->SetProxySettingsDialog(new TfrmProxySettings(main_.get()));
    box_->show();
    return box_.get();
}

QStringList AboutBoxTest::OpenedWith() {
    QFile file(openedFile_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'));
    lines.removeLast();  // after the last line feed
    return lines;
}

void AboutBoxTest::showsTheApplicationInformation() {
    MakeBox("127.0.0.1", 80);
    QCOMPARE(box_->windowTitle(), QStringLiteral("About"));
    QCOMPARE(Label("lblVersion")->text(), QStringLiteral("1.10"));
    QCOMPARE(Label("lblAppName")->text(), QStringLiteral("Tarnwell"));
    QCOMPARE(Label("lblCopyRight")->text(), QString::fromLatin1(AppConstants::kCopyrightLine));
    QCOMPARE(Label("lblURL")->text(), QString::fromLatin1(AppConstants::kWebSite));
    QCOMPARE(Label("lblStatus")->text(), QString());
    QCOMPARE(Label("lblStatus2")->text(), QString());
    QVERIFY(!Button("cmdDownload")->isVisible());
    QCOMPARE(box_->minimumSize(), box_->maximumSize());  // not resizable
    QCOMPARE(box_->width(), 448);
    // A long value is cut at the label's edge, never widens the box.
    QCOMPARE(Label("lblCopyRight")->width(), Label("lblURL")->width());
    QCOMPARE(box_->focusWidget(), Button("cmdOk"));

    QStringList tabOrder;
    QWidget* widget = Button("cmdOk");
    for (int i = 0; i < 4; ++i) {
        tabOrder << widget->objectName();
        do widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
    }
    QCOMPARE(tabOrder, (QStringList{"cmdOk", "cmdUpdates", "cmdProxy", "cmdDownload"}));
}

void AboutBoxTest::enterClosesAndEscDoesNothing() {
    MakeBox("127.0.0.1", 80);
    QTest::keyClick(box_.get(), Qt::Key_Escape);
    QVERIFY(box_->isVisible());
    QTest::keyClick(box_->focusWidget(), Qt::Key_Return);
    QVERIFY(!box_->isVisible());
    QCOMPARE(box_->result(), int(QDialog::Accepted));
}

void AboutBoxTest::linkUnderlinesOnHoverAndOpensTheWebSite() {
    MakeBox("127.0.0.1", 80);
    QLabel* link = Label("lblURL");
    const QColor blue(0, 0, 255);
    QCOMPARE(link->palette().color(QPalette::WindowText), blue);
    QVERIFY(!link->font().underline());

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), link->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(link, &enter);
    QVERIFY(link->font().underline());
    QVERIFY(!link->font().bold() && !link->font().italic());
    QCOMPARE(link->palette().color(QPalette::WindowText), blue);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    QVERIFY(!link->font().underline());
    QCOMPARE(link->palette().color(QPalette::WindowText), blue);
    QCOMPARE(link->cursor().shape(), Qt::ArrowCursor);

    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_COMPARE(OpenedWith(), (QStringList{"1", AppConstants::kWebSite}));
}

void AboutBoxTest::everyShowingLoadsTheProxySettings() {
    ProxySettings stored{1, "proxy.example", 1080, "alice", "s3cret"};
    SaveProxySettings(stored);
    MakeBox("127.0.0.1", 80);
    QCOMPARE(fAbout::ProxySettings, stored);

    stored = ProxySettings{0, "other.example", 9050, "", ""};
    SaveProxySettings(stored);
    box_->hide();
    QCOMPARE(fAbout::ProxySettings.ProxyServer, std::string("proxy.example"));
    box_->show();
    QCOMPARE(fAbout::ProxySettings, stored);
}

void AboutBoxTest::updateCheck_data() {
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("status2");
    QTest::addColumn<bool>("download");
    QTest::addColumn<QString>("downloadUrl");
    QTest::addColumn<QString>("error");  // the error display's text; empty: none

    const QString earlier = QString::fromLatin1(kEarlierUrl);
    const QString fresh = QStringLiteral("http://dl.example/tarnwell-1.2.zip");
    // Each row follows a check that found 1.5 at the earlier address.
    QTest::newRow("newer version") << Ok(Document("1.2", fresh.toLatin1())) << QString() << kNewer
                                   << true << fresh << QString();
    QTest::newRow("up to date: 1.10") << Ok(Document("1.10", fresh.toLatin1())) << QString()
                                      << kUpToDate << false << fresh << QString();
    QTest::newRow("older: 0.9") << Ok(Document("0.9", fresh.toLatin1())) << QString() << kUpToDate
                                << false << fresh << QString();
    QTest::newRow("no URL") << Ok("<ProductVersions><Tarnwell><Version>2</Version></Tarnwell>"
                                  "</ProductVersions>")
                            << kFetchError << kNewer << true << earlier << QString();
    QTest::newRow("product in other capitals")
        << Ok(Document("2", "x").replace("Tarnwell", "TARNWELL")) << kFetchError << kNewer << true
        << earlier << QString();
    QTest::newRow("404") << Status("HTTP/1.1 404 Not Found") << QString() << kNewer << true
                         << earlier << QStringLiteral("HTTP/1.1 404 Not Found.");
    QTest::newRow("302 is not followed")
        << Status("HTTP/1.1 302 Found") << QString() << kNewer << true << earlier
        << QStringLiteral("HTTP/1.1 302 Found.");
    // The status line comes from whoever answers: a link in it stays text.
    QTest::newRow("HTML in the reason phrase")
        << Status("HTTP/1.1 500 <a href=\"file:///etc/passwd\">Click to repair</a>") << QString()
        << kNewer << true << earlier
        << QStringLiteral("HTTP/1.1 500 <a href=\"file:///etc/passwd\">Click to repair</a>.");
    QTest::newRow("not XML") << Ok("<html><p>down for maintenance</html>") << QString() << kNewer
                             << true << earlier << QStringLiteral("not a valid XML document");
    QTest::newRow("CDATA as the URL")
        << Ok(Document("2", "<![CDATA[http://x/]]>")) << QString() << kNewer << true << earlier
        << QStringLiteral("Element does not contain a single text node.");
}

void AboutBoxTest::updateCheck() {
    QFETCH(QByteArray, response);
    QFETCH(QString, status);
    QFETCH(QString, status2);
    QFETCH(bool, download);
    QFETCH(QString, downloadUrl);
    QFETCH(QString, error);

    VersionsServer server({Ok(Document("1.5", kEarlierUrl)), response});
    MakeBox("127.0.0.1", server.port());
    ModalBoxAnswerer answerer;
    Check();
    QCOMPARE(Label("lblStatus")->text(), QString());
    QCOMPARE(Label("lblStatus2")->text(), kNewer);
    QVERIFY(Button("cmdDownload")->isVisible());
    QCOMPARE(fAbout::DownloadURL, std::string(kEarlierUrl));
    QTRY_COMPARE(server.Received().size(), std::size_t(1));
    QCOMPARE(
        server.Received().at(0),
        "GET /versions/versions.xml HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
            "\r\nAccept: text/html, */*\r\n"
            "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n\r\n");

    Check();
    QCOMPARE(Label("lblStatus")->text(), status);
    QCOMPARE(Label("lblStatus2")->text(), status2);
    QCOMPARE(Button("cmdDownload")->isVisible(), download);
    QCOMPARE(QString::fromStdString(fAbout::DownloadURL), downloadUrl);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    if (error.isEmpty()) {
        QVERIFY(answerer.seen.isEmpty());
        return;
    }
    QCOMPARE(answerer.seen.size(), 1);
    const NotedBox& shown = answerer.seen.first();
    QCOMPARE(shown.caption, QStringLiteral("Tarnwell"));
    QCOMPARE(shown.icon, QMessageBox::Critical);
    QVERIFY2(shown.text.contains(error), qPrintable(shown.text));
    QCOMPARE(shown.format, Qt::PlainText);
    QVERIFY(!shown.waitCursor);  // restored before the error is shown
}

void AboutBoxTest::socketFailure_data() {
    QTest::addColumn<bool>("prelude");     // a check finds 1.5 first
    QTest::addColumn<QString>("failure");  // what goes wrong in the second check
    QTest::addColumn<int>("code");         // 0: whatever the resolver says

    QTest::newRow("update server refuses") << true << "refused" << ECONNREFUSED;
    QTest::newRow("proxy refuses") << true << "proxy refused" << ECONNREFUSED;
    QTest::newRow("proxy name unknown") << true << "proxy unknown" << 0;
    QTest::newRow("update server name unknown") << false << "server unknown" << 0;
    // A byte now and then keeps every single wait short; the limit of the
    // whole check still ends it.
    QTest::newRow("update server trickles") << false << "trickles" << ETIMEDOUT;
}

void AboutBoxTest::socketFailure() {
    QFETCH(bool, prelude);
    QFETCH(QString, failure);
    QFETCH(int, code);

    auto server = std::make_unique<VersionsServer>(QList{Ok(Document("1.5", kEarlierUrl))});
    ScriptedServer trickler(&TrickleAnswer);
    if (failure == "server unknown")
        MakeBox("no-such-host.invalid", 80);
    else if (failure == "trickles")
        MakeBox("127.0.0.1", trickler.port(), std::chrono::milliseconds(800));
    else
        MakeBox("127.0.0.1", server->port());
    ModalBoxAnswerer answerer;
    if (prelude) {
        Check();
        QCOMPARE(Label("lblStatus2")->text(), kNewer);
    }
    const QString status2 = Label("lblStatus2")->text();
    const bool download = Button("cmdDownload")->isVisible();
    const std::string downloadUrl = fAbout::DownloadURL;

    if (failure == "refused") server.reset();  // nothing listens there any more
    if (failure == "proxy refused")
        fAbout::ProxySettings = {1, "127.0.0.1", testing::UnusedPort(), "", ""};
    if (failure == "proxy unknown")
        fAbout::ProxySettings = {1, "no-such-proxy.invalid", 1080, "", ""};
    Check();

    QCOMPARE(answerer.seen.size(), 1);
    const NotedBox& shown = answerer.seen.first();
    QCOMPARE(shown.caption, QStringLiteral("Check for Updates"));
    QCOMPARE(shown.icon, QMessageBox::NoIcon);
    QCOMPARE(shown.buttons, QList{QMessageBox::Ok});
    QVERIFY(shown.owned);
    QCOMPARE(shown.format, Qt::PlainText);
    QVERIFY(shown.waitCursor);  // the hourglass goes only once the box is closed
    if (code != 0)
        QCOMPARE(shown.text, kSocketText + QString::number(code));
    else
        QVERIFY2(QRegularExpression(QRegularExpression::escape(kSocketText) + "-?[0-9]+$")
                     .match(shown.text)
                     .hasMatch(),
                 qPrintable(shown.text));
    QCOMPARE(Label("lblStatus")->text(), kChecking);
    QCOMPARE(Label("lblStatus2")->text(), status2);
    QCOMPARE(Button("cmdDownload")->isVisible(), download);
    QCOMPARE(fAbout::DownloadURL, downloadUrl);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void AboutBoxTest::resultsPersistAndDownloadOpensTheAddress() {
    VersionsServer server(
        {Ok(Document("2", "\n    http://dl.example/a b.zip\n  ")), Ok("<ProductVersions/>"),
         Ok(Document("2", "")), Ok(Document("2", "/usr/bin/xterm")), Ok(Document("2", "--help")),
         Ok(Document("2", "file:///etc/passwd")), Ok(Document("2", "HTTPS://dl.example/b.zip"))});
    MakeBox("127.0.0.1", server.port());
    ModalBoxAnswerer answerer;
    Check();
    QCOMPARE(Label("lblStatus2")->text(), kNewer);
    // Without the white space of a pretty-printed document.
    QCOMPARE(fAbout::DownloadURL, std::string("http://dl.example/a b.zip"));

    // Closed with OK and shown again: the lines are still there.
    QTest::mouseClick(Button("cmdOk"), Qt::LeftButton);
    QVERIFY(!box_->isVisible());
    box_->show();
    QCOMPARE(Label("lblStatus2")->text(), kNewer);
    QVERIFY(Button("cmdDownload")->isVisible());

    // A later check that fails keeps the earlier result and its address.
    Check();
    QCOMPARE(Label("lblStatus")->text(), kFetchError);
    QCOMPARE(Label("lblStatus2")->text(), kNewer);
    QTest::mouseClick(Button("cmdDownload"), Qt::LeftButton);
    QTRY_COMPARE(OpenedWith(), (QStringList{"1", "http://dl.example/a b.zip"}));

    // An empty address is handed over as it is; nothing is reported.
    QFile::remove(openedFile_);
    Check();
    QVERIFY(Button("cmdDownload")->isVisible());
    QTest::mouseClick(Button("cmdDownload"), Qt::LeftButton);
    QTRY_COMPARE(OpenedWith(), (QStringList{"1", ""}));
    QVERIFY(answerer.seen.isEmpty());

    // What is not a web address never reaches the shell, which would start a
    // program or open a local file as readily; the user is told so instead
    // of a button that does nothing. A web address after them is opened.
    const QStringList refused = {"/usr/bin/xterm", "--help", "file:///etc/passwd"};
    for (const QString& address : refused) {
        Check();
        QTest::mouseClick(Button("cmdDownload"), Qt::LeftButton);
        QVERIFY(!answerer.seen.isEmpty());
        const NotedBox shown = answerer.seen.takeLast();
        QVERIFY(answerer.seen.isEmpty());
        QCOMPARE(shown.caption, QStringLiteral("Tarnwell"));
        QCOMPARE(shown.text,
                 QString::fromStdString(RefusedDownloadAddressText(address.toStdString())));
        QCOMPARE(shown.format, Qt::PlainText);
        QVERIFY(shown.owned);
    }
    Check();
    QTest::mouseClick(Button("cmdDownload"), Qt::LeftButton);
    QCOMPARE(fAbout::DownloadURL, std::string("HTTPS://dl.example/b.zip"));
    QTRY_COMPARE(OpenedWith(), (QStringList{"1", "", "1", "HTTPS://dl.example/b.zip"}));
    QVERIFY(answerer.seen.isEmpty());
}

// Qt leaves an exception through its event handling undefined: the handler
// shows the failure itself, even when called as a plain function.
void AboutBoxTest::noFailureLeavesTheHandler() {
    VersionsServer server({Status("HTTP/1.1 503 Service Unavailable")});
    MakeBox("127.0.0.1", server.port());
    ModalBoxAnswerer answerer;
    bool escaped = false;
    try {
        box_->cmdUpdatesClick();
    } catch (...) {
        escaped = true;
    }
    QVERIFY(!escaped);
    QCOMPARE(answerer.seen.size(), 1);
    QCOMPARE(answerer.seen.first().text, QStringLiteral("HTTP/1.1 503 Service Unavailable."));
    QCOMPARE(answerer.seen.first().icon, QMessageBox::Critical);
    QCOMPARE(Label("lblStatus")->text(), QString());
}

// The maker writes 1.2 whatever the user's region; the region's own way is
// taken as well.
void AboutBoxTest::readsTheMakersNumberUnderACommaLocale() {
    const QByteArray before = qgetenv("LC_ALL");
    qputenv("LC_ALL", "de_DE.UTF-8");
    auto restore = qScopeGuard([&] {
        if (before.isNull())
            qunsetenv("LC_ALL");
        else
            qputenv("LC_ALL", before);
    });
    if (DecimalSeparator() != ",") QSKIP("de_DE.UTF-8 is not installed (scripts/setup.sh)");

    VersionsServer server({Ok(Document("1.2", "http://dl.example/a.zip")),
                           Ok(Document("1,05", "http://dl.example/b.zip")),
                           Ok(Document("1,3", "http://dl.example/c.zip"))});
    MakeBox("127.0.0.1", server.port());
    ModalBoxAnswerer answerer;
    Check();
    QCOMPARE(Label("lblStatus")->text(), QString());
    QCOMPARE(Label("lblStatus2")->text(), kNewer);
    Check();
    QCOMPARE(Label("lblStatus2")->text(), kUpToDate);
    Check();
    QCOMPARE(Label("lblStatus2")->text(), kNewer);
    QCOMPARE(fAbout::DownloadURL, std::string("http://dl.example/c.zip"));
    QVERIFY(answerer.seen.isEmpty());
}

void AboutBoxTest::unusableProxyPort_data() {
    QTest::addColumn<int>("port");
    QTest::newRow("0, as the dialog stores an empty port") << 0;
    QTest::newRow("65536") << 65536;
    QTest::newRow("-1") << -1;
}

void AboutBoxTest::unusableProxyPort() {
    QFETCH(int, port);
    VersionsServer server({Ok(Document("1.5", kEarlierUrl))});
    SaveProxySettings({1, "127.0.0.1", port, "", ""});
    MakeBox("127.0.0.1", server.port());
    ModalBoxAnswerer answerer;
    Check();
    QCOMPARE(answerer.seen.size(), 1);
    const NotedBox& shown = answerer.seen.first();
    QCOMPARE(shown.caption, QStringLiteral("Tarnwell"));
    QCOMPARE(shown.icon, QMessageBox::Critical);
    QCOMPARE(shown.text,
             QStringLiteral("The proxy port %1 is not a TCP port (1 to 65535)").arg(port));
    QCOMPARE(Label("lblStatus")->text(), QString());
    QCOMPARE(server.Received().size(), std::size_t(0));
}

void AboutBoxTest::checksThroughMicrosocks_data() {
    QTest::addColumn<QString>("proxy");
    QTest::addColumn<QString>("server");
    QTest::newRow("IPv4") << "127.0.0.1"
                          << "127.0.0.1";
    QTest::newRow("IPv6: proxy on ::1, update server at [::1]") << "::1"
                                                                << "::1";
}

void AboutBoxTest::checksThroughMicrosocks() {
    QFETCH(QString, proxy);
    QFETCH(QString, server);
    std::optional<Microsocks> socks = Microsocks::Start({}, {}, proxy.toStdString());
    if (!socks) QSKIP("microsocks is not installed (scripts/setup.sh installs it)");
    VersionsServer versions({Ok(Document("1.2", "http://dl.example/via-proxy.zip"))},
                            server.toStdString());
    // Stored, so the showing's load brings it in as the user would have set it.
    SaveProxySettings({1, proxy.toStdString(), socks->port(), "", "unused"});
    MakeBox(server.toStdString(), versions.port());
    ModalBoxAnswerer answerer;
    Check();
    QCOMPARE(Label("lblStatus2")->text(), kNewer);
    QCOMPARE(fAbout::DownloadURL, std::string("http://dl.example/via-proxy.zip"));
    QTRY_COMPARE(versions.Received().size(), std::size_t(1));
    QVERIFY(answerer.seen.isEmpty());
}

void AboutBoxTest::proxyDialogOnFirstRun() {
    MakeBox("127.0.0.1", 80);
    QCOMPARE(fAbout::ProxySettings, ProxySettings{});
    bool looked = false;
    WhenModal<TfrmProxySettings>([&](TfrmProxySettings* dialog) {
        looked = true;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Proxy Settings"));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QVERIFY(!dialog->chkUseProxy->isChecked());
        for (QLineEdit* field : {dialog->txtHostName, dialog->txtUserName, dialog->txtPassword})
            QCOMPARE(field->text(), QString());
        QCOMPARE(dialog->txtPort->text(), QStringLiteral("0"));
        for (QLineEdit* field :
             {dialog->txtHostName, dialog->txtPort, dialog->txtUserName, dialog->txtPassword})
            QVERIFY(!field->isEnabled());
        QCOMPARE(dialog->txtPassword->echoMode(), QLineEdit::Password);
        // Centred on the main window, not merely on the About box.
        QVERIFY((dialog->frameGeometry().center() - main_->frameGeometry().center())
                    .manhattanLength() <= 2);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(Button("cmdProxy"), Qt::LeftButton);
    QVERIFY(looked);
    QVERIFY(!QFile::exists(config_.filePath("Quillfern/ProxySettings.reg")));
}

void AboutBoxTest::proxyDialogCancelChangesNothing() {
    const ProxySettings stored{1, "proxy.example", 1080, "alice", "s3cret"};
    SaveProxySettings(stored);
    MakeBox("127.0.0.1", 80);
    bool looked = false;
    WhenModal<TfrmProxySettings>([&](TfrmProxySettings* dialog) {
        looked = true;
        QVERIFY(dialog->chkUseProxy->isChecked());
        QCOMPARE(dialog->txtHostName->text(), QStringLiteral("proxy.example"));
        QCOMPARE(dialog->txtPort->text(), QStringLiteral("1080"));
        QCOMPARE(dialog->txtUserName->text(), QStringLiteral("alice"));
        QCOMPARE(dialog->txtPassword->text(), QStringLiteral("s3cret"));
        QVERIFY(dialog->txtHostName->isEnabled() && dialog->txtPassword->isEnabled());
        // The enabling rule follows the box both ways.
        dialog->chkUseProxy->click();
        QVERIFY(!dialog->txtHostName->isEnabled() && !dialog->txtPort->isEnabled() &&
                !dialog->txtUserName->isEnabled() && !dialog->txtPassword->isEnabled());
        dialog->chkUseProxy->click();
        QVERIFY(dialog->txtPort->isEnabled());
        for (QLineEdit* field :
             {dialog->txtHostName, dialog->txtPort, dialog->txtUserName, dialog->txtPassword})
            field->setText(QStringLiteral("changed"));
        QTest::mouseClick(dialog->cmdCancel, Qt::LeftButton);
    });
    QTest::mouseClick(Button("cmdProxy"), Qt::LeftButton);
    QVERIFY(looked);
    QCOMPARE(fAbout::ProxySettings, stored);
    ProxySettings reloaded;
    LoadProxySettings(reloaded);
    QCOMPARE(reloaded, stored);

    // The next opening shows the record again, not what was typed.
    looked = false;
    WhenModal<TfrmProxySettings>([&](TfrmProxySettings* dialog) {
        looked = true;
        QCOMPARE(dialog->txtHostName->text(), QStringLiteral("proxy.example"));
        dialog->close();  // the window's close box
    });
    QTest::mouseClick(Button("cmdProxy"), Qt::LeftButton);
    QVERIFY(looked);
    QCOMPARE(fAbout::ProxySettings, stored);
}

void AboutBoxTest::proxyDialogOkStoresWhatTheFieldsHold() {
    // A ProxyEnabled of 7 counts as on, and OK writes it back as 1.
    SaveProxySettings({7, "proxy.example", 1080, "alice", "s3cret"});
    MakeBox("127.0.0.1", 80);
    QCOMPARE(fAbout::ProxySettings.ProxyEnabled, 7);
    WhenModal<TfrmProxySettings>([&](TfrmProxySettings* dialog) {
        QVERIFY(dialog->chkUseProxy->isChecked());
        dialog->txtPort->setText(QStringLiteral(" 0x1BB"));
        dialog->txtPassword->setText(QStringLiteral("new secret"));
        QTest::keyClick(dialog->txtPassword, Qt::Key_Return);  // OK is the default button
    });
    QTest::mouseClick(Button("cmdProxy"), Qt::LeftButton);
    QCOMPARE(fAbout::ProxySettings,
             (ProxySettings{1, "proxy.example", 443, "alice", "new secret"}));
    QCOMPARE(StoredDword("ProxyEnabled"), 1u);
    QCOMPARE(StoredDword("ProxyPort"), 443u);
    QCOMPARE(StoredString("ProxyPassword"), std::string("new secret"));

    // Unchecked: 0 is stored with the disabled fields exactly as they stand.
    WhenModal<TfrmProxySettings>([&](TfrmProxySettings* dialog) {
        dialog->chkUseProxy->click();
        QVERIFY(!dialog->txtPort->isEnabled());
        dialog->txtPort->clear();
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
    });
    QTest::mouseClick(Button("cmdProxy"), Qt::LeftButton);
    QCOMPARE(fAbout::ProxySettings, (ProxySettings{0, "proxy.example", 0, "alice", "new secret"}));
    QCOMPARE(StoredDword("ProxyEnabled"), 0u);
    QCOMPARE(StoredDword("ProxyPort"), 0u);
    QCOMPARE(StoredString("ProxyServer"), std::string("proxy.example"));
    QCOMPARE(StoredString("ProxyUser"), std::string("alice"));
}

void AboutBoxTest::helpAboutShowsTheBoxMadeAtStartUp() {
    QtDispatcher dispatcher;
    WatchServices services;
    TfrmMain window(WatchContext{dispatcher, services.Batch()});
    // Made with the main window, About box first, and hidden until asked for.
    int aboutAt = -1;
    int proxyAt = -1;
    TfrmAbout* about = nullptr;
    TfrmProxySettings* proxy = nullptr;
    const QObjectList children = window.children();
    for (int i = 0; i < children.size(); ++i) {
        if (auto* box = qobject_cast<TfrmAbout*>(children[i])) aboutAt = i, about = box;
        if (auto* dialog = qobject_cast<TfrmProxySettings*>(children[i]))
            proxyAt = i, proxy = dialog;
    }
    QVERIFY(about != nullptr && proxy != nullptr);
    QVERIFY(aboutAt < proxyAt);
    window.show();
    QVERIFY(!about->isVisible() && !proxy->isVisible());

    bool sawAbout = false;
    bool sawProxy = false;
    WhenModal<TfrmAbout>([&](TfrmAbout* shown) {
        sawAbout = shown == about;
        QCOMPARE(shown->findChild<QLabel*>("lblVersion")->text(), QStringLiteral("1.10"));
        WhenModal<TfrmProxySettings>([&](TfrmProxySettings* dialog) {
            sawProxy = dialog == proxy;
            dialog->reject();
        });
        QTest::mouseClick(shown->findChild<QPushButton*>("cmdProxy"), Qt::LeftButton);
        QTest::mouseClick(shown->findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
    });
    window.findChild<QAction*>(QStringLiteral("About1"))->trigger();
    QVERIFY(sawAbout);
    QVERIFY(sawProxy);
    QVERIFY(!about->isVisible());
}

int main(int argc, char** argv) {
    // The program's own application, so a failure that escapes a button's
    // handler reaches the same error display as in the program.
    TarnwellApplication app(argc, argv);
    AboutBoxTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "about_box_test.moc"
