#pragma once
// The bookkeeping behind a directory read on inotify: which folders are
// watched under which relative path, how events become FILE_NOTIFY records
// (rename pairs by cookie, moves in and out of the tree, new folders listed),
// and when the read must fail. It makes no system call: what it needs done
// comes back as commands that the backend carries out and answers, so every
// sequence of events can be scripted in a test.
//
// Worker thread only: one instance per open folder, used by its reads.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarnwell {

struct InotifyEvent {
    int wd = -1;
    std::uint32_t mask = 0;
    std::uint32_t cookie = 0;
    std::string name;  // bytes as the kernel gives them; empty for the folder itself
};

struct FolderEntry {
    std::string name;
    bool isFolder = false;
};

// One record for the read buffer. Action 0 is a mark: changes below `path`
// may be missing. With an empty path (the watched folder itself) it is an
// overflow, a read that returns no records.
struct WatchChange {
    std::uint32_t action = 0;
    std::string path;  // relative to the watched folder, "/" between parts
    bool operator==(const WatchChange&) const = default;
};

struct BookkeeperCommand {
    enum class Kind {
        AddWatch,    // inotify_add_watch(path, WatchMask()); answer with OnWatchResult
        ListFolder,  // list the folder's entries; answer with OnListed
        RemoveWatch  // inotify_rm_watch(wd); no answer
    };
    Kind kind = Kind::AddWatch;
    std::string path;  // relative; "" is the watched folder itself
    int wd = -1;       // RemoveWatch only
    // Whether the entries found when the folder is listed are reported as
    // Added (a folder created while watched) or only watched (the setup, a
    // folder moved in, a resync after an overflow).
    bool report = false;
    // Part of the first read's setup, where hitting the watch limit fails the read.
    bool setup = false;
    // A folder watched only after it appeared (under a new name, or at a name
    // looked at again): whatever happened inside it before was not seen.
    bool late = false;
};

enum class WatchResult {
    Added,         // wd holds the descriptor
    LimitReached,  // ENOSPC: the user's watch limit (fs.inotify.max_user_watches)
    NoMemory,      // ENOMEM: the kernel had no memory for the watch
    Denied,        // no permission, or any other refusal of a folder that is there
    Unavailable    // the folder is gone, or is no folder any more
};

enum class ListResult {
    Listed,
    Gone,   // the folder is no longer there
    Denied  // there, but it cannot be read
};

class InotifyBookkeeper {
  public:
    InotifyBookkeeper(bool watchSubtree, std::uint32_t filter);

    // The inotify mask for every watch (without IN_ONLYDIR / IN_DONT_FOLLOW).
    std::uint32_t WatchMask() const { return mask_; }

    // Queues the commands of the first read's setup.
    void Start();
    std::optional<BookkeeperCommand> NextCommand();
    void OnWatchResult(const BookkeeperCommand& command, int wd, WatchResult result);
    // `entries` is empty when the folder could not be listed.
    void OnListed(const BookkeeperCommand& command, const std::vector<FolderEntry>& entries,
                  ListResult result = ListResult::Listed);

    void OnEvent(const InotifyEvent& event);
    // The kernel queue was read to its end (read() gave EAGAIN): every event
    // caused by commands carried out so far has been seen.
    void OnQueueDrained();
    // A moved-away entry whose partner has not come yet.
    bool HasUnpairedMoves() const;
    // No partner is coming: unpaired moves become Removed.
    void EndBatch();

    // The records that are complete, in order; a record behind an unpaired
    // move waits until the move is resolved.
    std::vector<WatchChange> TakeChanges();

    // The watched folder is gone, or the setup hit the watch limit.
    bool Failed() const { return failed_; }
    // The watched folder was found deleted by other means than its own
    // watch (whose IN_DELETE_SELF an open descriptor holds back).
    void OnRootGone() { failed_ = true; }
    bool IsWatchDescriptor(int wd) const { return folders_.count(wd) != 0; }

    // Folders the watch limit keeps unwatched right now; they are tried again
    // at the next walk of the tree (after an overflow).
    std::size_t RefusedByLimit() const { return refusedByLimit_.size(); }

  private:
    struct Item {
        WatchChange change;
        bool emit = true;
        bool unpaired = false;  // an IN_MOVED_FROM waiting for its IN_MOVED_TO
        std::uint32_t cookie = 0;
        bool isFolder = false;
        std::optional<WatchChange> renamedTo;
    };

    void OnOverflow();
    void OnCreated(const std::string& path, bool isFolder);
    void OnDeleted(const std::string& path, bool isFolder);
    void OnMovedFrom(const std::string& path, bool isFolder, std::uint32_t cookie);
    void OnMovedTo(const std::string& path, bool isFolder, std::uint32_t cookie);
    Item* FindUnpairedMove(std::uint32_t cookie);
    void PairRename(Item& from, const std::string& to, bool isFolder);
    // An IN_MODIFY, IN_ATTRIB or IN_ACCESS that the filter asks for.
    bool IsWantedModification(std::uint32_t mask, const std::string& path, bool isFolder) const;
    bool Wants(bool isFolder) const;
    void Push(std::uint32_t action, const std::string& path);
    void PushOverflow();
    // Why a mark names a folder; each folder is marked once per cause until it
    // is watched again.
    enum class MarkCause { Refused, LimitReached, NoMemory, Unlistable, Late };
    static std::string MarkKey(const std::string& path, MarkCause cause);
    void PushMark(const std::string& path, MarkCause cause);
    void WatchFolder(const std::string& path, bool report, bool late, bool setup = false);
    bool IsWatched(const std::string& path) const;
    void ResolveAsMovedOut(Item& item);
    void RenameSubtree(const std::string& from, const std::string& to);

    bool subtree_;
    std::uint32_t filter_;
    std::uint32_t mask_;
    bool failed_ = false;
    int rootWd_ = -1;
    std::unordered_map<int, std::string> folders_;  // wd -> relative path
    std::deque<BookkeeperCommand> commands_;
    std::deque<Item> items_;
    // Entries already reported by listing a new folder: their IN_CREATE, if it
    // comes, is the same creation seen twice.
    std::unordered_set<std::string> listed_;
    // Folders this process listed: the IN_ACCESS that listing causes is ours,
    // not a change to report.
    std::unordered_set<std::string> ownAccess_;
    // Folders already marked, keyed by cause and path.
    std::unordered_set<std::string> marked_;
    std::unordered_set<std::string> refusedByLimit_;
    // New folders that were gone before their watch could be added.
    std::unordered_set<std::string> missed_;
};

}  // namespace tarnwell
