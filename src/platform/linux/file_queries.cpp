#include "platform/file_queries.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tarnwell {
namespace {

// stat, also for a path longer than the system takes in one call: the watch
// reports changes at any depth, and their size and owner must not turn into
// 0 and nothing below some 4096 bytes. Such a path is walked in pieces.
int StatPath(const std::string& path, struct stat& st) {
    if (::stat(path.c_str(), &st) == 0) return 0;
    if (errno != ENAMETOOLONG || path.empty() || path[0] != '/') return -1;
    constexpr std::size_t kPiece = 2048;  // well below PATH_MAX, above NAME_MAX
    int at = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::size_t from = 1;
    while (at >= 0) {
        std::size_t end = path.size();
        if (end - from > kPiece) {
            end = path.rfind('/', from + kPiece);
            if (end == std::string::npos || end <= from) break;
        }
        const std::string piece = path.substr(from, end - from);
        if (end == path.size()) {
            const int rc = ::fstatat(at, piece.c_str(), &st, 0);
            ::close(at);
            return rc;
        }
        const int next = ::openat(at, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(at);
        at = next;
        from = end + 1;
    }
    if (at >= 0) ::close(at);
    return -1;
}

// Account names are cached from one batch to the next only, so a renamed
// account shows its new name from the next batch on.
class LinuxFileQueries final : public FileQueries {
  public:
    void BeginBatch() override {
        accounts_.clear();
        host_.reset();
    }

    // One stat gives both: the size and the owner describe the same file even
    // when another takes its name meanwhile.
    FileFacts FactsOf(const std::string& path) override {
        struct stat st {};
        if (StatPath(path, st) != 0) return {};
        FileFacts facts;
        facts.size =
            static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.st_size) & 0xFFFFFFFFu);
        const std::string* host = Host();
        const std::string* account = host != nullptr ? Account(st.st_uid) : nullptr;
        if (account != nullptr) facts.owner = *host + "\\" + *account;
        return facts;
    }

  private:
    const std::string* Host() {
        if (!host_) {
            char name[256] = {};
            if (::gethostname(name, sizeof name - 1) != 0) return nullptr;
            std::string host(name);
            host_ = host.substr(0, host.find('.'));
        }
        return &*host_;
    }

    // nullptr when the uid has no account: the owner is then unknown, as
    // LookupAccountSid fails for a SID without an account.
    const std::string* Account(uid_t uid) {
        auto it = accounts_.find(uid);
        if (it == accounts_.end()) {
            std::optional<std::string> name;
            std::vector<char> scratch(1024);
            for (;;) {
                struct passwd pw {};
                struct passwd* found = nullptr;
                const int rc = ::getpwuid_r(uid, &pw, scratch.data(), scratch.size(), &found);
                if (rc == ERANGE && scratch.size() < (1u << 20)) {
                    scratch.resize(scratch.size() * 2);
                    continue;
                }
                if (rc == 0 && found != nullptr && found->pw_name != nullptr) name = found->pw_name;
                break;
            }
            it = accounts_.emplace(uid, std::move(name)).first;
        }
        return it->second ? &*it->second : nullptr;
    }

    std::unordered_map<uid_t, std::optional<std::string>> accounts_;
    std::optional<std::string> host_;
};

}  // namespace

std::unique_ptr<FileQueries> MakeFileQueries() {
    return std::make_unique<LinuxFileQueries>();
}

}  // namespace tarnwell
