#include "ui/versions_document.h"

#include <QDomDocument>
#include <QDomElement>
#include <QDomNode>
#include <QDomNodeList>

#include "net/update_check.h"

namespace tarnwell {
namespace {

bool NameMatches(const QDomNode& node, const QString& name) {
    return node.nodeName() == name || node.localName() == name;
}

// The first element child of `parent` named `name`: among all children when
// `parent` is the document or belongs to no namespace, else among those of its
// namespace only.
QDomElement FindChild(const QDomNode& parent, const QString& name) {
    const QString space = parent.isElement() ? parent.namespaceURI() : QString();
    for (QDomNode child = parent.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (!child.isElement() || !NameMatches(child, name)) continue;
        if (!space.isEmpty() && child.namespaceURI() != space) continue;
        return child.toElement();
    }
    return {};
}

// Empty without children; the value of a single plain text node; anything
// else (a CDATA section, an element, a comment beside the text) is refused.
std::optional<QString> SingleText(const QDomElement& element) {
    const QDomNodeList children = element.childNodes();
    if (children.isEmpty()) return QString();
    if (children.size() == 1 && children.at(0).nodeType() == QDomNode::TextNode)
        return children.at(0).nodeValue();
    return std::nullopt;
}

VersionsReading Missing() {
    return VersionsReading{};
}

VersionsReading Malformed(std::string error) {
    VersionsReading reading;
    reading.outcome = VersionsReading::Outcome::kMalformed;
    reading.error = std::move(error);
    return reading;
}

VersionsReading Read(QDomDocument& document, const QByteArray& body, const QString& product,
                     std::string_view decimalSeparator) {
    QString message;
    int line = 0;
    int column = 0;
    if (!document.setContent(body, true, &message, &line, &column)) {
        return Malformed(QStringLiteral("The update information is not a valid XML document: "
                                        "%1 (line %2, column %3)")
                             .arg(message)
                             .arg(line)
                             .arg(column)
                             .toStdString());
    }

    const QDomElement versions = FindChild(document, QStringLiteral("ProductVersions"));
    if (versions.isNull()) return Missing();
    const QDomElement entry = FindChild(versions, product);
    if (entry.isNull()) return Missing();

    const QDomElement versionElement = FindChild(entry, QStringLiteral("Version"));
    if (versionElement.isNull()) return Missing();
    const std::optional<QString> versionText = SingleText(versionElement);
    if (!versionText) return Malformed(kNotASingleTextNode);
    const std::optional<double> version =
        ParseVersionNumber(versionText->toLocal8Bit().toStdString(), decimalSeparator);
    // No answer is defined for a version that is no number; treating it like a
    // document without a version tells the user the most and changes nothing.
    if (!version) return Missing();

    const QDomElement urlElement = FindChild(entry, QStringLiteral("URL"));
    if (urlElement.isNull()) return Missing();
    const std::optional<QString> url = SingleText(urlElement);
    if (!url) return Malformed(kNotASingleTextNode);

    VersionsReading reading;
    reading.outcome = VersionsReading::Outcome::kFound;
    reading.version = *version;
    reading.url = *url;
    return reading;
}

}  // namespace

VersionsReading ReadVersionsDocument(QDomDocument& document, const QByteArray& body,
                                     const QString& product, std::string_view decimalSeparator) {
    VersionsReading reading = Read(document, body, product, decimalSeparator);
    document.clear();
    return reading;
}

}  // namespace tarnwell
