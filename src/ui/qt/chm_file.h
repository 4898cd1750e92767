#pragma once
// Read access to a compiled HTML help file (chmlib): its topics, pictures and
// style sheets by path, and the names the file's own system record gives for
// its table of contents, index, start topic and title. Qt-free.
// User-interface thread only (one open file is not shared between threads).

#include <memory>
#include <optional>
#include <string>

struct chmFile;

namespace tarnwell {

class ChmFile {
  public:
    // Opens `path`; a missing or damaged file leaves IsOpen() false.
    explicit ChmFile(const std::string& path);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }

    // The bytes of the object at `path` ("/welcome.html"); nothing when the
    // file has no such object.
    std::optional<std::string> Read(const std::string& path) const;

    // Paths inside the file, each starting with "/"; empty when the file
    // does not name one.
    const std::string& ContentsPath() const { return contents_; }
    const std::string& IndexPath() const { return index_; }
    const std::string& DefaultTopic() const { return defaultTopic_; }
    const std::string& Title() const { return title_; }

  private:
    void ReadSystemRecord();
    void FindSitemapsByName();

    struct Closer {
        void operator()(chmFile* file) const;
    };
    std::unique_ptr<chmFile, Closer> file_;
    std::string contents_, index_, defaultTopic_, title_;
};

}  // namespace tarnwell
