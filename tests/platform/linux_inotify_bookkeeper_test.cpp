// The inotify bookkeeping on scripted event sequences: a small fake carries
// out its commands against a folder tree held in memory.

#include <gtest/gtest.h>
#include <sys/inotify.h>

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "engine/notify_codes.h"
#include "platform/linux/inotify_bookkeeper.h"

namespace tarnwell {

void PrintTo(const WatchChange& change, std::ostream* out) {
    *out << "{" << change.action << ", \"" << change.path << "\"}";
}

namespace {

constexpr std::uint32_t kAdded = FILE_ACTION_ADDED;
constexpr std::uint32_t kRemoved = FILE_ACTION_REMOVED;
constexpr std::uint32_t kModified = FILE_ACTION_MODIFIED;
constexpr std::uint32_t kFrom = FILE_ACTION_RENAMED_OLD_NAME;
constexpr std::uint32_t kTo = FILE_ACTION_RENAMED_NEW_NAME;
constexpr std::uint32_t kAllBits = kAllNotifyBits;

using Changes = std::vector<WatchChange>;

// Carries out the bookkeeper's commands the way the backend does, against
// `tree` (folder path -> entries) with a limit on the number of watches.
class Script {
  public:
    Script(bool subtree, std::uint32_t filter) : keeper(subtree, filter) {}

    void Start() {
        keeper.Start();
        Run();
    }

    void Run() {
        while (auto command = keeper.NextCommand()) {
            switch (command->kind) {
                case BookkeeperCommand::Kind::AddWatch: {
                    added.push_back(command->path);
                    if (refusals.count(command->path) != 0) {
                        keeper.OnWatchResult(*command, -1, refusals[command->path]);
                    } else if (tree.count(command->path) == 0) {
                        keeper.OnWatchResult(*command, -1, WatchResult::Unavailable);
                    } else if (wds.count(command->path) != 0) {
                        keeper.OnWatchResult(*command, wds[command->path], WatchResult::Added);
                    } else if (static_cast<int>(wds.size()) >= watchLimit) {
                        keeper.OnWatchResult(*command, -1, WatchResult::LimitReached);
                    } else {
                        wds[command->path] = nextWd;
                        keeper.OnWatchResult(*command, nextWd++, WatchResult::Added);
                    }
                    break;
                }
                case BookkeeperCommand::Kind::ListFolder:
                    listed.push_back(command->path);
                    if (unlistable.count(command->path) != 0)
                        keeper.OnListed(*command, {}, ListResult::Denied);
                    else
                        keeper.OnListed(*command, tree[command->path]);
                    break;
                case BookkeeperCommand::Kind::RemoveWatch:
                    removed.insert(command->wd);
                    break;
            }
        }
    }

    // An event of the watch on `folder` (as it was named when watched).
    void Event(const std::string& folder, std::uint32_t mask, const std::string& name = "",
               std::uint32_t cookie = 0) {
        keeper.OnEvent(InotifyEvent{wds.at(folder), mask, cookie, name});
        Run();
    }

    // What one read would see: the queue read to its end, no partner coming.
    Changes Batch() {
        keeper.OnQueueDrained();
        keeper.EndBatch();
        Run();
        return keeper.TakeChanges();
    }

