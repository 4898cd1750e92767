#pragma once
// The versions document of the update check: which version of this product is
// the newest and where to download it. User-interface thread only (QtXml).
//
// <ProductVersions>
//   <Tarnwell><Version>1.2</Version><URL>http://...</URL></Tarnwell>
//   <OtherProduct>...</OtherProduct>
// </ProductVersions>

#include <QByteArray>
#include <QDomDocument>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "ui/update_check_flow.h"

namespace tarnwell {

inline constexpr const char* kNotASingleTextNode = kElementNotSingleText;

// The Qt face's reader of the document for the update check. The document is
// kept for the life of the reader and cleared after every reading.
class QtVersionsReader final : public VersionsReader {
  public:
    VersionsEntry Read(const std::string& body, const std::string& product) override;

  private:
    QDomDocument document_;
};

struct VersionsReading {
    enum class Outcome {
        Found,
        // An element the check needs is not there, or "Version" is not a number:
        // the check says "Error fetching update info" and changes nothing else.
        Missing,
        // Not a well-formed document, or "Version" / "URL" hold something other
        // than one plain text node; `error` describes it.
        Malformed,
    };

    Outcome outcome = Outcome::Missing;
    std::string error;
    double version = 0;
    QString url;
};

// What the update check makes of the document: `Read` of QtVersionsReader
// with the Version taken as a number (not a number counts as missing).
// Parses `body` into `document` (namespace processing on, the encoding taken
// from the declaration or the byte-order mark) and looks up `product` in it.
// Names match by full name or local name, case-sensitively; inside an element
// that belongs to a namespace only children of that namespace count. The
// document is cleared again before this returns.
VersionsReading ReadVersionsDocument(QDomDocument& document, const QByteArray& body,
                                     const QString& product, std::string_view decimalSeparator);

}  // namespace tarnwell
