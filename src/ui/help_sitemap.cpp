#include "ui/help_sitemap.h"

#include <cctype>
#include <optional>

namespace tarnwell {
namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string DecodeEntities(std::string_view text) {
    static const struct {
        std::string_view entity;
        char replacement;
    } kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& [entity, replacement] : kEntities) {
                if (text.substr(i, entity.size()) == entity) {
                    out += replacement;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += text[i++];
    }
    return out;
}

// The value of attribute `name` inside the tag text `tag` (without < and >).
std::optional<std::string> Attribute(std::string_view tag, std::string_view name) {
    const std::string lower = Lower(tag);
    std::size_t at = 0;
    while ((at = lower.find(name, at)) != std::string::npos) {
        const bool startsWord = at > 0 && std::isspace(static_cast<unsigned char>(lower[at - 1]));
        std::size_t p = at + name.size();
        while (p < lower.size() && std::isspace(static_cast<unsigned char>(lower[p]))) ++p;
        if (!startsWord || p >= lower.size() || lower[p] != '=') {
            at += name.size();
            continue;
        }
        ++p;
        while (p < lower.size() && std::isspace(static_cast<unsigned char>(lower[p]))) ++p;
        if (p >= tag.size()) return std::string();
        if (tag[p] == '"' || tag[p] == '\'') {
            const char quote = tag[p];
            const std::size_t end = tag.find(quote, p + 1);
            return DecodeEntities(tag.substr(
                p + 1, end == std::string_view::npos ? std::string_view::npos : end - p - 1));
        }
        std::size_t end = p;
        while (end < tag.size() && !std::isspace(static_cast<unsigned char>(tag[end])) &&
               tag[end] != '/')
            ++end;
        return DecodeEntities(tag.substr(p, end - p));
    }
    return std::nullopt;
}

}  // namespace

std::vector<SitemapEntry> ParseSitemap(std::string_view text) {
    std::vector<SitemapEntry> entries;
    int depth = -1;  // the first <UL> opens depth 0
    std::optional<SitemapEntry> open;
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        if (text.substr(at, 4) == "<!--") {
            const std::size_t end = text.find("-->", at);
            if (end == std::string_view::npos) break;
            at = end + 3;
            continue;
        }
        const std::size_t end = text.find('>', at);
        if (end == std::string_view::npos) break;
        const std::string_view tag = text.substr(at + 1, end - at - 1);
        at = end + 1;
        std::size_t nameEnd = 0;
        while (nameEnd < tag.size() && !std::isspace(static_cast<unsigned char>(tag[nameEnd])))
            ++nameEnd;
        const std::string name = Lower(tag.substr(0, nameEnd));
        if (name == "ul") {
            ++depth;
        } else if (name == "/ul") {
            if (depth >= 0) --depth;
        } else if (name == "object") {
            if (Lower(Attribute(tag, "type").value_or("")) == "text/sitemap")
                open = SitemapEntry{{}, {}, depth < 0 ? 0 : depth};
        } else if (name == "param" && open) {
            const std::string param = Lower(Attribute(tag, "name").value_or(""));
            const std::string value = Attribute(tag, "value").value_or("");
            // An index keyword may list several topics; the first is the one
            // shown.
            if (param == "name" && open->name.empty()) open->name = value;
            if (param == "local" && open->local.empty()) open->local = value;
        } else if (name == "/object" && open) {
            if (!open->name.empty() || !open->local.empty()) entries.push_back(std::move(*open));
            open.reset();
        }
    }
    return entries;
}

}  // namespace tarnwell
