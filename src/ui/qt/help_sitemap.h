#pragma once
// The table of contents (.hhc) and the index (.hhk) of a compiled help file:
// both are sitemaps, lists of named entries nested by <UL>. Qt-free; any thread.

#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

struct SitemapEntry {
    std::string name;   // as shown, entities decoded
    std::string local;  // the topic inside the file, as written ("watch_page.html#x")
    int depth = 0;      // 0 for the outermost list
};

// The entries in file order. Tolerant of the loose HTML help compilers write:
// tags and attribute names in any case, missing end tags, single or no quotes.
std::vector<SitemapEntry> ParseSitemap(std::string_view text);

}  // namespace tarnwell
