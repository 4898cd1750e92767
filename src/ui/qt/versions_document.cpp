#include "ui/qt/versions_document.h"

#include <QDomDocument>
#include <QDomElement>
#include <QDomNode>
#include <QDomNodeList>
#include <optional>
#include <utility>

#include "ui/qt/qt_system_text.h"

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

VersionsEntry Malformed(std::string error) {
    VersionsEntry entry;
    entry.outcome = VersionsEntry::Outcome::Malformed;
    entry.error = std::move(error);
    return entry;
}

VersionsEntry ReadEntry(QDomDocument& document, const QByteArray& body, const QString& product) {
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
    if (versions.isNull()) return {};
    const QDomElement entry = FindChild(versions, product);
    if (entry.isNull()) return {};

    const QDomElement versionElement = FindChild(entry, QStringLiteral("Version"));
    if (versionElement.isNull()) return {};
    const std::optional<QString> version = SingleText(versionElement);
    if (!version) return Malformed(kElementNotSingleText);

    const QDomElement urlElement = FindChild(entry, QStringLiteral("URL"));
    if (urlElement.isNull()) return {};
    const std::optional<QString> url = SingleText(urlElement);
    if (!url) {
        VersionsEntry malformed = Malformed(kElementNotSingleText);
        malformed.urlMalformed = true;
        malformed.version = ToSystemText(*version);
        return malformed;
    }

    VersionsEntry found;
    found.outcome = VersionsEntry::Outcome::Found;
    found.version = ToSystemText(*version);
    found.url = ToSystemText(*url);
    return found;
}

}  // namespace

VersionsEntry QtVersionsReader::Read(const std::string& body, const std::string& product) {
    VersionsEntry entry =
        ReadEntry(document_, QByteArray::fromStdString(body), QString::fromLocal8Bit(product));
    document_.clear();
    return entry;
}

}  // namespace tarnwell