    InotifyBookkeeper keeper;
    std::map<std::string, std::vector<FolderEntry>> tree{{"", {}}};
    std::map<std::string, int> wds;
    int nextWd = 1;
    int watchLimit = 1000;
    std::map<std::string, WatchResult> refusals;  // folders there but refused
    std::set<std::string> unlistable;
    std::vector<std::string> added;
    std::vector<std::string> listed;
    std::set<int> removed;
};

TEST(InotifyBookkeeper, WatchMaskHasTheEventsEachFilterBitNeeds) {
    const std::uint32_t names = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    const std::uint32_t self = IN_DELETE_SELF | IN_MOVE_SELF;
    struct Case {
        std::uint32_t filter;
        bool subtree;
        std::uint32_t mask;
    } cases[] = {
        {FILE_NOTIFY_CHANGE_FILE_NAME, false, self | names},
        {FILE_NOTIFY_CHANGE_DIR_NAME, false, self | names},
        {FILE_NOTIFY_CHANGE_ATTRIBUTES, false, self | IN_ATTRIB},
        {FILE_NOTIFY_CHANGE_SIZE, false, self | IN_MODIFY},
        {FILE_NOTIFY_CHANGE_LAST_WRITE, false, self | IN_MODIFY | IN_ATTRIB},
        {FILE_NOTIFY_CHANGE_LAST_ACCESS, false, self | IN_ACCESS | IN_ATTRIB},
        {FILE_NOTIFY_CHANGE_CREATION, false, self},
        {FILE_NOTIFY_CHANGE_SECURITY, false, self | IN_ATTRIB},
        // New and renamed folders must be followed whatever the filter asks for.
        {FILE_NOTIFY_CHANGE_SIZE, true, self | IN_MODIFY | IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO},
        {kAllBits, true, self | names | IN_ATTRIB | IN_MODIFY | IN_ACCESS},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InotifyBookkeeper(c.subtree, c.filter).WatchMask(), c.mask)
            << "filter " << c.filter << " subtree " << c.subtree;
    }
}

TEST(InotifyBookkeeper, FilterSelectsEventsAndEntryKinds) {
    // One of each event, for a file and a folder; the rows say what each
    // filter bit lets through.
    struct Case {
        std::uint32_t filter;
        Changes expected;
    } cases[] = {
        {FILE_NOTIFY_CHANGE_FILE_NAME, {{kAdded, "f"}, {kRemoved, "f"}}},
        {FILE_NOTIFY_CHANGE_DIR_NAME, {{kAdded, "d"}, {kRemoved, "d"}}},
        {FILE_NOTIFY_CHANGE_ATTRIBUTES, {{kModified, "attr"}, {kModified, "d"}}},
        {FILE_NOTIFY_CHANGE_SECURITY, {{kModified, "attr"}, {kModified, "d"}}},
        {FILE_NOTIFY_CHANGE_SIZE, {{kModified, "write"}}},
        {FILE_NOTIFY_CHANGE_LAST_WRITE,
         {{kModified, "attr"}, {kModified, "write"}, {kModified, "d"}}},
        {FILE_NOTIFY_CHANGE_LAST_ACCESS,
         {{kModified, "attr"}, {kModified, "read"}, {kModified, "d"}}},
        {FILE_NOTIFY_CHANGE_CREATION, {}},
        {kAllBits,
         {{kAdded, "f"},
          {kAdded, "d"},
          {kModified, "attr"},
          {kModified, "write"},
          {kModified, "read"},
          {kModified, "d"},
          {kRemoved, "f"},
          {kRemoved, "d"}}},
    };
    for (const Case& c : cases) {
        Script s(false, c.filter);
        s.Start();
        s.Event("", IN_CREATE, "f");
        s.Event("", IN_CREATE | IN_ISDIR, "d");
        s.Event("", IN_ATTRIB, "attr");
        s.Event("", IN_MODIFY, "write");
        s.Event("", IN_ACCESS, "read");
        s.Event("", IN_ATTRIB | IN_ISDIR, "d");
        s.Event("", IN_DELETE, "f");
        s.Event("", IN_DELETE | IN_ISDIR, "d");
        EXPECT_EQ(s.Batch(), c.expected) << "filter " << c.filter;
    }
}

TEST(InotifyBookkeeper, SetupWatchesEveryExistingFolderSilentlyInSubtreeModeOnly) {
    for (bool subtree : {false, true}) {
        Script s(subtree, kAllBits);
        s.tree[""] = {{"a", true}, {"file", false}};
        s.tree["a"] = {{"b", true}};
        s.tree["b"] = {};  // not reachable from the root: never watched
        s.tree["a/b"] = {};
        s.Start();
        EXPECT_FALSE(s.keeper.Failed());
        const std::vector<std::string> expected =
            subtree ? std::vector<std::string>{"", "a", "a/b"} : std::vector<std::string>{""};
        EXPECT_EQ(s.added, expected);
        EXPECT_EQ(s.Batch(), Changes{});
    }
}

TEST(InotifyBookkeeper, SetupFailsWhenTheRootOrTheWatchLimitFails) {
    Script missing(true, kAllBits);
    missing.tree.clear();
    missing.Start();
    EXPECT_TRUE(missing.keeper.Failed());

    Script limited(true, kAllBits);
    limited.tree[""] = {{"a", true}, {"b", true}};
    limited.tree["a"] = {};
    limited.tree["b"] = {};
    limited.watchLimit = 2;
    limited.Start();
    EXPECT_TRUE(limited.keeper.Failed());
    EXPECT_EQ(limited.keeper.RefusedByLimit(), 1u) << "counted for the notice";
}

TEST(InotifyBookkeeper, RenamePairedByCookieGivesFromThenTo) {
    Script s(true, kAllBits);
    s.Start();
    s.Event("", IN_MOVED_FROM, "a.txt", 7);
    // Another change between the halves does not split the pair.
    s.Event("", IN_MODIFY, "other");
    EXPECT_EQ(s.keeper.TakeChanges(), Changes{}) << "nothing passes an unpaired move";
    s.Event("", IN_MOVED_TO, "b.txt", 7);
    EXPECT_EQ(s.Batch(), (Changes{{kFrom, "a.txt"}, {kTo, "b.txt"}, {kModified, "other"}}));
}

TEST(InotifyBookkeeper, PairStraddlingTwoReadsOfTheQueueStaysAPair) {
    Script s(false, kAllBits);
    s.Start();
    s.Event("", IN_MOVED_FROM, "a", 3);
    s.keeper.OnQueueDrained();
    EXPECT_TRUE(s.keeper.HasUnpairedMoves());
    s.Event("", IN_MOVED_TO, "b", 3);
    EXPECT_FALSE(s.keeper.HasUnpairedMoves());
    EXPECT_EQ(s.Batch(), (Changes{{kFrom, "a"}, {kTo, "b"}}));
}

TEST(InotifyBookkeeper, MoveOutIsRemovedAndMoveInIsAdded) {
    Script s(false, kAllBits);
    s.Start();
    s.Event("", IN_MOVED_FROM, "gone", 1);
    s.Event("", IN_CREATE, "after");
    s.Event("", IN_MOVED_TO, "came", 2);
    EXPECT_EQ(s.Batch(), (Changes{{kRemoved, "gone"}, {kAdded, "after"}, {kAdded, "came"}}));
}

TEST(InotifyBookkeeper, RenameOfAnUnfilteredKindReportsNothing) {
    Script s(false, FILE_NOTIFY_CHANGE_FILE_NAME);
    s.Start();
    s.Event("", IN_MOVED_FROM | IN_ISDIR, "d1", 4);
    s.Event("", IN_MOVED_TO | IN_ISDIR, "d2", 4);
    s.Event("", IN_MOVED_FROM | IN_ISDIR, "d3", 5);
    EXPECT_EQ(s.Batch(), Changes{});
}

TEST(InotifyBookkeeper, FolderRenameRewritesTheWholeSubtree) {
    Script s(true, kAllBits);
    s.tree[""] = {{"a", true}};
    s.tree["a"] = {{"b", true}};
    s.tree["a/b"] = {};
    s.Start();
    s.Event("", IN_MOVED_FROM | IN_ISDIR, "a", 9);
    s.Event("", IN_MOVED_TO | IN_ISDIR, "c", 9);
    s.Event("a", IN_MODIFY, "x");    // the watch of the renamed folder
    s.Event("a/b", IN_CREATE, "y");  // and of one below it
    EXPECT_EQ(s.Batch(),
              (Changes{{kFrom, "a"}, {kTo, "c"}, {kModified, "c/x"}, {kAdded, "c/b/y"}}));
    EXPECT_TRUE(s.removed.empty());
}

TEST(InotifyBookkeeper, FolderMovedOutDropsItsWatchesAndTheirEvents) {
    Script s(true, kAllBits);
    s.tree[""] = {{"a", true}, {"keep", true}};
    s.tree["a"] = {{"b", true}};
    s.tree["a/b"] = {};
    s.tree["keep"] = {};
    s.Start();
    s.Event("", IN_MOVED_FROM | IN_ISDIR, "a", 11);
    EXPECT_EQ(s.Batch(), (Changes{{kRemoved, "a"}}));
    EXPECT_EQ(s.removed, (std::set<int>{s.wds["a"], s.wds["a/b"]}));
    s.Event("a/b", IN_CREATE, "late");  // queued before the watch went
    s.Event("keep", IN_CREATE, "x");
    EXPECT_EQ(s.Batch(), (Changes{{kAdded, "keep/x"}}));
}

TEST(InotifyBookkeeper, FolderMovedInIsWatchedWithoutReportingItsContents) {
    Script s(true, kAllBits);
    s.Start();
    s.tree["in"] = {{"old.txt", false}, {"deep", true}};
    s.tree["in/deep"] = {{"older.txt", false}};
    s.Event("", IN_MOVED_TO | IN_ISDIR, "in", 21);
    EXPECT_EQ(s.added, (std::vector<std::string>{"", "in", "in/deep"}));
    s.Event("in/deep", IN_MODIFY, "older.txt");
    EXPECT_EQ(s.Batch(), (Changes{{kAdded, "in"}, {kModified, "in/deep/older.txt"}}));
}

TEST(InotifyBookkeeper, NewFolderIsListedOnceWithoutDuplicatesOfItsOwnEvents) {
    Script s(true, kAllBits);
    s.Start();
    // What the listing finds: a file and a folder with a file, some of which
    // inotify reports as well because they came after the watch.
    s.tree["n"] = {{"early", false}, {"late", false}, {"sub", true}};
    s.tree["n/sub"] = {{"inner", false}};
    s.Event("", IN_CREATE | IN_ISDIR, "n");
    s.Event("n", IN_CREATE, "late");
    s.Event("n", IN_CREATE | IN_ISDIR, "sub");
    s.Event("n/sub", IN_CREATE, "inner");
    s.Event("n", IN_CREATE, "after");  // not listed: after the listing
    EXPECT_EQ(s.Batch(), (Changes{{kAdded, "n"},
                                  {kAdded, "n/early"},
                                  {kAdded, "n/late"},
                                  {kAdded, "n/sub"},
                                  {kAdded, "n/sub/inner"},
                                  {kAdded, "n/after"}}));
    // Once the queue has been read to its end, a new creation of a listed name
    // is a new change.
    s.Event("n", IN_DELETE, "early");
    s.Event("n", IN_CREATE, "late");
    EXPECT_EQ(s.Batch(), (Changes{{kRemoved, "n/early"}, {kAdded, "n/late"}}));
}

TEST(InotifyBookkeeper, DeleteAndCreateOfAListedNameAreBothReported) {
    Script s(true, FILE_NOTIFY_CHANGE_FILE_NAME);
    s.Start();
    s.tree["n"] = {{"f", false}};
    s.Event("", IN_CREATE | IN_ISDIR, "n");
    s.Event("n", IN_DELETE, "f");
    s.Event("n", IN_CREATE, "f");
    EXPECT_EQ(s.Batch(), (Changes{{kAdded, "n/f"}, {kRemoved, "n/f"}, {kAdded, "n/f"}}));
}

TEST(InotifyBookkeeper, OwnListingOfAFolderIsNoAccessChange) {
    Script s(true, FILE_NOTIFY_CHANGE_LAST_ACCESS);
    s.tree[""] = {{"old", true}};
    s.tree["old"] = {};
    s.Start();
    s.Event("", IN_ACCESS | IN_ISDIR, "old");  // the setup's listing
    s.Event("old", IN_ACCESS | IN_ISDIR);      // the same, seen by the folder itself
    EXPECT_EQ(s.Batch(), Changes{});
    s.Event("", IN_ACCESS | IN_ISDIR, "old");  // someone else's, after the queue was read
    EXPECT_EQ(s.Batch(), (Changes{{kModified, "old"}}));
}

TEST(InotifyBookkeeper, ConsecutiveModifiedOfOneNameAreReportedOnce) {
    Script s(false, kAllBits);
    s.Start();
    s.Event("", IN_MODIFY, "a");
    s.Event("", IN_MODIFY, "a");
    s.Event("", IN_ATTRIB, "a");
    s.Event("", IN_MODIFY, "b");
    s.Event("", IN_MODIFY, "a");
    EXPECT_EQ(s.Batch(), (Changes{{kModified, "a"}, {kModified, "b"}, {kModified, "a"}}));
}

TEST(InotifyBookkeeper, OverflowWalksTheTreeAgainQuietly) {
    Script s(true, FILE_NOTIFY_CHANGE_FILE_NAME);
    s.tree[""] = {{"a", true}};
    s.tree["a"] = {};
    s.Start();
    s.Event("", IN_CREATE, "x");
    // A folder whose creation was lost with the overflow: the overflow walks
    // the tree again to watch it, quietly.
    s.tree[""].push_back({"missed", true});
    s.tree["missed"] = {{"inside", false}};
    s.keeper.OnEvent(InotifyEvent{-1, IN_Q_OVERFLOW, 0, ""});
    s.Run();
    EXPECT_EQ(s.Batch(), (Changes{{kAdded, "x"}, {0, ""}}));
    EXPECT_EQ(s.wds.count("missed"), 1u);
}

TEST(InotifyBookkeeper, WatchLimitMarksTheFolderAndItIsTriedAgainAtTheNextWalk) {
    Script s(true, FILE_NOTIFY_CHANGE_FILE_NAME);
    s.tree[""] = {{"a", true}};
    s.tree["a"] = {};
    s.Start();
    s.watchLimit = static_cast<int>(s.wds.size());
    s.tree["a"] = {{"new", true}, {"other", true}};
    s.tree["a/new"] = {};
    s.tree["a/other"] = {};
    s.Event("a", IN_CREATE | IN_ISDIR, "new");
    s.Event("a", IN_CREATE | IN_ISDIR, "other");
    EXPECT_FALSE(s.keeper.Failed()) << "only the first read's setup fails at the limit";
    EXPECT_EQ(s.Batch(), (Changes{{0, "a/new"}, {0, "a/other"}}));
    EXPECT_EQ(s.keeper.RefusedByLimit(), 2u);

    // Refused again at the walk after an overflow: no second mark.
    s.keeper.OnEvent(InotifyEvent{-1, IN_Q_OVERFLOW, 0, ""});
    s.Run();
    EXPECT_EQ(s.Batch(), (Changes{{0, ""}}));
    EXPECT_EQ(s.keeper.RefusedByLimit(), 2u);

    // The limit raised: the next walk watches them.
    s.watchLimit = 1000;
    s.keeper.OnEvent(InotifyEvent{-1, IN_Q_OVERFLOW, 0, ""});
    s.Run();
    EXPECT_EQ(s.Batch(), (Changes{{0, ""}}));
    EXPECT_EQ(s.keeper.RefusedByLimit(), 0u);
    s.Event("a/new", IN_CREATE, "f");
    EXPECT_EQ(s.Batch(), (Changes{{kAdded, "a/new/f"}}));
}

TEST(InotifyBookkeeper, FolderThatCannotBeWatchedOrListedIsMarkedOncePerCause) {
    Script s(true, kAllBits);
    s.tree[""] = {{"locked", true}, {"unreadable", true}, {"nomem", true}};
    s.tree["locked"] = {};
    s.tree["unreadable"] = {{"below", true}};
    s.tree["unreadable/below"] = {};
    s.tree["nomem"] = {};
    s.refusals["locked"] = WatchResult::Denied;
    s.refusals["nomem"] = WatchResult::NoMemory;
    s.unlistable.insert("unreadable");
    s.Start();
    EXPECT_FALSE(s.keeper.Failed());
    EXPECT_EQ(s.Batch(), (Changes{{0, "locked"}, {0, "nomem"}, {0, "unreadable"}}));
    EXPECT_EQ(s.wds.count("unreadable/below"), 0u);

    s.keeper.OnEvent(InotifyEvent{-1, IN_Q_OVERFLOW, 0, ""});
    s.Run();
    EXPECT_EQ(s.Batch(), (Changes{{0, ""}})) << "each folder and cause is marked once";

    // Watchable again, then refused again: that is news.
    s.refusals.erase("locked");
    s.keeper.OnEvent(InotifyEvent{-1, IN_Q_OVERFLOW, 0, ""});
    s.Run();
    EXPECT_EQ(s.Batch(), (Changes{{0, ""}}));
    s.refusals["locked"] = WatchResult::Denied;
    s.keeper.OnEvent(InotifyEvent{-1, IN_Q_OVERFLOW, 0, ""});
    s.Run();
    EXPECT_EQ(s.Batch(), (Changes{{0, ""}, {0, "locked"}}));
}

TEST(InotifyBookkeeper, FolderPublishedByARenameIsWatchedAndListedAtItsNewName) {
    // mkdir .part; fill it; mv .part final: the watch for .part comes too late
    // (the name is gone), so the folder is taken up at its new name, whatever
    // it already holds reported as created, and marked.
    Script s(true, kAllBits);
    s.Start();
    s.Event("", IN_CREATE | IN_ISDIR, ".part");
    EXPECT_EQ(s.wds.count(".part"), 0u);
    s.tree["final"] = {{"a.txt", false}, {"sub", true}};
    s.tree["final/sub"] = {{"b.txt", false}};
    s.Event("", IN_MOVED_FROM | IN_ISDIR, ".part", 5);
    s.Event("", IN_MOVED_TO | IN_ISDIR, "final", 5);
    EXPECT_EQ(s.Batch(), (Changes{{kAdded, ".part"},
                                  {kFrom, ".part"},
                                  {kTo, "final"},
                                  {0, "final"},
                                  {kAdded, "final/a.txt"},
                                  {kAdded, "final/sub"},
                                  {kAdded, "final/sub/b.txt"}}));
    s.Event("final/sub", IN_MODIFY, "b.txt");
    EXPECT_EQ(s.Batch(), (Changes{{kModified, "final/sub/b.txt"}}));
}

TEST(InotifyBookkeeper, RenameChainIsFollowedToTheNameThatStays) {
    Script s(true, FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_FILE_NAME);
    s.Start();
    s.Event("", IN_CREATE | IN_ISDIR, ".a");
    s.Event("", IN_MOVED_FROM | IN_ISDIR, ".a", 1);
    s.Event("", IN_MOVED_TO | IN_ISDIR, ".b", 1);  // gone again before its watch
    s.tree["c"] = {{"x", false}};
    s.Event("", IN_MOVED_FROM | IN_ISDIR, ".b", 2);
    s.Event("", IN_MOVED_TO | IN_ISDIR, "c", 2);
    EXPECT_EQ(s.added, (std::vector<std::string>{"", ".a", ".b", "c"}));
    EXPECT_EQ(s.Batch(), (Changes{{kAdded, ".a"},
                                  {kFrom, ".a"},
                                  {kTo, ".b"},
                                  {kFrom, ".b"},
                                  {kTo, "c"},
                                  {0, "c"},
                                  {kAdded, "c/x"}}));
}

TEST(InotifyBookkeeper, NameTakenAgainBeforeItsFirstCreationWasSeenLeavesNothingUnwatched) {
    // mkdir .part; fill; mv .part final; mkdir .part, all before the reader
    // takes up the first creation: the watch for ".part" lands on the second
    // folder, and the rename then moves that name onto the wrong one.
    Script s(true, FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_FILE_NAME);
    s.Start();
    s.tree[".part"] = {};
    s.tree["final"] = {{"a", false}};
    s.Event("", IN_CREATE | IN_ISDIR, ".part");
    s.Event("", IN_MOVED_FROM | IN_ISDIR, ".part", 1);
    s.Event("", IN_MOVED_TO | IN_ISDIR, "final", 1);
    s.Event("", IN_CREATE | IN_ISDIR, ".part");
    EXPECT_EQ(s.wds.count("final"), 1u) << "the published folder is watched";
    s.Event("final", IN_CREATE, "b");
    s.Event(".part", IN_CREATE, "c");
    EXPECT_EQ(s.Batch(), (Changes{{kAdded, ".part"},
                                  {kFrom, ".part"},
                                  {kTo, "final"},
                                  {kAdded, ".part"},
                                  {0, "final"},
                                  {kAdded, "final/a"},
                                  {kAdded, "final/b"},
                                  {kAdded, ".part/c"}}));
}

TEST(InotifyBookkeeper, OneFolderAtTwoNamesIsWatchedOnceWithoutEnd) {
    // A bind mount shows one folder at two names; inotify gives one watch.
    Script s(true, FILE_NOTIFY_CHANGE_FILE_NAME);
    s.tree[""] = {{"a", true}, {"b", true}};
    s.tree["a"] = {};
    s.tree["b"] = {};
    s.Run();  // nothing queued yet
    s.keeper.Start();
    int steps = 0;
    while (auto command = s.keeper.NextCommand()) {
        ASSERT_LT(++steps, 100) << "the watch goes back and forth";
        if (command->kind == BookkeeperCommand::Kind::AddWatch) {
            const int wd = command->path.empty() ? 1 : 2;  // a and b are one folder
            s.keeper.OnWatchResult(*command, wd, WatchResult::Added);
        } else if (command->kind == BookkeeperCommand::Kind::ListFolder) {
            s.keeper.OnListed(*command, s.tree[command->path]);
        }
    }
    EXPECT_FALSE(s.keeper.Failed());
}

TEST(InotifyBookkeeper, NewFolderDeletedBeforeItsWatchIsMarked) {
    Script s(true, FILE_NOTIFY_CHANGE_DIR_NAME);
    s.Start();
    s.Event("", IN_CREATE | IN_ISDIR, "brief");
    s.Event("", IN_DELETE | IN_ISDIR, "brief");
    // A folder that was watched in time needs no mark.
    s.tree["kept"] = {};
    s.Event("", IN_CREATE | IN_ISDIR, "kept");
    s.Event("", IN_DELETE | IN_ISDIR, "kept");
    EXPECT_EQ(s.Batch(), (Changes{{kAdded, "brief"},
                                  {kRemoved, "brief"},
                                  {0, "brief"},
                                  {kAdded, "kept"},
                                  {kRemoved, "kept"}}));
}

TEST(InotifyBookkeeper, OnlyTheWatchedFolderItselfGoingAwayFails) {
    struct Case {
        const char* folder;
        std::uint32_t mask;
        bool fails;
    } cases[] = {
        {"", IN_DELETE_SELF, true}, {"", IN_MOVE_SELF, true},     {"", IN_IGNORED, true},
        {"", IN_UNMOUNT, true},     {"a", IN_DELETE_SELF, false}, {"a", IN_MOVE_SELF, false},
        {"a", IN_IGNORED, false},
    };
    for (const Case& c : cases) {
        Script s(true, kAllBits);
        s.tree[""] = {{"a", true}};
        s.tree["a"] = {};
        s.Start();
        s.Event(c.folder, c.mask);
        EXPECT_EQ(s.keeper.Failed(), c.fails) << "'" << c.folder << "' mask " << c.mask;
    }
}

}  // namespace
}  // namespace tarnwell
