// The program's own help window against the built tarnwell.chm: the file read
// with chmlib, its contents and index, topics by request and by link, back
// and forward, and one window for the whole run however often help is asked
// for. No outside viewer is involved.

#include "ui/qt/help_window.h"

#include <QApplication>
#include <QListWidget>
#include <QTabWidget>
#include <QTextDocument>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <string>

#include "ui/qt/chm_file.h"
#include "ui/qt/help.h"
#include "ui/qt/help_sitemap.h"

using namespace tarnwell;

namespace {

int HelpWindowCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<HelpWindow*>(widget) != nullptr) ++count;
    return count;
}

HelpWindow* TheHelpWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<HelpWindow*>(widget)) return window;
    return nullptr;
}

}  // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT

  private:
    std::string folder_ = std::filesystem::path(TARNWELL_CHM_PATH).parent_path().string() + "/";
    QStringList warnings_;

    // A fresh run: the real help window, the built help file.
    void StartRun() {
        warnings_.clear();
        HelpRequestServices services = ProgramHelpServices();
        services.executableFolder = [this] { return folder_; };
        services.warn = [this](const std::string& text) {
            warnings_ << QString::fromStdString(text);
        };
        SetHelpServices(services);
        QVERIFY(LoadHtmlHelp());
    }

  private slots:
    void cleanup() { SetHelpServices(ProgramHelpServices()); }

    void theFileNamesItsContentsIndexAndStartTopic() {
        ChmFile file(TARNWELL_CHM_PATH);
        QVERIFY(file.IsOpen());
        QCOMPARE(file.DefaultTopic(), std::string("/welcome.html"));
        QCOMPARE(file.Title(), std::string("Tarnwell Help"));
        const auto contents = file.Read(file.ContentsPath());
        const auto index = file.Read(file.IndexPath());
        QVERIFY(contents && index);
        // Every entry leads to a topic that is in the file.
        for (const auto* sitemap : {&*contents, &*index}) {
            const auto entries = ParseSitemap(*sitemap);
            QVERIFY(entries.size() >= 8);
            for (const SitemapEntry& entry : entries) {
                const std::string topic = "/" + entry.local.substr(0, entry.local.find('#'));
                QVERIFY2(file.Read(topic).has_value(), topic.c_str());
            }
        }
        QVERIFY(!file.Read("/no_such_topic.html").has_value());
        QVERIFY(!ChmFile("/nonexistent/tarnwell.chm").IsOpen());
    }

    void sitemapsAreReadLikeTheCompilersWriteThem_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");  // depth:name:local
        QTest::newRow("nested, upper case")
            << "<UL><LI><OBJECT type=\"text/sitemap\">\n"
               "<param name=\"Name\" value=\"A\"><param name=\"Local\" value=\"a.html\"></OBJECT>\n"
               "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"B\">\n"
               "<param name=\"Local\" value=\"b.html#x\"></OBJECT></UL>\n"
               "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"C\"></OBJECT></UL>"
            << QStringList{"0:A:a.html", "1:B:b.html#x", "0:C:"};
        QTest::newRow("lower case, single quotes, entities")
            << "<ul><li><object type='text/sitemap'><param name='name' value='Q &amp; A'>\n"
               "<param name=local value=q.html></object></ul>"
            << QStringList{"0:Q & A:q.html"};
        QTest::newRow("site properties and comments are no entries")
            << "<OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"x\"></OBJECT>\n"
               "<!-- <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"hidden\"></OBJECT> "
               "-->\n"
               "<UL></UL>"
            << QStringList{};
        QTest::newRow("an index keyword with two topics shows the first")
            << "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"K\">\n"
               "<param name=\"Local\" value=\"one.html\"><param name=\"Local\" "
               "value=\"two.html\"></OBJECT></UL>"
            << QStringList{"0:K:one.html"};
        QTest::newRow("cut off") << "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Na"
                                 << QStringList{};
    }

    void sitemapsAreReadLikeTheCompilersWriteThem() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QStringList got;
        for (const SitemapEntry& entry : ParseSitemap(text.toStdString()))
            got << QStringLiteral("%1:%2:%3")
                       .arg(entry.depth)
                       .arg(QString::fromStdString(entry.name),
                            QString::fromStdString(entry.local));
        QCOMPARE(got, expected);
    }

    void everyRequestRaisesTheOneWindowAtItsTopic() {
        StartRun();
        QCOMPARE(HelpWindowCount(), 0);

        DisplayHelp(999, 0);  // the Help menu
        HelpWindow* window = TheHelpWindow();
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QCOMPARE(window->Browser()->source(), HelpUrl("/welcome.html"));
        QVERIFY(window->Browser()->toPlainText().contains(QStringLiteral("Welcome to Tarnwell")));
        QCOMPARE(window->Contents()->topLevelItemCount(), 8);

        DisplayHelp(1, 1028);  // F1
        QCOMPARE(window->Browser()->source(), HelpUrl("/main_window.html"));
        QCOMPARE(window->Contents()->currentItem()->text(0), QStringLiteral("The main window"));

        window->hide();     // the user closed it
        DisplayHelp(3, 0);  // contents request: the index
        QCOMPARE(TheHelpWindow(), window);
        QVERIFY(window->isVisible());
        QVERIFY(window->Index()->count() > 20);
        QCOMPARE(window->findChild<QTabWidget*>(QStringLiteral("HelpNavigation"))->currentIndex(),
                 1);

        DisplayHelp(1, 0);  // a context the file does not map: the start topic
        QCOMPARE(window->Browser()->source(), HelpUrl("/welcome.html"));
        QCOMPARE(HelpWindowCount(), 1);
        QVERIFY(warnings_.isEmpty());

        SetHelpServices(ProgramHelpServices());  // the end of the run closes it
        QCOMPARE(HelpWindowCount(), 0);
    }

    void linksPicturesAndTheStyleSheetComeFromTheFile() {
        StartRun();
        DisplayHelp(999, 0);
        HelpWindow* window = TheHelpWindow();
        QVERIFY(window != nullptr);
        HelpBrowser* browser = window->Browser();

        const QVariant css =
            browser->loadResource(QTextDocument::StyleSheetResource, HelpUrl("/tarnwell.css"));
        QVERIFY(css.toByteArray().contains("h1"));
        const QImage picture = QImage::fromData(
            browser->loadResource(QTextDocument::ImageResource, HelpUrl("/tarnwell.png"))
                .toByteArray());
        QCOMPARE(picture.size(), QSize(48, 48));
        // The topic's own link to its style sheet took effect.
        QVERIFY(browser->document()->toHtml().contains(QStringLiteral("font-weight")));

        // A click on a link inside a topic, then back and forward.
        emit browser->anchorClicked(QUrl(QStringLiteral("watch_page.html")));
        QCOMPARE(browser->source(), HelpUrl("/watch_page.html"));
        QVERIFY(browser->isBackwardAvailable());
        browser->backward();
        QCOMPARE(browser->source(), HelpUrl("/welcome.html"));
        browser->forward();
        QCOMPARE(browser->source(), HelpUrl("/watch_page.html"));

        // A choice in the contents tree shows its topic.
        QTreeWidget* contents = window->Contents();
        contents->setCurrentItem(contents->topLevelItem(7));
        QCOMPARE(browser->source(), HelpUrl("/messages.html"));
    }

    void aFileThatIsNoHelpFileIsSaidInTheWindow() {
        QTemporaryDir dir;
        folder_ = dir.path().toStdString() + "/";
        {
            QFile damaged(dir.filePath(QStringLiteral("tarnwell.chm")));
            QVERIFY(damaged.open(QIODevice::WriteOnly));
            damaged.write("ITSF and nothing else");
        }
        StartRun();
        DisplayHelp(999, 0);
        HelpWindow* window = TheHelpWindow();
        QVERIFY(window != nullptr);
        QVERIFY(window->Browser()->toPlainText().contains(QStringLiteral("cannot be read")));
        QCOMPARE(window->Contents()->topLevelItemCount(), 0);
        folder_ = std::filesystem::path(TARNWELL_CHM_PATH).parent_path().string() + "/";
    }
};

QTEST_MAIN(HelpWindowTest)
#include "help_window_test.moc"
