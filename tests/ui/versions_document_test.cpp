// The versions document as the update check takes it: what the Qt reader
// finds, judged as the check judges it. Which elements count, what their text
// may be, the namespaces and encodings, and what it does with a DOCTYPE and
// entities.

#include "ui/qt/versions_document.h"

#include <QTest>

#include "ui/app_constants.h"
#include "ui/qt/qt_system_text.h"

using Outcome = tarnwell::VersionsEntry::Outcome;

Q_DECLARE_METATYPE(Outcome)

namespace {

QByteArray Product(const QByteArray& version, const QByteArray& url) {
    return "<?xml version=\"1.0\"?>\n<ProductVersions>\n  <Tarnwell>\n    <Version>" + version +
           "</Version>\n    <URL>" + url + "</URL>\n  </Tarnwell>\n</ProductVersions>\n";
}

}  // namespace

class VersionsDocumentTest : public QObject {
    Q_OBJECT

  private slots:
    void readsTheDocument_data();
    void readsTheDocument();
};

void VersionsDocumentTest::readsTheDocument_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<double>("version");
    QTest::addColumn<bool>("newer");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("error");

    const QString url = QStringLiteral("http://dl.example.org/tarnwell.zip");
    const QByteArray u = url.toLatin1();
    auto found = [&](const char* name, const QByteArray& body, double version, bool newer,
                     const QString& address) {
        QTest::newRow(name) << body << Outcome::Found << version << newer << address << QString();
    };
    auto missing = [](const char* name, const QByteArray& body) {
        QTest::newRow(name) << body << Outcome::Missing << 0.0 << false << QString() << QString();
    };
    auto malformed = [](const char* name, const QByteArray& body, const char* error) {
        QTest::newRow(name) << body << Outcome::Malformed << 0.0 << false << QString()
                            << QString::fromLatin1(error);
    };

    // The comparison is numeric: 1.10 is the program's own 1.1, 1.9 is newer.
    found("1.1", Product("1.1", u), 1.1, false, url);
    found("1.10", Product("1.10", u), 1.1, false, url);
    found("1.11", Product("1.11", u), 1.11, true, url);
    found("1.9", Product("1.9", u), 1.9, true, url);
    found("2", Product("2", u), 2.0, true, url);
    found("1.05", Product("1.05", u), 1.05, false, url);
    found("0.9", Product("0.9", u), 0.9, false, url);
    found("spaces around the number", Product("  1.2 ", u), 1.2, true, url);
    found("URL before Version, comments and attributes",
          "<ProductVersions a='1'><!-- list --><Tarnwell kind='x'><URL>" + u +
              "</URL><Notes>n</Notes><Version>1.2</Version></Tarnwell></ProductVersions>",
          1.2, true, url);
    found("several products, only ours counts",
          "<ProductVersions><Other><Version>9</Version><URL>http://other/</URL></Other>"
          "<Tarnwell><Version>1.2</Version><URL>" +
              u +
              "</URL></Tarnwell>"
              "<Tarnwell><Version>7</Version><URL>http://second/</URL></Tarnwell>"
              "<More><Tarnwell><Version>8</Version></Tarnwell></More></ProductVersions>",
          1.2, true, url);
    found("empty URL", Product("1.2", ""), 1.2, true, QString());
    found("URL without content",
          "<ProductVersions><Tarnwell><Version>1.2</Version><URL/>"
          "</Tarnwell></ProductVersions>",
          1.2, true, QString());
    found("escaped characters in the URL", Product("1.2", "http://x/?a=1&amp;b=&lt;2"), 1.2, true,
          QStringLiteral("http://x/?a=1&b=<2"));
    found("default namespace throughout",
          "<ProductVersions xmlns='urn:versions'><Tarnwell><Version>1.2</Version><URL>" + u +
              "</URL></Tarnwell></ProductVersions>",
          1.2, true, url);
    found("prefixed names match by local name",
          "<v:ProductVersions xmlns:v='urn:versions'><v:Tarnwell><v:Version>1.2</v:Version>"
          "<v:URL>" +
              u + "</v:URL></v:Tarnwell></v:ProductVersions>",
          1.2, true, url);
    found("a child of another namespace is not ours",
          "<ProductVersions xmlns='urn:versions'><Tarnwell><Version xmlns='urn:other'>9</Version>"
          "<Version>1.2</Version><URL>" +
              u + "</URL></Tarnwell></ProductVersions>",
          1.2, true, url);
    found("ISO-8859-1 by its declaration",
          "<?xml version='1.0' encoding='ISO-8859-1'?><ProductVersions><Tarnwell>"
          "<Version>1.2</Version><URL>http://x/caf\xe9</URL></Tarnwell></ProductVersions>",
          1.2, true, QStringLiteral("http://x/caf\u00e9"));
    {
        const QString text = QStringLiteral(
            "<ProductVersions><Tarnwell><Version>1.2</Version><URL>http://x/\u00fc</URL>"
            "</Tarnwell></ProductVersions>");
        QByteArray utf16("\xff\xfe", 2);
        utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        found("UTF-16 by its byte-order mark", utf16, 1.2, true, QStringLiteral("http://x/\u00fc"));
    }

    missing("other capitals", Product("1.2", u).replace("Tarnwell", "tarnwell"));
    missing("no ProductVersions",
            "<Versions><Tarnwell><Version>1.2</Version><URL>x</URL></Tarnwell></Versions>");
    missing("no Version", "<ProductVersions><Tarnwell><URL>x</URL></Tarnwell></ProductVersions>");
    missing("no URL",
            "<ProductVersions><Tarnwell><Version>1.2</Version></Tarnwell></ProductVersions>");
    missing("empty Version", Product("", u));
    missing("Version that is no number", Product("1.2 beta", u));
    missing("Version that is no number, CDATA as the URL",
            Product("1.2 beta", "<![CDATA[" + u + "]]>"));
    missing("the product outside the namespace of ProductVersions",
            "<v:ProductVersions xmlns:v='urn:versions'><Tarnwell><Version>1.2</Version>"
            "<URL>x</URL></Tarnwell></v:ProductVersions>");

    malformed("CDATA as the URL", Product("1.2", "<![CDATA[" + u + "]]>"),
              tarnwell::kElementNotSingleText);
    malformed("CDATA as the Version", Product("<![CDATA[1.2]]>", u),
              tarnwell::kElementNotSingleText);
    malformed("an element inside Version", Product("<b>1.2</b>", u),
              tarnwell::kElementNotSingleText);
    malformed("text and a comment in the URL", Product("1.2", u + "<!-- mirror -->"),
              tarnwell::kElementNotSingleText);
    // The version's text is taken before the URL is looked for.
    malformed("bad Version, no URL",
              "<ProductVersions><Tarnwell><Version><x/></Version></Tarnwell></ProductVersions>",
              tarnwell::kElementNotSingleText);
    malformed("not well-formed", "<ProductVersions><Tarnwell>", "not a valid XML document");
    malformed("an HTML page", "<html><body>Moved</p></body></html>", "not a valid XML document");
    malformed("empty body", "", "not a valid XML document");

    // A DOCTYPE is read, but entities never reach out or grow without bound.
    found("a DOCTYPE without entities",
          "<!DOCTYPE ProductVersions><ProductVersions><Tarnwell><Version>1.2</Version><URL>" + u +
              "</URL></Tarnwell></ProductVersions>",
          1.2, true, url);
    QByteArray laughs = "<?xml version='1.0'?><!DOCTYPE ProductVersions [<!ENTITY l0 'ha'>";
    for (int i = 1; i <= 10; ++i)
        laughs += "<!ENTITY l" + QByteArray::number(i) + " '" +
                  QByteArray("&l").append(QByteArray::number(i - 1)).append(';').repeated(10) +
                  "'>";
    laughs +=
        "]><ProductVersions><Tarnwell><Version>1.2</Version><URL>&l10;</URL></Tarnwell>"
        "</ProductVersions>";
    malformed("billion laughs", laughs, "not a valid XML document");
    // The external entity is not fetched: nothing of the local file gets in.
    found("an external SYSTEM entity",
          "<?xml version='1.0'?><!DOCTYPE ProductVersions [<!ENTITY secret SYSTEM "
          "'file:///etc/hostname'>]><ProductVersions><Tarnwell><Version>1.2</Version>"
          "<URL>&secret;</URL></Tarnwell></ProductVersions>",
          1.2, true, QString());
}

void VersionsDocumentTest::readsTheDocument() {
    QFETCH(QByteArray, body);
    QFETCH(Outcome, outcome);

    tarnwell::QtVersionsReader reader;
    const tarnwell::VersionsEntry entry =
        reader.Read(body.toStdString(), tarnwell::AppConstants::kProductName);
    double judged = 0;
    QCOMPARE(tarnwell::JudgeVersionsEntry(entry, ".", judged), outcome);
    if (outcome == Outcome::Malformed) {
        QFETCH(QString, error);
        QVERIFY2(QString::fromStdString(entry.error).contains(error), entry.error.c_str());
        return;
    }
    if (outcome != Outcome::Found) return;
    QFETCH(double, version);
    QFETCH(bool, newer);
    QFETCH(QString, url);
    QCOMPARE(judged, version);
    QCOMPARE(judged > tarnwell::AppConstants::kVersionNumber, newer);
    QCOMPARE(tarnwell::FromSystemText(entry.url), url);
}

QTEST_APPLESS_MAIN(VersionsDocumentTest)
#include "versions_document_test.moc"
