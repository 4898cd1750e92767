#pragma once
// The versions document of the update check: which version of this product is
// the newest and where to download it. User-interface thread only (QtXml).
//
// <ProductVersions>
//   <Tarnwell><Version>1.2</Version><URL>http://...</URL></Tarnwell>
//   <OtherProduct>...</OtherProduct>
// </ProductVersions>

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

class QDomDocument;

namespace tarnwell {

inline constexpr char kNotASingleTextNode[] = "Element does not contain a single text node";

struct VersionsReading {
    enum class Outcome {
        kFound,
        // An element the check needs is not there, or "Version" is not a number:
        // the check says "Error fetching update info" and changes nothing else.
        kMissing,
        // Not a well-formed document, or "Version" / "URL" hold something other
        // than one plain text node; `error` describes it.
        kMalformed,
    };

    Outcome outcome = Outcome::kMissing;
    std::string error;
    double version = 0;
    QString url;
};

// Parses `body` into `document` (namespace processing on, the encoding taken
// from the declaration or the byte-order mark) and looks up `product` in it.
// Names match by full name or local name, case-sensitively; inside an element
// that belongs to a namespace only children of that namespace count. The
// document is cleared again before this returns.
VersionsReading ReadVersionsDocument(QDomDocument& document, const QByteArray& body,
                                     const QString& product, std::string_view decimalSeparator);

}  // namespace tarnwell
