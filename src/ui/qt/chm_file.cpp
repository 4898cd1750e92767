#include "ui/qt/chm_file.h"

#include <chm_lib.h>

#include <cstdint>
#include <cstring>

namespace tarnwell {
namespace {

// No help file is anywhere near this; a larger object is taken for damage.
constexpr std::uint64_t kLargestObject = 64ull * 1024 * 1024;

std::string InsidePath(std::string name) {
    if (!name.empty() && name.front() != '/') name.insert(name.begin(), '/');
    return name;
}

int CollectSitemap(chmFile* /*file*/, chmUnitInfo* unit, void* context) {
    auto* found = static_cast<std::pair<std::string, std::string>*>(context);
    const std::string path = unit->path;
    const auto endsWith = [&path](const char* tail) {
        const std::size_t length = std::strlen(tail);
        if (path.size() < length) return false;
        for (std::size_t i = 0; i < length; ++i)
            if (std::tolower(static_cast<unsigned char>(path[path.size() - length + i])) != tail[i])
                return false;
        return true;
    };
    if (found->first.empty() && endsWith(".hhc")) found->first = path;
    if (found->second.empty() && endsWith(".hhk")) found->second = path;
    return CHM_ENUMERATOR_CONTINUE;
}

}  // namespace

void ChmFile::Closer::operator()(chmFile* file) const {
    chm_close(file);
}

ChmFile::ChmFile(const std::string& path) : file_(chm_open(path.c_str())) {
    if (!file_) return;
    ReadSystemRecord();
    if (contents_.empty() || index_.empty()) FindSitemapsByName();
}

ChmFile::~ChmFile() = default;

std::optional<std::string> ChmFile::Read(const std::string& path) const {
    if (!file_ || path.empty()) return std::nullopt;
    chmUnitInfo unit{};
    if (chm_resolve_object(file_.get(), path.c_str(), &unit) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (unit.length > kLargestObject) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(unit.length), '\0');
    if (bytes.empty()) return bytes;
    const LONGINT64 got =
        chm_retrieve_object(file_.get(), &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                            static_cast<LONGINT64>(bytes.size()));
    if (got != static_cast<LONGINT64>(bytes.size())) return std::nullopt;
    return bytes;
}

void ChmFile::ReadSystemRecord() {
    // A version, then entries of a 16-bit code, a 16-bit length and the data;
    // texts end in a zero byte.
    const std::optional<std::string> system = Read("/#SYSTEM");
    if (!system || system->size() < 4) return;
    const std::string& bytes = *system;
    std::size_t at = 4;
    while (at + 4 <= bytes.size()) {
        std::uint16_t code = 0, length = 0;
        std::memcpy(&code, bytes.data() + at, 2);
        std::memcpy(&length, bytes.data() + at + 2, 2);
        at += 4;
        if (at + length > bytes.size()) break;
        std::string text(bytes.data() + at, length);
        text = text.substr(0, text.find('\0'));
        switch (code) {
            case 0:
                contents_ = InsidePath(text);
                break;
            case 1:
                index_ = InsidePath(text);
                break;
            case 2:
                defaultTopic_ = InsidePath(text);
                break;
            case 3:
                title_ = text;
                break;
            default:
                break;
        }
        at += length;
    }
}

void ChmFile::FindSitemapsByName() {
    std::pair<std::string, std::string> found;
    chm_enumerate(file_.get(), CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, CollectSitemap, &found);
    if (contents_.empty()) contents_ = found.first;
    if (index_.empty()) index_ = found.second;
}

}  // namespace tarnwell
