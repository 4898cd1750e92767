// The directory read on inotify. The bookkeeping lives in InotifyBookkeeper;
// this file only opens, polls, reads and carries out its commands.

#include "platform/directory_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <vector>

#include "engine/notify_codes.h"
#include "engine/notify_record_writer.h"
#include "platform/linux/inotify_bookkeeper.h"
#include "platform/linux/utf8.h"

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
    std::uint32_t action = 0;  // 0: an overflow, a read with no records
    std::u16string name;
};

}  // namespace

class DirectoryHandleImpl {
  public:
    DirectoryHandleImpl(int fd, std::string path) : folderFd(fd), watchBase(std::move(path)) {}
    ~DirectoryHandleImpl() {
        if (inotifyFd >= 0) ::close(inotifyFd);
        if (folderFd >= 0) ::close(folderFd);
    }

    ReadOutcome Read(std::byte* buffer, std::size_t size, bool subtree, std::uint32_t filter,
                     const StopSignal& stop);

  private:
    bool Setup(bool subtree, std::uint32_t filter);
    void Drain();
    bool ReadEvents(bool& drained);
    void RunCommands();
    std::vector<FolderEntry> List(const std::string& relative) const;
    std::string FullPath(const std::string& relative) const {
        if (relative.empty())
            return folderFd >= 0 ? "/proc/self/fd/" + std::to_string(folderFd) : watchBase;
        return watchBase + "/" + relative;
    }
    void Collect();
    void Fill(std::byte* buffer, std::size_t size);

    // Open from OpenDirectory to the end of the first read's setup only: while
    // a descriptor holds the folder, its deletion sends no IN_DELETE_SELF.
    int folderFd;
    // Where the watched folder is: its real path as the open descriptor saw it
    // at the setup (the path it was opened by when that cannot be read). The
    // watched folder cannot move without failing the read, so it stays right.
    std::string watchBase;
    int inotifyFd = -1;
    std::unique_ptr<InotifyBookkeeper> keeper;
    bool failed = false;
    std::deque<QueuedRecord> queue;
    std::size_t queuedBytes = 0;
    alignas(inotify_event) char events[64 * 1024];
};

bool DirectoryHandleImpl::Setup(bool subtree, std::uint32_t filter) {
    const std::string proc = "/proc/self/fd/" + std::to_string(folderFd);
    char real[PATH_MAX + 1];
    const ssize_t n = ::readlink(proc.c_str(), real, PATH_MAX);
    struct stat viaPath {};
    struct stat opened {};
    if (n > 0 && real[0] == '/' && ::fstat(folderFd, &opened) == 0) {
        real[n] = '\0';
        if (::stat(real, &viaPath) == 0 && viaPath.st_ino == opened.st_ino &&
            viaPath.st_dev == opened.st_dev)
            watchBase = real;
    }
    inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd < 0) return false;
    keeper = std::make_unique<InotifyBookkeeper>(subtree, filter);
    keeper->Start();
    RunCommands();
    ::close(folderFd);
    folderFd = -1;
    return !keeper->Failed();
}

void DirectoryHandleImpl::RunCommands() {
    while (auto command = keeper->NextCommand()) {
        switch (command->kind) {
            case BookkeeperCommand::Kind::AddWatch: {
                std::uint32_t mask = keeper->WatchMask() | IN_ONLYDIR;
                // The watched folder may be reached through a link; the
                // folders below it are watched only as themselves.
                if (!command->path.empty()) mask |= IN_DONT_FOLLOW;
                const int wd =
                    ::inotify_add_watch(inotifyFd, FullPath(command->path).c_str(), mask);
                WatchResult result = WatchResult::Added;
                if (wd < 0)
                    result = (errno == ENOSPC || errno == ENOMEM) ? WatchResult::LimitReached
                                                                  : WatchResult::Unavailable;
                keeper->OnWatchResult(*command, wd, result);
                break;
            }
            case BookkeeperCommand::Kind::ListFolder:
                keeper->OnListed(*command, List(command->path));
                break;
            case BookkeeperCommand::Kind::RemoveWatch:
                ::inotify_rm_watch(inotifyFd, command->wd);
                break;
        }
    }
}

