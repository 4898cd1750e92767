// Size and owner of real files.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/file_queries.h"

namespace tarnwell {
namespace {

class LinuxFileQueriesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarnwell-files-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        queries_->BeginBatch();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // A file of `size` bytes that takes no disk space beyond its last byte.
    std::string MakeFile(const std::string& name, off_t size) {
        const std::string path = dir_ + "/" + name;
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        return path;
    }

    static std::string ExpectedOwner(uid_t uid) {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        std::string shortHost(host);
        shortHost = shortHost.substr(0, shortHost.find('.'));
        const passwd* pw = ::getpwuid(uid);
        return pw == nullptr ? std::string() : shortHost + "\\" + pw->pw_name;
    }

    void ExpectFacts(const std::string& path, std::uint32_t size, const std::string& owner) {
        const FileFacts facts = queries_->FactsOf(path);
        EXPECT_EQ(facts.size, size) << path;
        EXPECT_EQ(facts.owner, owner) << path;
    }

    std::string dir_;
    std::unique_ptr<FileQueries> queries_ = MakeFileQueries();
};

TEST_F(LinuxFileQueriesTest, PathsLongerThanPathMaxAreLookedUpToo) {
    // Made by descriptors: the full path is too long for one system call.
    std::string path = dir_;
    int at = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < 20 && at >= 0; ++i) {
        const std::string name = std::to_string(i) + std::string(240, 'd');
        ASSERT_EQ(::mkdirat(at, name.c_str(), 0755), 0);
        const int next = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(at);
        at = next;
        path += "/" + name;
    }
    ASSERT_GE(at, 0);
    const int fd = ::openat(at, "deep.txt", O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "12345", 5), 5);
    ::close(fd);
    ::close(at);
    path += "/deep.txt";
    ASSERT_GT(path.size(), 4096u);
    ExpectFacts(path, 5, ExpectedOwner(::getuid()));
    ExpectFacts(path + "-missing", 0, "");
    // std::filesystem walks by full paths, which are too long here.
    EXPECT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0);
}

TEST_F(LinuxFileQueriesTest, SizeIsTheLow32BitsOfTheFileSize) {
    struct Case {
        off_t size;
        std::uint32_t reported;
    } cases[] = {
        {0, 0},
        {1024, 1024},
        {0xFFFFFFFFLL, 0xFFFFFFFFu},
        {(4LL << 30) + 1, 1},
        {5LL << 30, 1u << 30},
    };
    for (const Case& c : cases) {
        const std::string path = MakeFile("sparse", c.size);
        EXPECT_EQ(queries_->FactsOf(path).size, c.reported) << c.size;
    }
}

TEST_F(LinuxFileQueriesTest, OwnerIsHostBackslashAccount) {
    const std::string path = MakeFile("mine.txt", 3);
    const std::string owner = queries_->FactsOf(path).owner;
    EXPECT_EQ(owner, ExpectedOwner(::getuid()));
    EXPECT_NE(owner.find('\\'), std::string::npos);
    EXPECT_EQ(owner.find('.'), std::string::npos) << "the host name ends at its first dot";
    EXPECT_EQ(queries_->FactsOf(dir_).owner, owner) << "a folder has an owner too";
}

TEST_F(LinuxFileQueriesTest, MissingOrDeletedFileHasNoSizeAndNoOwner) {
    const std::string path = MakeFile("gone.txt", 10);
    ExpectFacts(path, 10, ExpectedOwner(::getuid()));
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ExpectFacts(path, 0, "");
    ExpectFacts("", 0, "");
}

// Only account names are kept, never what a path showed: a file given away
// shows its new owner at the next query, in the same batch too.
TEST_F(LinuxFileQueriesTest, OwnerWithoutAnAccountIsEmptyAndTheSizeStays) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
    uid_t unused = 54321;
    while (::getpwuid(unused) != nullptr) ++unused;
    const std::string path = MakeFile("orphan.txt", 1);
    ExpectFacts(path, 1, ExpectedOwner(::getuid()));
    ASSERT_EQ(::chown(path.c_str(), unused, static_cast<gid_t>(-1)), 0);
    ExpectFacts(path, 1, "");
    // Within one batch and in the next, a known owner is still named.
    EXPECT_EQ(queries_->FactsOf(dir_).owner, ExpectedOwner(::getuid()));
    queries_->BeginBatch();
    ExpectFacts(path, 1, "");
    EXPECT_EQ(queries_->FactsOf(dir_).owner, ExpectedOwner(::getuid()));
}

}  // namespace
}  // namespace tarnwell
