#pragma once
// The versions document of the update check: which version of this product is
// the newest and where to download it. User-interface thread only (QtXml).
//
// <ProductVersions>
//   <Tarnwell><Version>1.2</Version><URL>http://...</URL></Tarnwell>
//   <OtherProduct>...</OtherProduct>
// </ProductVersions>

#include <QDomDocument>
#include <string>

#include "ui/update_check_flow.h"

namespace tarnwell {

// The Qt face's reader of the document for the update check. The document is
// kept for the life of the reader and cleared after every reading.
class QtVersionsReader final : public VersionsReader {
  public:
    // Parses `body` (namespace processing on, the encoding taken from the
    // declaration or the byte-order mark) and looks up `product` in it. Names
    // match by full name or local name, case-sensitively; inside an element
    // that belongs to a namespace only children of that namespace count.
    VersionsEntry Read(const std::string& body, const std::string& product) override;

  private:
    QDomDocument document_;
};

}  // namespace tarnwell
