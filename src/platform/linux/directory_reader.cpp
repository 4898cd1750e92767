// The directory read on inotify. The bookkeeping lives in InotifyBookkeeper;
// this file only opens, polls, reads and carries out its commands.

#include "platform/directory_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "engine/notify_codes.h"
#include "engine/notify_record_writer.h"
#include "platform/linux/inotify_bookkeeper.h"
#include "platform/linux/utf8.h"
#include "platform/linux/watch_limit_notice.h"

namespace tarnwell {

struct StopSignal::State {
    int fd = -1;
    std::atomic<bool> raised{false};
};

StopSignal::StopSignal() : state_(std::make_unique<State>()) {
    state_->fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

StopSignal::~StopSignal() {
    if (state_->fd >= 0) ::close(state_->fd);
}

void StopSignal::Raise() {
    // The flag first: a read that starts after this sees it even if the
    // eventfd could not be made.
    state_->raised.store(true);
    if (state_->fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(state_->fd, &one, sizeof one);
    }
}

bool StopSignal::Raised() const {
    return state_->raised.load();
}

std::intptr_t StopSignal::NativeHandle() const {
    return state_->fd;
}

namespace {

// Records released by the bookkeeper and not yet handed to a read. Bounded, so
// that a flood of changes ends in the kernel's overflow instead of unbounded
// memory here; large enough (some 170,000 short names) that a burst of
// 100,000 files created, renamed and deleted waits here while the
// user-interface thread catches up, where the kernel's 16,384 events would
// overflow.
constexpr std::size_t kMaxQueuedBytes = 8 << 20;

// How long a moved-away entry waits for the IN_MOVED_TO of the same rename.
// The kernel queues both halves back to back; only a read that falls between
// them needs this.
constexpr int kPartnerWaitMs = 10;

struct QueuedRecord {
    std::uint32_t action = 0;  // 0: a mark; with no name an overflow, a read with no records
    std::u16string name;
};

// Without a parent to watch, whether the watched folder was deleted is
// looked at this often.
constexpr int kRootCheckMs = 1000;

std::string ProcFdPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// One step of a walk below an open folder that follows no symbolic link: a
// folder in the tree that is replaced by a link must not lead the watch
// outside the tree.
int OpenStep(int at, const std::string& relative, int flags) {
    static std::atomic<bool> noOpenat2{false};
    if (!noOpenat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC | O_NOFOLLOW);
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
        const long fd = ::syscall(SYS_openat2, at, relative.c_str(), &how, sizeof how);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return static_cast<int>(fd);
        // A kernel before 5.6, or a sandbox that forbids the call.
        noOpenat2.store(true, std::memory_order_relaxed);
    }
    // One part at a time, none of them followed if it is a link.
    int current = at;
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = relative.find('/', from);
        const bool last = slash == std::string::npos;
        const std::string part = relative.substr(from, last ? std::string::npos : slash - from);
        const int next = ::openat(current, part.c_str(),
                                  (last ? flags : O_PATH | O_DIRECTORY) | O_CLOEXEC | O_NOFOLLOW);
        const int error = errno;
        if (current != at) ::close(current);
        if (next < 0) {
            errno = error;
            return -1;
        }
        if (last) return next;
        current = next;
        from = slash + 1;
    }
}

// Opens `relative` below the folder open as `root`. Every folder is reached
// from the watched folder's descriptor, never by its full path: the full path
// may be longer than the system takes in one call, and a folder above the
// watched one may have been renamed since the watch began. A path longer
// than one call takes is walked in pieces.
int OpenBelow(int root, const std::string& relative, int flags) {
    constexpr std::size_t kPiece = 2048;  // well below PATH_MAX, above NAME_MAX
    int at = root;
    std::size_t from = 0;
    for (;;) {
        std::size_t end = relative.size();
        if (end - from > kPiece) {
            end = relative.rfind('/', from + kPiece);
            if (end == std::string::npos || end <= from) end = relative.find('/', from + kPiece);
            if (end == std::string::npos) end = relative.size();
        }
        const bool last = end == relative.size();
        const int fd =
            OpenStep(at, relative.substr(from, end - from), last ? flags : O_PATH | O_DIRECTORY);
        const int error = errno;
        if (at != root) ::close(at);
        if (fd < 0) {
            errno = error;
            return -1;
        }
        if (last) return fd;
        at = fd;
        from = end + 1;
    }
}

}  // namespace

