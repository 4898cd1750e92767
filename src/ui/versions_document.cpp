#include "ui/versions_document.h"

#include <QDomDocument>
#include <QDomElement>
#include <QDomNode>
#include <QDomNodeList>
#include <charconv>
#include <system_error>

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

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

VersionsReading ReadVersionsDocument(QDomDocument& document, const QByteArray& body,
                                     const QString& product, std::string_view decimalSeparator) {
    VersionsReading reading = Read(document, body, product, decimalSeparator);
    document.clear();
    return reading;
}

std::optional<double> ParseVersionNumber(std::string_view text, std::string_view decimalSeparator) {
    if (decimalSeparator.empty()) decimalSeparator = ".";
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;

    // Rewritten with "." so the conversion does not depend on any locale.
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') number += '-';
        ++i;
    }
    bool digits = false;
    bool separator = false;
    while (i < text.size()) {
        if (IsDigit(text[i])) {
            number += text[i++];
            digits = true;
        } else if (!separator && text.substr(i, decimalSeparator.size()) == decimalSeparator) {
            number += '.';
            i += decimalSeparator.size();
            separator = true;
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        number += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
        bool exponentDigits = false;
        while (i < text.size() && IsDigit(text[i])) {
            number += text[i++];
            exponentDigits = true;
        }
        if (!exponentDigits) return std::nullopt;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    if (i != text.size()) return std::nullopt;

    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
    return value;
}

}  // namespace tarnwell
