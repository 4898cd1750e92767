// Reads the built tarnwell.chm back with extract_chmLib and checks what a
// help viewer relies on: every topic is inside, the table of contents lists
// every topic, and every context number maps to a topic inside the file (not
// to a path of the build machine, as chmcmd writes it when run in place).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);  // the file is little-endian, as is x86
    return value;
}

class ChmContents : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(fs::is_regular_file(TARNWELL_CHM_PATH))
            << TARNWELL_CHM_PATH << " was not built (is chmcmd installed?)";
        char dir_template[] = "/tmp/tarnwell-chm-XXXXXX";
        ASSERT_NE(mkdtemp(dir_template), nullptr);
        extracted_ = new fs::path(dir_template);
        const std::string command = std::string("extract_chmLib '") + TARNWELL_CHM_PATH + "' '" +
                                    extracted_->string() + "/out' >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        *extracted_ /= "out";
    }
    static void TearDownTestSuite() {
        if (extracted_ != nullptr) fs::remove_all(extracted_->parent_path());
        delete extracted_;
        extracted_ = nullptr;
    }

    static std::set<std::string> SourceTopics() {
        std::set<std::string> topics;
        for (const auto& entry : fs::directory_iterator(TARNWELL_HELP_SOURCE_DIR))
            if (entry.path().extension() == ".html") topics.insert(entry.path().filename());
        return topics;
    }

    // context number -> topic, as written in help/contexts.txt
    static std::map<std::uint32_t, std::string> SourceContexts() {
        std::map<std::uint32_t, std::string> contexts;
        std::ifstream in(fs::path(TARNWELL_HELP_SOURCE_DIR) / "contexts.txt");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream fields(line);
            std::uint32_t number = 0;
            std::string symbol, topic;
            fields >> number >> symbol >> topic;
            contexts[number] = topic;
        }
        return contexts;
    }

    // context number -> target path stored in the file's alias table (#IVB
    // pairs of number and offset into #STRINGS).
    static std::map<std::uint32_t, std::string> StoredContexts() {
        const std::string ivb = ReadFile(*extracted_ / "#IVB");
        const std::string strings = ReadFile(*extracted_ / "#STRINGS");
        std::map<std::uint32_t, std::string> contexts;
        if (ivb.size() < 4) return contexts;
        const std::size_t length = Le32(ivb, 0);
        for (std::size_t at = 4; at + 8 <= 4 + length && at + 8 <= ivb.size(); at += 8) {
            const std::uint32_t offset = Le32(ivb, at + 4);
            if (offset < strings.size()) contexts[Le32(ivb, at)] = strings.c_str() + offset;
        }
        return contexts;
    }

    static fs::path* extracted_;
};

fs::path* ChmContents::extracted_ = nullptr;

TEST_F(ChmContents, HoldsEveryTopicUnchanged) {
    const auto topics = SourceTopics();
    ASSERT_GE(topics.size(), 7u);
    for (const auto& topic : topics) {
        SCOPED_TRACE(topic);
        ASSERT_TRUE(fs::is_regular_file(*extracted_ / topic));
        EXPECT_EQ(ReadFile(*extracted_ / topic),
                  ReadFile(fs::path(TARNWELL_HELP_SOURCE_DIR) / topic));
    }
}

TEST_F(ChmContents, TableOfContentsListsEveryTopic) {
    const std::string toc = ReadFile(*extracted_ / "tarnwell.hhc");
    ASSERT_FALSE(toc.empty());
    for (const auto& topic : SourceTopics())
        EXPECT_NE(toc.find("<param name=\"Local\" value=\"" + topic + "\">"), std::string::npos)
            << topic << " is missing from the table of contents";
}

TEST_F(ChmContents, EveryContextMapsToATopicInsideTheFile) {
    const auto source = SourceContexts();
    const auto stored = StoredContexts();
    ASSERT_EQ(source.at(1028), "main_window.html");
    EXPECT_EQ(stored.size(), source.size());
    for (const auto& [number, topic] : source) {
        SCOPED_TRACE(number);
        ASSERT_EQ(stored.count(number), 1u);
        EXPECT_EQ(stored.at(number), "/" + topic);
        EXPECT_TRUE(fs::is_regular_file(*extracted_ / topic));
    }
}

}  // namespace