class DirectoryHandleImpl {
  public:
    explicit DirectoryHandleImpl(int fd) : rootFd_(fd) {}
    ~DirectoryHandleImpl() {
        if (inotifyFd_ >= 0) ::close(inotifyFd_);
        if (rootFd_ >= 0) ::close(rootFd_);
    }

    ReadOutcome Read(std::byte* buffer, std::size_t size, bool subtree, std::uint32_t filter,
                     const StopSignal& stop);
    std::string TakeNotice();

  private:
    bool Setup(bool subtree, std::uint32_t filter);
    void WatchParent();
    bool RootGone() const;
    void Drain();
    bool ReadEvents(bool& drained);
    void RunCommands();
    WatchResult AddWatch(const std::string& relative, int& wd);
    ListResult List(const std::string& relative, std::vector<FolderEntry>& entries) const;
    void Collect();
    void Fill(std::byte* buffer, std::size_t size);
    // Fills the buffer from the queue, after taking in what the kernel holds.
    void Deliver(std::byte* buffer, std::size_t size);
    // Waits for events or the stop and takes the events in; an outcome when
    // the read ends here, nothing when it goes on.
    std::optional<ReadOutcome> WaitAndDrain(const StopSignal& stop);

    // Open for the whole run: every folder below is reached from it. While it
    // is open, deleting the folder sends no IN_DELETE_SELF; the watch on the
    // folder above (parentWd_) or a look now and then finds a deletion instead.
    int rootFd_;
    int inotifyFd_ = -1;
    int parentWd_ = -1;
    std::unique_ptr<InotifyBookkeeper> keeper_;
    bool failed_ = false;
    bool noticeGiven_ = false;
    std::deque<QueuedRecord> queue_;
    std::size_t queuedBytes_ = 0;
    alignas(inotify_event) char events_[64 * 1024];
};

bool DirectoryHandleImpl::Setup(bool subtree, std::uint32_t filter) {
    inotifyFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd_ < 0) return false;
    keeper_ = std::make_unique<InotifyBookkeeper>(subtree, filter);
    keeper_->Start();
    RunCommands();
    if (keeper_->Failed()) return false;
    WatchParent();
    // Folders the setup could not watch are marked at once, not at the first
    // change that happens to come.
    Collect();
    return true;
}

// The folder above the watched one reports the watched folder's deletion by
// name (its own IN_DELETE_SELF waits for rootFd_ to close). The name itself
// is not compared: the folder may have been renamed since, and the link count
// of the open folder says whether it is gone.
void DirectoryHandleImpl::WatchParent() {
    struct stat root {};
    struct stat parent {};
    const std::string above = ProcFdPath(rootFd_) + "/..";
    if (::fstat(rootFd_, &root) != 0 || ::stat(above.c_str(), &parent) != 0) return;
    if (root.st_dev == parent.st_dev && root.st_ino == parent.st_ino) return;  // "/"
    const int wd =
        ::inotify_add_watch(inotifyFd_, above.c_str(), IN_DELETE | IN_ONLYDIR | IN_MASK_ADD);
    // The same folder watched twice gives the same descriptor (hence
    // IN_MASK_ADD): one inside the tree keeps its own mask and meaning.
    if (wd >= 0 && keeper_->IsWatchDescriptor(wd)) return;
    parentWd_ = wd;
}

bool DirectoryHandleImpl::RootGone() const {
    struct stat st {};
    return ::fstat(rootFd_, &st) == 0 && st.st_nlink == 0;
}

