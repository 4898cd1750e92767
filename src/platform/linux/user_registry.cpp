// The user's registry on Linux: one REGEDIT4 text file per stored key, so that
// value types survive and the callers' read rules (a string where a number is
// expected stops a load) hold as on Windows. The program stores exactly one key,
// the proxy settings, in $XDG_CONFIG_HOME/Quillfern/ProxySettings.reg
// (~/.config when the variable is unset). The file holds a password in plain
// text, so it is readable by its owner only, and it is always replaced whole
// (written beside it, then renamed over it) so a crash never leaves half a file.
// What cannot be read there is kept under a .bad name of its own at the next
// save, never overwritten.

#include "platform/user_registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>
#include <vector>

#include "platform/hex_digit.h"

namespace tarnwell {
namespace {

constexpr char kStoreFileName[] = "ProxySettings.reg";
constexpr char kRootName[] = "HKEY_CURRENT_USER";
// Far above anything this program writes; a larger file is not ours.
constexpr std::size_t kMaxFileBytes = 1024 * 1024;

struct Value {
    std::string name;
    RegistryData data;
};
using Values = std::vector<Value>;

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string ConfigFolder() {
    // The XDG rule: a relative value is invalid and is ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    std::string homeDir;
    if (home != nullptr && home[0] != '\0') {
        homeDir = home;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        homeDir = pw->pw_dir;
    }
    if (homeDir.empty()) return {};
    return homeDir + "/.config";
}

std::string StoreFolder() {
    std::string config = ConfigFolder();
    return config.empty() ? std::string() : config + "/Quillfern";
}

std::string StoreFile() {
    std::string folder = StoreFolder();
    return folder.empty() ? std::string() : folder + "/" + kStoreFileName;
}

// --- The REGEDIT4 text -------------------------------------------------------

// The registry editor reads its files with white space around any line
// ("REGEDIT4 ", an indented key or value); a file the user tidied by hand
// must not count as unreadable for it, which would switch the proxy off.
std::string TrimSpaces(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

// Reads a quoted text at `pos` ("..." with \\ and \" escapes); pos ends after it.
bool ParseQuoted(const std::string& line, std::size_t& pos, std::string& out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == '"') return true;
        if (c == '\\') {
            if (pos >= line.size() || (line[pos] != '\\' && line[pos] != '"')) return false;
            c = line[pos++];
        }
        out.push_back(c);
    }
    return false;
}

// One to eight hex digits and nothing else, as a number.
bool ParseHexNumber(std::string_view digits, std::uint32_t& value) {
    if (digits.empty() || digits.size() > 8) return false;
    value = 0;
    for (char c : digits) {
        const int d = HexDigitValue(c);
        if (d < 0) return false;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
}

// A DWORD as the registry stores it: four bytes, little-endian.
std::string DwordBytes(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return bytes;
}

// Reads "aa,bb,..." bytes; nothing but spaces may follow.
bool ParseHexBytes(std::string_view text, std::string& out) {
    out.clear();
    std::size_t i = 0;
    auto skipSpaces = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    };
    skipSpaces();
    if (i == text.size()) return true;
    for (;;) {
        skipSpaces();
        if (i + 2 > text.size()) return false;
        int hi = HexDigitValue(text[i]);
        int lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        skipSpaces();
        if (i == text.size()) return true;
        if (text[i] != ',') return false;
        ++i;
    }
}

bool ParseValueLine(const std::string& line, Value& value) {
    std::size_t pos = 0;
    if (line.compare(0, 2, "@=") == 0) {
        value.name.clear();
        pos = 1;
    } else if (!ParseQuoted(line, pos, value.name)) {
        return false;
    }
    if (pos >= line.size() || line[pos] != '=') return false;
    ++pos;
    std::string_view rest(line);
    rest.remove_prefix(pos);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);