std::vector<FolderEntry> DirectoryHandleImpl::List(const std::string& relative) const {
    std::vector<FolderEntry> entries;
    // The watched folder is listed through its open descriptor: its path in
    // /proc is a link, which O_NOFOLLOW would refuse, and then no folder that
    // existed before the watch would ever be watched.
    const int fd =
        relative.empty() && folderFd >= 0
            ? ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
            : ::open(FullPath(relative).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return entries;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return entries;
    }
    while (const dirent* entry = ::readdir(dir)) {
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
    ::closedir(dir);
    return entries;
}

// Reads one chunk of events and hands them to the bookkeeper. False on a read
// error; `drained` when the kernel queue is empty.
bool DirectoryHandleImpl::ReadEvents(bool& drained) {
    drained = false;
    ssize_t n;
    do {
        n = ::read(inotifyFd, events, sizeof events);
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
        std::memcpy(&header, events + at, sizeof header);
        event.wd = header.wd;
        event.mask = header.mask;
        event.cookie = header.cookie;
        const char* name = events + at + sizeof header;
        event.name.assign(name, ::strnlen(name, header.len));
        keeper->OnEvent(event);
        RunCommands();
        at += static_cast<ssize_t>(sizeof header + header.len);
    }
    return true;
}

void DirectoryHandleImpl::Collect() {
    for (WatchChange& change : keeper->TakeChanges()) {
        QueuedRecord record{change.action, BytesToUtf16(change.path)};
        queuedBytes += NotifyRecordWriter::RecordSize(record.name.size());
        queue.push_back(std::move(record));
    }
}

// Takes in what the kernel holds, up to the queue's bound.
void DirectoryHandleImpl::Drain() {
    int partnerWaits = 0;
    while (queuedBytes < kMaxQueuedBytes) {
        bool drained = false;
        if (!ReadEvents(drained)) {
            failed = true;
            break;
        }
        if (drained) {
            keeper->OnQueueDrained();
            if (keeper->HasUnpairedMoves() && partnerWaits < 8) {
                ++partnerWaits;
                pollfd p{inotifyFd, POLLIN, 0};
                if (::poll(&p, 1, kPartnerWaitMs) > 0) continue;
            }
            keeper->EndBatch();
            RunCommands();
            Collect();
            break;
        }
        Collect();
    }
    if (keeper->Failed()) failed = true;
}

void DirectoryHandleImpl::Fill(std::byte* buffer, std::size_t size) {
    NotifyRecordWriter writer(buffer, size);
    while (!queue.empty()) {
        const QueuedRecord& record = queue.front();
        const bool deliverable = record.action != 0 && writer.Fits(record.name.size());
        if (!deliverable && !writer.Empty()) break;  // the next read starts with it
        if (deliverable) writer.Append(record.action, record.name);
        queuedBytes -= NotifyRecordWriter::RecordSize(record.name.size());
        queue.pop_front();
        // An overflow is a read of its own. So is a record too long for any
        // buffer: dropping it unseen would hide a change, so the read reports
        // an overflow in its place.
        if (!deliverable) break;
    }
}

ReadOutcome DirectoryHandleImpl::Read(std::byte* buffer, std::size_t size, bool subtree,
                                      std::uint32_t filter, const StopSignal& stop) {
    if (stop.Raised()) return ReadOutcome::Interrupted;
    if (!keeper && !Setup(subtree, filter)) {
        failed = true;
        return ReadOutcome::Failed;
    }
    for (;;) {
        // Changes seen before a failure are still delivered, then the read fails.
        if (!queue.empty()) {
            // Take in what the kernel holds meanwhile: while the user-interface
            // thread works through a buffer nobody reads, and a burst must wait
            // in this queue rather than overflow the kernel's smaller one.
            if (!failed && queuedBytes < kMaxQueuedBytes) {
                pollfd pending{inotifyFd, POLLIN, 0};
                if (::poll(&pending, 1, 0) > 0 && (pending.revents & POLLIN)) Drain();
            }
            Fill(buffer, size);
            return ReadOutcome::Filled;
        }
        if (failed) return ReadOutcome::Failed;
        pollfd fds[2] = {{inotifyFd, POLLIN, 0},
                         {static_cast<int>(stop.NativeHandle()), POLLIN, 0}};
        const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
        const int ready = ::poll(fds, count, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return ReadOutcome::Failed;
        }
        if (stop.Raised() || (count == 2 && fds[1].revents != 0)) return ReadOutcome::Interrupted;
        if (fds[0].revents & (POLLERR | POLLNVAL)) return ReadOutcome::Failed;
        if (fds[0].revents & POLLIN) Drain();
    }
}

FolderHandle OpenDirectory(const std::string& path) {
    if (path.empty()) return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return new DirectoryHandleImpl(fd, path);
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
