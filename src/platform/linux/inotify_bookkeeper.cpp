#include "platform/linux/inotify_bookkeeper.h"

#include <sys/inotify.h>

#include "engine/notify_codes.h"

namespace tarnwell {
namespace {

constexpr std::uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

bool IsSameOrBelow(const std::string& path, const std::string& folder) {
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

}  // namespace

InotifyBookkeeper::InotifyBookkeeper(bool watchSubtree, std::uint32_t filter)
    : subtree_(watchSubtree), filter_(filter), mask_(IN_DELETE_SELF | IN_MOVE_SELF) {
    if (filter & (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME)) mask_ |= kNameEvents;
    // New folders must be watched and renamed ones followed whatever the filter.
    if (subtree_) mask_ |= IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO;
    if (filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY |
                  FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_LAST_ACCESS))
        mask_ |= IN_ATTRIB;
    if (filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)) mask_ |= IN_MODIFY;
    if (filter & FILE_NOTIFY_CHANGE_LAST_ACCESS) mask_ |= IN_ACCESS;
}

void InotifyBookkeeper::Start() {
    BookkeeperCommand root;
    root.kind = BookkeeperCommand::Kind::AddWatch;
    root.setup = true;
    commands_.push_back(root);
}

std::optional<BookkeeperCommand> InotifyBookkeeper::NextCommand() {
    if (commands_.empty()) return std::nullopt;
    BookkeeperCommand command = std::move(commands_.front());
    commands_.pop_front();
    return command;
}

void InotifyBookkeeper::OnWatchResult(const BookkeeperCommand& command, int wd,
                                      WatchResult result) {
    const std::string& path = command.path;
    if (result != WatchResult::Added) {
        if (path.empty() || (command.setup && result == WatchResult::LimitReached)) {
            // Counted, so that the user can be told why the read fails.
            if (result == WatchResult::LimitReached) refusedByLimit_.insert(path);
            failed_ = true;
            return;
        }
        switch (result) {
            case WatchResult::LimitReached:
                refusedByLimit_.insert(path);
                PushMark(path, MarkCause::LimitReached);
                break;
            case WatchResult::NoMemory:
                PushMark(path, MarkCause::NoMemory);
                break;
            case WatchResult::Denied:
                PushMark(path, MarkCause::Refused);
                break;
            case WatchResult::Unavailable:
                // Gone before it could be watched. A rename brings it back at
                // its new name; a deletion must still say that what happened
                // inside it went unseen.
                if (command.report) missed_.insert(path);
                break;
            case WatchResult::Added:
                break;
        }
        return;
    }
    if (!marked_.empty() || !refusedByLimit_.empty()) {
        // Watched now: a later failure is news again.
        refusedByLimit_.erase(path);
        for (MarkCause cause :
             {MarkCause::Refused, MarkCause::LimitReached, MarkCause::NoMemory, MarkCause::Late})
            marked_.erase(MarkKey(path, cause));
    }
    if (command.late) PushMark(path, MarkCause::Late);
    if (path.empty()) rootWd_ = wd;
    std::string& known = folders_[wd];
    // Not for a look that is itself a second one: one folder seen at two
    // names (a bind mount inside the tree) would otherwise send the watch
    // back and forth between them for ever.
    if (subtree_ && !command.late && !path.empty() && !known.empty() && known != path) {
        // This folder was known under another name. Either the rename that
        // took it there is still to come, or a folder was watched under a
        // name that another one has taken since (mkdir .part; mv .part final;
        // mkdir .part, all before the first creation was seen), and then
        // the other name was moved onto the wrong folder. Whatever stands at
        // the other name now is looked at again, so it is not left unwatched.
        const std::string other = known;
        known = path;
        WatchFolder(other, true, true);
    } else {
        known = path;
    }
    if (subtree_) {
        BookkeeperCommand list = command;
        list.kind = BookkeeperCommand::Kind::ListFolder;
        commands_.push_back(list);
    }
}

void InotifyBookkeeper::OnListed(const BookkeeperCommand& command,
                                 const std::vector<FolderEntry>& entries, ListResult result) {
    if (result == ListResult::Denied) {
        // Its subfolders cannot be found, so nothing below it is watched.
        PushMark(command.path, MarkCause::Unlistable);
        return;
    }
    if (result == ListResult::Gone) return;
    if (!marked_.empty()) marked_.erase(MarkKey(command.path, MarkCause::Unlistable));
    if (!command.path.empty()) ownAccess_.insert(command.path);
    for (const FolderEntry& entry : entries) {
        const std::string path = Join(command.path, entry.name);
        if (command.report) {
            listed_.insert(path);
            if (Wants(entry.isFolder)) Push(FILE_ACTION_ADDED, path);
        }
        if (entry.isFolder) WatchFolder(path, command.report, false, command.setup);
    }
}