    if (!rest.empty() && rest.front() == '"') {
        std::string text;
        std::size_t p = pos;
        if (!ParseQuoted(line, p, text)) return false;
        if (p != pos + rest.size()) return false;
        value.data.type = kRegSz;
        value.data.bytes = text + '\0';
        return true;
    }
    if (rest.substr(0, 6) == "dword:") {
        std::uint32_t n = 0;
        if (!ParseHexNumber(rest.substr(6), n)) return false;
        value.data.type = kRegDword;
        value.data.bytes = DwordBytes(n);
        return true;
    }
    if (rest.substr(0, 4) == "hex:") {
        value.data.type = kRegBinary;
        return ParseHexBytes(rest.substr(4), value.data.bytes);
    }
    if (rest.substr(0, 4) == "hex(") {
        std::size_t close = rest.find("):");
        if (close == std::string_view::npos) return false;
        if (!ParseHexNumber(rest.substr(4, close - 4), value.data.type)) return false;
        return ParseHexBytes(rest.substr(close + 2), value.data.bytes);
    }
    return false;
}

void PutValue(Values& values, const std::string& name, RegistryData data) {
    for (Value& v : values) {
        if (EqualsIgnoringCase(v.name, name)) {
            v.data = std::move(data);
            return;
        }
    }
    values.push_back(Value{name, std::move(data)});
}

// The lines of the text, CR LF or LF ended, trimmed; a long hex value that
// continues on the next line after a trailing backslash is joined into one.
std::vector<std::string> StoreLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    for (char c : text) {
        if (c == '\n') {
            if (!current.empty() && current.back() == '\r') current.pop_back();
            lines.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) lines.push_back(current);
    std::vector<std::string> joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line = TrimSpaces(lines[i]);
        while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos &&
               i + 1 < lines.size()) {
            line.pop_back();
            line += TrimSpaces(lines[++i]);
        }
        joined.push_back(std::move(line));
    }
    return joined;
}

// "[HKEY_CURRENT_USER\\path]": the path; false for any other key line.
bool ParseKeyLine(const std::string& line, std::string& keyPath) {
    if (line.back() != ']') return false;
    const std::string full = line.substr(1, line.size() - 2);
    const std::string root = std::string(kRootName) + "\\";
    if (full.size() <= root.size() || !EqualsIgnoringCase(full.substr(0, root.size()), root)) {
        return false;
    }
    keyPath = full.substr(root.size());
    return true;
}

// The file's one key and its values; false when the text is not such a file.
bool ParseStore(const std::string& text, std::string& keyPath, Values& values) {
    bool headerSeen = false;
    bool keySeen = false;
    values.clear();
    for (std::string& line : StoreLines(text)) {
        if (!headerSeen && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        line = TrimSpaces(line);
        if (line.empty() || line.front() == ';') continue;
        if (!headerSeen) {
            if (line != "REGEDIT4") return false;
            headerSeen = true;
        } else if (line.front() == '[') {
            if (keySeen || !ParseKeyLine(line, keyPath)) return false;
            keySeen = true;
        } else {
            Value value;
            if (!keySeen || !ParseValueLine(line, value)) return false;
            PutValue(values, value.name, std::move(value.data));
        }
    }
    return headerSeen && keySeen;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

bool CanQuote(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

std::string HexList(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) out.push_back(',');
        auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15]);
    }
    return out;
}

std::string FormatStore(const std::string& keyPath, const Values& values) {
    std::ostringstream out;
    out << "REGEDIT4\n\n[" << kRootName << '\\' << keyPath << "]\n";
    for (const Value& v : values) {
        out << (v.name.empty() ? std::string("@") : Quote(v.name)) << '=';
        const std::string& b = v.data.bytes;
        if (v.data.type == kRegDword && b.size() == 4) {
            std::uint32_t n = 0;
            for (int i = 0; i < 4; ++i)
                n |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[i])) << (8 * i);
            char digits[9];
            std::snprintf(digits, sizeof digits, "%08x", n);
            out << "dword:" << digits;
        } else if (v.data.type == kRegSz && !b.empty() && b.back() == '\0' &&
                   CanQuote(b.substr(0, b.size() - 1))) {
            out << Quote(b.substr(0, b.size() - 1));
        } else if (v.data.type == kRegBinary) {
            // Line breaks and zero bytes have no quoted form; the hex forms keep every byte.
            out << "hex:" << HexList(b);
        } else {
            char type[16];
            std::snprintf(type, sizeof type, "%x", v.data.type);
            out << "hex(" << type << "):" << HexList(b);
        }
        out << '\n';
    }
    return out.str();
}

// --- The file --------------------------------------------------------------

enum class ReadResult { Missing, Unreadable, Ok };

