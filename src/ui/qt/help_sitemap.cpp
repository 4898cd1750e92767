#include "ui/qt/help_sitemap.h"

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

// The text inside the next tag from `at` on, comments skipped; `at` moves
// past it. Nothing when the text ends first.
std::optional<std::string_view> NextTag(std::string_view text, std::size_t& at) {
    while ((at = text.find('<', at)) != std::string_view::npos) {
        if (text.substr(at, 4) == "<!--") {
            const std::size_t end = text.find("-->", at);
            if (end == std::string_view::npos) return std::nullopt;
            at = end + 3;
            continue;
        }
        const std::size_t end = text.find('>', at);
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view tag = text.substr(at + 1, end - at - 1);
        at = end + 1;
        return tag;
    }
    return std::nullopt;
}

std::string TagName(std::string_view tag) {
    std::size_t nameEnd = 0;
    while (nameEnd < tag.size() && !std::isspace(static_cast<unsigned char>(tag[nameEnd])))
        ++nameEnd;
    return Lower(tag.substr(0, nameEnd));
}

// Collects the entries of a sitemap one tag at a time: a <UL> nests deeper, an
// <OBJECT type="text/sitemap"> opens an entry that its <PARAM>s fill.
class SitemapBuilder {
  public:
    void OnTag(std::string_view tag) {
        const std::string name = TagName(tag);
        if (name == "ul") {
            ++depth_;
        } else if (name == "/ul") {
            if (depth_ >= 0) --depth_;
        } else if (name == "object") {
            if (Lower(Attribute(tag, "type").value_or("")) == "text/sitemap")
                open_ = SitemapEntry{{}, {}, depth_ < 0 ? 0 : depth_};
        } else if (name == "param" && open_) {
            OnParam(tag);
        } else if (name == "/object" && open_) {
            if (!open_->name.empty() || !open_->local.empty())
                entries_.push_back(std::move(*open_));
            open_.reset();
        }
    }

    std::vector<SitemapEntry> Take() { return std::move(entries_); }

  private:
    void OnParam(std::string_view tag) {
        const std::string param = Lower(Attribute(tag, "name").value_or(""));
        const std::string value = Attribute(tag, "value").value_or("");
        // An index keyword may list several topics; the first is the one
        // shown.
        if (param == "name" && open_->name.empty()) open_->name = value;
        if (param == "local" && open_->local.empty()) open_->local = value;
    }

    std::vector<SitemapEntry> entries_;
    int depth_ = -1;  // the first <UL> opens depth 0
    std::optional<SitemapEntry> open_;
};

}  // namespace

std::vector<SitemapEntry> ParseSitemap(std::string_view text) {
    SitemapBuilder builder;
    std::size_t at = 0;
    while (const std::optional<std::string_view> tag = NextTag(text, at)) builder.OnTag(*tag);
    return builder.Take();
}

}  // namespace tarnwell