WatchResult DirectoryHandleImpl::AddWatch(const std::string& relative, int& wd) {
    wd = -1;
    const int fd = relative.empty() ? rootFd_ : OpenBelow(rootFd_, relative, O_PATH | O_DIRECTORY);
    if (fd < 0) {
        // ELOOP: the entry is a link now; ENOTDIR: no folder any more.
        if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) return WatchResult::Unavailable;
        return WatchResult::Denied;
    }
    // The descriptor's link in /proc is followed to the folder itself, which
    // works at any depth and whatever happened to the folders above.
    wd = ::inotify_add_watch(inotifyFd_, ProcFdPath(fd).c_str(), keeper_->WatchMask() | IN_ONLYDIR);
    const int error = errno;
    if (fd != rootFd_) ::close(fd);
    if (wd >= 0) return WatchResult::Added;
    switch (error) {
        case ENOSPC:
            return WatchResult::LimitReached;
        case ENOMEM:
            return WatchResult::NoMemory;
        case ENOENT:
        case ENOTDIR:
            return WatchResult::Unavailable;
        default:
            return WatchResult::Denied;
    }
}

void DirectoryHandleImpl::RunCommands() {
    std::vector<FolderEntry> entries;
    while (auto command = keeper_->NextCommand()) {
        switch (command->kind) {
            case BookkeeperCommand::Kind::AddWatch: {
                int wd = -1;
                const WatchResult result = AddWatch(command->path, wd);
                keeper_->OnWatchResult(*command, wd, result);
                break;
            }
            case BookkeeperCommand::Kind::ListFolder: {
                entries.clear();
                const ListResult result = List(command->path, entries);
                keeper_->OnListed(*command, entries, result);
                break;
            }
            case BookkeeperCommand::Kind::RemoveWatch:
                ::inotify_rm_watch(inotifyFd_, command->wd);
                break;
        }
    }
}

ListResult DirectoryHandleImpl::List(const std::string& relative,
                                     std::vector<FolderEntry>& entries) const {
    const int fd = relative.empty() ? ::openat(rootFd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                    : OpenBelow(rootFd_, relative, O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) return ListResult::Gone;
        return ListResult::Denied;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return ListResult::Denied;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            // A folder deleted while listed reads as empty; any other error
            // leaves entries unknown.
            const int error = errno;
            ::closedir(dir);
            if (error != 0 && error != ENOENT) return ListResult::Denied;
            return ListResult::Listed;
        }
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isFolder = ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISDIR(st.st_mode);
        }
        entries.push_back(FolderEntry{std::string(name), isFolder});
    }
}

// Reads one chunk of events and hands them to the bookkeeper. False on a read
// error; `drained` when the kernel queue is empty.
bool DirectoryHandleImpl::ReadEvents(bool& drained) {
    drained = false;
    ssize_t n;
    do {
        n = ::read(inotifyFd_, events_, sizeof events_);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
        drained = true;
        return true;
    }
    // One event object for the whole chunk: its name keeps its storage.
    InotifyEvent event;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
        inotify_event header;
        std::memcpy(&header, events_ + at, sizeof header);
        at += static_cast<ssize_t>(sizeof header + header.len);
        if (header.wd == parentWd_ && parentWd_ >= 0) {
            // Files come and go beside the watched folder; only a folder's
            // deletion can be its own.
            if ((header.mask & (IN_ISDIR | IN_IGNORED)) && RootGone()) keeper_->OnRootGone();
            // That watch is gone: the link count is looked at now and then.
            if (header.mask & IN_IGNORED) parentWd_ = -1;
            continue;
        }
        event.wd = header.wd;
        event.mask = header.mask;
        event.cookie = header.cookie;
        const char* name = events_ + at - header.len;
        event.name.assign(name, ::strnlen(name, header.len));
        keeper_->OnEvent(event);
        RunCommands();
    }
    return true;
}

void DirectoryHandleImpl::Collect() {
    for (WatchChange& change : keeper_->TakeChanges()) {
        QueuedRecord record{change.action, BytesToUtf16(change.path)};
        queuedBytes_ += NotifyRecordWriter::RecordSize(record.name.size());
        queue_.push_back(std::move(record));
    }
}

// Takes in what the kernel holds, up to the queue's bound.
void DirectoryHandleImpl::Drain() {
    int partnerWaits = 0;
    while (queuedBytes_ < kMaxQueuedBytes) {
        bool drained = false;
        if (!ReadEvents(drained)) {
            failed_ = true;
            break;
        }
        if (drained) {
            keeper_->OnQueueDrained();
            if (keeper_->HasUnpairedMoves() && partnerWaits < 8) {
                ++partnerWaits;
                pollfd p{inotifyFd_, POLLIN, 0};
                if (::poll(&p, 1, kPartnerWaitMs) > 0) continue;
            }
            keeper_->EndBatch();
            RunCommands();
            Collect();
            break;
        }
        Collect();
    }
    if (keeper_->Failed()) failed_ = true;
}

