// The versions document through MSXML: the product's Version and URL found by
// full or local name, namespaces honoured, the encoding declaration obeyed,
// and what is missing or malformed told apart.

#include <gtest/gtest.h>

#include <string>

#include "ui/win32/msxml_versions_reader.h"
#include "ui/win32_test_support.h"

namespace tarnwell {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new test::Win32Environment);

using Outcome = VersionsEntry::Outcome;

TEST(MsxmlVersionsReader, ReadsTheProductsEntry) {
    struct Case {
        const char* name;
        std::string body;
        Outcome outcome;
        std::string version;
        std::string url;
    };
    const Case cases[] = {
        {"plain",
         "<ProductVersions><Other><Version>9</Version></Other><Tarnwell><Version>1.2</Version>"
         "<URL>http://x/dl</URL></Tarnwell></ProductVersions>",
         Outcome::Found, "1.2", "http://x/dl"},
        {"declaration and blanks",
         "<?xml version=\"1.0\"?>\n<ProductVersions>\n <Tarnwell>\n  <Version>1.0</Version>\n"
         "  <URL> http://x </URL>\n </Tarnwell>\n</ProductVersions>\n",
         Outcome::Found, "1.0", " http://x "},
        {"prefixed names",
         "<p:ProductVersions xmlns:p=\"urn:v\"><p:Tarnwell><p:Version>2</p:Version>"
         "<p:URL>u</p:URL></p:Tarnwell></p:ProductVersions>",
         Outcome::Found, "2", "u"},
        {"other namespace's child does not count",
         "<ProductVersions xmlns=\"urn:v\"><Tarnwell><Version xmlns=\"urn:w\">2</Version>"
         "</Tarnwell></ProductVersions>",
         Outcome::Missing, "", ""},
        {"encoding declaration",
         std::string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><ProductVersions><Tarnwell>"
                     "<Version>1.5</Version><URL>http://x/caf\xe9</URL></Tarnwell>"
                     "</ProductVersions>"),
         Outcome::Found, "1.5", "http://x/caf?"},
        {"empty elements",
         "<ProductVersions><Tarnwell><Version/><URL/></Tarnwell></ProductVersions>", Outcome::Found,
         "", ""},
        {"no product", "<ProductVersions><Other/></ProductVersions>", Outcome::Missing, "", ""},
        {"case matters", "<productversions><Tarnwell/></productversions>", Outcome::Missing, "",
         ""},
        {"no URL", "<ProductVersions><Tarnwell><Version>1</Version></Tarnwell></ProductVersions>",
         Outcome::Missing, "", ""},
        {"version in CDATA",
         "<ProductVersions><Tarnwell><Version><![CDATA[1.2]]></Version><URL>u</URL></Tarnwell>"
         "</ProductVersions>",
         Outcome::Malformed, "", ""},
        {"not XML", "<ProductVersions><Tarnwell>", Outcome::Malformed, "", ""},
        {"empty body", "", Outcome::Malformed, "", ""},
    };
    win32::MsxmlVersionsReader reader;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const VersionsEntry entry = reader.Read(c.body, "Tarnwell");
        EXPECT_EQ(entry.outcome, c.outcome) << entry.error;
        if (c.outcome == Outcome::Found) {
            EXPECT_EQ(entry.version, c.version);
            // The system's 8-bit text: é survives where the code page has it.
            const std::size_t kept =
                c.url.find('?') == std::string::npos ? c.url.size() : c.url.size() - 1;
            EXPECT_EQ(entry.url.substr(0, kept), c.url.substr(0, kept));
        }
        if (c.outcome == Outcome::Malformed) {
            EXPECT_FALSE(entry.error.empty());
        }
    }
}

TEST(MsxmlVersionsReader, AMalformedUrlComesWithTheVersionsText) {
    win32::MsxmlVersionsReader reader;
    const VersionsEntry entry = reader.Read(
        "<ProductVersions><Tarnwell><Version>new</Version><URL><![CDATA[u]]></URL></Tarnwell>"
        "</ProductVersions>",
        "Tarnwell");
    EXPECT_EQ(entry.outcome, Outcome::Malformed);
    EXPECT_TRUE(entry.urlMalformed);
    EXPECT_EQ(entry.version, "new");
}

}  // namespace
}  // namespace tarnwell