void InotifyBookkeeper::OnEvent(const InotifyEvent& event) {
    if (event.mask & IN_Q_OVERFLOW) {
        OnOverflow();
        return;
    }
    const auto folder = folders_.find(event.wd);
    if (folder == folders_.end()) return;  // a watch already dropped
    const bool isRoot = event.wd == rootWd_;
    if (event.mask & IN_IGNORED) {
        if (isRoot) failed_ = true;
        folders_.erase(folder);
        return;
    }
    if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
        if (isRoot) failed_ = true;
        return;
    }
    // An event of a watched folder about itself: the folder above reports the
    // same change by name, and the watched folder's own changes are not
    // reported at all.
    if (event.name.empty()) return;

    const std::string path = Join(folder->second, event.name);
    const bool isFolder = (event.mask & IN_ISDIR) != 0;
    if (event.mask & IN_CREATE) {
        OnCreated(path, isFolder);
    } else if (event.mask & IN_DELETE) {
        OnDeleted(path, isFolder);
    } else if (event.mask & IN_MOVED_FROM) {
        OnMovedFrom(path, isFolder, event.cookie);
    } else if (event.mask & IN_MOVED_TO) {
        OnMovedTo(path, isFolder, event.cookie);
    } else if (IsWantedModification(event.mask, path, isFolder)) {
        Push(FILE_ACTION_MODIFIED, path);
    }
}

void InotifyBookkeeper::OnOverflow() {
    PushOverflow();
    // Folders created while events were lost have no watch yet, and renamed
    // ones may sit under old paths: walk the tree again, silently.
    if (subtree_ && !failed_) {
        missed_.clear();
        WatchFolder({}, false, false);
    }
}

void InotifyBookkeeper::OnCreated(const std::string& path, bool isFolder) {
    if (listed_.erase(path) != 0) return;
    if (Wants(isFolder)) Push(FILE_ACTION_ADDED, path);
    if (isFolder && subtree_) WatchFolder(path, true, false);
}

void InotifyBookkeeper::OnDeleted(const std::string& path, bool isFolder) {
    listed_.erase(path);
    if (Wants(isFolder)) Push(FILE_ACTION_REMOVED, path);
    if (isFolder) {
        refusedByLimit_.erase(path);
        if (missed_.erase(path) != 0) PushMark(path, MarkCause::Late);
    }
}

void InotifyBookkeeper::OnMovedFrom(const std::string& path, bool isFolder, std::uint32_t cookie) {
    listed_.erase(path);
    Item item;
    item.change = {FILE_ACTION_RENAMED_OLD_NAME, path};
    item.unpaired = true;
    item.cookie = cookie;
    item.isFolder = isFolder;
    items_.push_back(std::move(item));
}

void InotifyBookkeeper::OnMovedTo(const std::string& path, bool isFolder, std::uint32_t cookie) {
    listed_.erase(path);
    if (Item* from = FindUnpairedMove(cookie)) {
        PairRename(*from, path, isFolder);
        return;
    }
    // Moved in from outside the tree: its contents were not created here.
    if (Wants(isFolder)) Push(FILE_ACTION_ADDED, path);
    if (isFolder && subtree_) WatchFolder(path, false, false);
}

InotifyBookkeeper::Item* InotifyBookkeeper::FindUnpairedMove(std::uint32_t cookie) {
    // The kernel queues the two halves of a rename back to back, so the
    // partner is nearly always the last item: looked for from the end, a
    // burst of renames does not walk every pending item for each one.
    // Cookies are unique among the moves still waiting.
    for (auto it = items_.rbegin(); it != items_.rend(); ++it)
        if (it->unpaired && it->cookie == cookie) return &*it;
    return nullptr;
}

void InotifyBookkeeper::PairRename(Item& from, const std::string& to, bool isFolder) {
    from.unpaired = false;
    if (isFolder && subtree_) {
        // A folder renamed before its watch could be added (published by a
        // rename, or renamed again at once) has none: it is watched at its
        // new name and listed like a new folder.
        const bool watched = IsWatched(from.change.path);
        missed_.erase(from.change.path);
        refusedByLimit_.erase(from.change.path);
        RenameSubtree(from.change.path, to);
        if (!watched) WatchFolder(to, true, true);
    }
    if (Wants(isFolder)) {
        from.renamedTo = WatchChange{FILE_ACTION_RENAMED_NEW_NAME, to};
    } else {
        from.emit = false;
    }
}