void DirectoryHandleImpl::Fill(std::byte* buffer, std::size_t size) {
    NotifyRecordWriter writer(buffer, size);
    while (!queue_.empty()) {
        const QueuedRecord& record = queue_.front();
        const bool overflow = record.action == 0 && record.name.empty();
        const bool deliverable = !overflow && writer.Fits(record.name.size());
        if (!deliverable && !writer.Empty()) break;  // the next read starts with it
        if (deliverable) writer.Append(record.action, record.name);
        queuedBytes_ -= NotifyRecordWriter::RecordSize(record.name.size());
        queue_.pop_front();
        // An overflow is a read of its own. So is a record too long for any
        // buffer: dropping it unseen would hide a change, so the read reports
        // an overflow in its place.
        if (!deliverable) break;
    }
}

ReadOutcome DirectoryHandleImpl::Read(std::byte* buffer, std::size_t size, bool subtree,
                                      std::uint32_t filter, const StopSignal& stop) {
    if (stop.Raised()) return ReadOutcome::Interrupted;
    if (!keeper_ && !Setup(subtree, filter)) {
        failed_ = true;
        return ReadOutcome::Failed;
    }
    for (;;) {
        // Changes seen before a failure are still delivered, then the read fails.
        if (!queue_.empty()) {
            Deliver(buffer, size);
            return ReadOutcome::Filled;
        }
        if (failed_) return ReadOutcome::Failed;
        if (const auto outcome = WaitAndDrain(stop)) return *outcome;
    }
}

void DirectoryHandleImpl::Deliver(std::byte* buffer, std::size_t size) {
    // Take in what the kernel holds meanwhile: while the user-interface
    // thread works through a buffer nobody reads, and a burst must wait in
    // this queue rather than overflow the kernel's smaller one.
    if (!failed_ && queuedBytes_ < kMaxQueuedBytes) {
        pollfd pending{inotifyFd_, POLLIN, 0};
        if (::poll(&pending, 1, 0) > 0 && (pending.revents & POLLIN)) Drain();
    }
    Fill(buffer, size);
}

std::optional<ReadOutcome> DirectoryHandleImpl::WaitAndDrain(const StopSignal& stop) {
    pollfd fds[2] = {{inotifyFd_, POLLIN, 0}, {static_cast<int>(stop.NativeHandle()), POLLIN, 0}};
    const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
    const int ready = ::poll(fds, count, parentWd_ >= 0 ? -1 : kRootCheckMs);
    if (ready < 0) {
        if (errno == EINTR) return std::nullopt;
        return ReadOutcome::Failed;
    }
    if (ready == 0) {
        if (RootGone()) failed_ = true;
        return std::nullopt;
    }
    if (stop.Raised() || (count == 2 && fds[1].revents != 0)) return ReadOutcome::Interrupted;
    if (fds[0].revents & (POLLERR | POLLNVAL)) return ReadOutcome::Failed;
    if (fds[0].revents & POLLIN) Drain();
    return std::nullopt;
}

std::string DirectoryHandleImpl::TakeNotice() {
    if (noticeGiven_ || !keeper_ || keeper_->RefusedByLimit() == 0) return {};
    noticeGiven_ = true;
    return WatchLimitNotice(keeper_->RefusedByLimit(), ReadMaxUserWatches());
}

FolderHandle OpenDirectory(const std::string& path) {
    if (path.empty()) return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return new DirectoryHandleImpl(fd);
}

std::string TakeReadNotice(FolderHandle handle) {
    return handle == nullptr ? std::string() : handle->TakeNotice();
}

ReadOutcome ReadDirectoryChanges(FolderHandle handle, std::byte* buffer, std::size_t size,
                                 bool watchSubtree, std::uint32_t filter, const StopSignal& stop) {
    if (handle == nullptr || buffer == nullptr) return ReadOutcome::Failed;
    return handle->Read(buffer, size, watchSubtree, filter, stop);
}

void CloseDirectory(FolderHandle handle) {
    delete handle;
}

}  // namespace tarnwell