ReadResult ReadStoreFile(const std::string& path, std::string& keyPath, Values& values) {
    if (path.empty()) return ReadResult::Missing;
    // Non-blocking, or a FIFO at the path would hold the user-interface thread
    // until some writer came; and only a regular file is read at all.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uintmax_t>(st.st_size) > kMaxFileBytes) {
        ::close(fd);
        return ReadResult::Unreadable;
    }
    std::string text;
    char buffer[4096];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxFileBytes) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    if (!ok) return ReadResult::Unreadable;
    return ParseStore(text, keyPath, values) ? ReadResult::Ok : ReadResult::Unreadable;
}

bool MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Replaces the file whole: a reader sees the old file or the new one, never a mix.
bool ReplaceStoreFile(const std::string& path, const std::string& text) {
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());  // created with mode 0600
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

// Moves what lies at `path` to the first free name of ProxySettings.reg.bad,
// ProxySettings.reg.2.bad, ... and never over an earlier one: each may hold
// something the user wrote. False when nothing could be moved; the save then
// fails rather than overwrite anything.
bool KeepAside(const std::string& path) {
    constexpr int kMostKept = 1000;
    for (int n = 1; n <= kMostKept; ++n) {
        const std::string kept = n == 1 ? path + ".bad" : path + "." + std::to_string(n) + ".bad";
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, kept.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EEXIST) continue;
        if (errno == ENOENT) return true;  // gone meanwhile: nothing to keep
        if (errno != EINVAL && errno != ENOSYS) return false;
        // A file system without RENAME_NOREPLACE: look first. Only this user
        // writes here, so nothing can take the name between look and move.
        struct stat st {};
        if (::lstat(kept.c_str(), &st) == 0) continue;
        return ::rename(path.c_str(), kept.c_str()) == 0 || errno == ENOENT;
    }
    return false;
}

class FileKey final : public UserRegistryKey {
  public:
    FileKey(std::string path, std::string keyPath, Values values)
        : path_(std::move(path)), keyPath_(std::move(keyPath)), values_(std::move(values)) {}

    std::optional<RegistryData> QueryValue(const std::string& name) override {
        for (const Value& v : values_) {
            if (EqualsIgnoringCase(v.name, name)) return v.data;
        }
        return std::nullopt;
    }

    bool SetDword(const std::string& name, std::uint32_t value) override {
        return Set(name, RegistryData{kRegDword, DwordBytes(value)});
    }

    bool SetString(const std::string& name, const std::string& value) override {
        return Set(name, RegistryData{kRegSz, value + '\0'});
    }

  private:
    bool Set(const std::string& name, RegistryData data) {
        if (!CanQuote(name)) return false;
        Values next = values_;
        PutValue(next, name, std::move(data));
        if (!ReplaceStoreFile(path_, FormatStore(keyPath_, next))) return false;
        values_ = std::move(next);
        return true;
    }

    std::string path_;
    std::string keyPath_;
    Values values_;
};

}  // namespace

std::unique_ptr<UserRegistryKey> OpenUserKeyForRead(const std::string& path) {
    if (!EqualsIgnoringCase(path, kProxySettingsKey)) return nullptr;
    std::string file = StoreFile();
    std::string keyPath;
    Values values;
    if (ReadStoreFile(file, keyPath, values) != ReadResult::Ok) return nullptr;
    if (!EqualsIgnoringCase(keyPath, path)) return nullptr;
    return std::make_unique<FileKey>(file, keyPath, std::move(values));
}

std::unique_ptr<UserRegistryKey> CreateUserKeyForWrite(const std::string& path) {
    // The store has room for the program's one key only.
    if (!EqualsIgnoringCase(path, kProxySettingsKey)) return nullptr;
    std::string folder = StoreFolder();
    if (folder.empty() || !MakeFolders(folder)) return nullptr;
    std::string file = folder + "/" + kStoreFileName;
    std::string keyPath;
    Values values;
    ReadResult read = ReadStoreFile(file, keyPath, values);
    if (read == ReadResult::Ok && EqualsIgnoringCase(keyPath, path)) {
        return std::make_unique<FileKey>(file, keyPath, std::move(values));
    }
    if (read != ReadResult::Missing) {
        // A file we cannot read counts as a missing key, but the user may have
        // edited it by hand: keep it beside the new one instead of losing it.
        if (!KeepAside(file)) return nullptr;
    }
    return std::make_unique<FileKey>(file, kProxySettingsKey, Values{});
}

}  // namespace tarnwell