bool InotifyBookkeeper::IsWantedModification(std::uint32_t mask, const std::string& path,
                                             bool isFolder) const {
    if ((mask & IN_MODIFY) && (filter_ & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)))
        return true;
    if ((mask & IN_ATTRIB) &&
        (filter_ & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY |
                    FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_LAST_ACCESS)))
        return true;
    // Listing a folder reads it; that access is this program's own.
    return (mask & IN_ACCESS) && (filter_ & FILE_NOTIFY_CHANGE_LAST_ACCESS) &&
           !(isFolder && ownAccess_.count(path) != 0);
}

void InotifyBookkeeper::OnQueueDrained() {
    listed_.clear();
    ownAccess_.clear();
}

bool InotifyBookkeeper::HasUnpairedMoves() const {
    for (const Item& item : items_)
        if (item.unpaired) return true;
    return false;
}

void InotifyBookkeeper::EndBatch() {
    for (Item& item : items_)
        if (item.unpaired) ResolveAsMovedOut(item);
}

std::vector<WatchChange> InotifyBookkeeper::TakeChanges() {
    std::vector<WatchChange> out;
    while (!items_.empty() && !items_.front().unpaired) {
        Item& item = items_.front();
        if (item.emit) {
            out.push_back(std::move(item.change));
            if (item.renamedTo) out.push_back(std::move(*item.renamedTo));
        }
        items_.pop_front();
    }
    return out;
}

bool InotifyBookkeeper::Wants(bool isFolder) const {
    return (filter_ & (isFolder ? FILE_NOTIFY_CHANGE_DIR_NAME : FILE_NOTIFY_CHANGE_FILE_NAME)) != 0;
}

void InotifyBookkeeper::Push(std::uint32_t action, const std::string& path) {
    // A write of many blocks gives a Modified per write(); one is enough.
    if (action == FILE_ACTION_MODIFIED && !items_.empty()) {
        const Item& last = items_.back();
        if (!last.unpaired && last.emit && !last.renamedTo &&
            last.change.action == FILE_ACTION_MODIFIED && last.change.path == path)
            return;
    }
    Item item;
    item.change = {action, path};
    items_.push_back(std::move(item));
}

void InotifyBookkeeper::PushOverflow() {
    if (!items_.empty()) {
        const Item& last = items_.back();
        if (!last.unpaired && last.emit && last.change.action == 0 && last.change.path.empty())
            return;
    }
    Item item;
    item.change = {0, {}};
    items_.push_back(std::move(item));
}

std::string InotifyBookkeeper::MarkKey(const std::string& path, MarkCause cause) {
    std::string key(1, static_cast<char>('0' + static_cast<int>(cause)));
    key += path;
    return key;
}

void InotifyBookkeeper::PushMark(const std::string& path, MarkCause cause) {
    if (path.empty()) {
        PushOverflow();
        return;
    }
    if (!marked_.insert(MarkKey(path, cause)).second) return;
    Item item;
    item.change = {0, path};
    items_.push_back(std::move(item));
}

void InotifyBookkeeper::WatchFolder(const std::string& path, bool report, bool late, bool setup) {
    BookkeeperCommand watch;
    watch.kind = BookkeeperCommand::Kind::AddWatch;
    watch.path = path;
    watch.report = report;
    watch.late = late;
    watch.setup = setup;
    commands_.push_back(std::move(watch));
}

bool InotifyBookkeeper::IsWatched(const std::string& path) const {
    for (const auto& [wd, folder] : folders_)
        if (folder == path) return true;
    return false;
}

void InotifyBookkeeper::ResolveAsMovedOut(Item& item) {
    item.unpaired = false;
    if (item.isFolder) {
        missed_.erase(item.change.path);
        refusedByLimit_.erase(item.change.path);
    }
    item.change.action = FILE_ACTION_REMOVED;
    item.emit = Wants(item.isFolder);
    if (!item.isFolder || !subtree_) return;
    // The folder and everything below it left the tree: their watches would
    // go on reporting changes that are no longer ours.
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (it->first != rootWd_ && IsSameOrBelow(it->second, item.change.path)) {
            BookkeeperCommand remove;
            remove.kind = BookkeeperCommand::Kind::RemoveWatch;
            remove.wd = it->first;
            commands_.push_back(remove);
            it = folders_.erase(it);
        } else {
            ++it;
        }
    }
}

void InotifyBookkeeper::RenameSubtree(const std::string& from, const std::string& to) {
    for (auto& [wd, path] : folders_) {
        if (wd != rootWd_ && IsSameOrBelow(path, from)) path = to + path.substr(from.size());
    }
}

}  // namespace tarnwell
