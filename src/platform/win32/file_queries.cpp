// Size and owner of a path on Windows: file attributes and the owner SID of the
// security descriptor, named by the account lookup.

#include "platform/file_queries.h"

#include <windows.h>
// windows.h first: aclapi.h relies on its types.
#include <aclapi.h>

namespace tarnwell {
namespace {

// A path that names nothing: its owner cannot be read either, so a deleted
// file costs one query, not two.
bool NamesNothing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME;
}

std::string OwnerOf(const std::string& path) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return {};
    }
    // 255 of 256 passed: the last byte stays a terminator whatever the
    // lookup writes.
    char name[256] = {};
    char domain[256] = {};
    DWORD nameSize = 255;
    DWORD domainSize = 255;
    SID_NAME_USE use{};
    const BOOL found =
        LookupAccountSidA(nullptr, owner, name, &nameSize, domain, &domainSize, &use);
    // `owner` points into the descriptor: read it before this.
    LocalFree(descriptor);
    if (!found) return {};
    return std::string(domain) + "\\" + name;
}

// Two queries by name: no Windows call gives both, and a handle opened for
// both would change one of them, as the attribute query sees a symbolic link
// itself while the security query follows it.
class Win32FileQueries final : public FileQueries {
  public:
    FileFacts FactsOf(const std::string& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        FileFacts facts;
        if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
            facts.size = data.nFileSizeLow;
        } else if (NamesNothing(GetLastError())) {
            return facts;
        }
        facts.owner = OwnerOf(path);
        return facts;
    }
};

}  // namespace

std::unique_ptr<FileQueries> MakeFileQueries() {
    return std::make_unique<Win32FileQueries>();
}

}  // namespace tarnwell
