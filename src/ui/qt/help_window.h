#pragma once
// The program's own help window: the topics of tarnwell.chm in a text browser
// (links, pictures and the style sheet come from the file), the file's table
// of contents and index beside them, and back and forward. One window serves
// the whole run; every request raises it at the topic asked for.
// User-interface thread only.

#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/help_viewer.h"

class QAction;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarnwell {

class ChmFile;

// The topic a context number is mapped to ("/main_window.html"); empty when
// the help file maps none. The same table the file's [MAP] is made from.
std::string TopicOfContext(std::uint32_t context);

// The address of a topic inside the help file, as the browser knows it.
QUrl HelpUrl(const std::string& insidePath);

class HelpBrowser : public QTextBrowser {
    Q_OBJECT

  public:
    explicit HelpBrowser(QWidget* parent = nullptr);
    void SetFile(const ChmFile* file) { file_ = file; }
    QVariant loadResource(int type, const QUrl& name) override;

  private:
    const ChmFile* file_ = nullptr;
};

class HelpWindow : public QWidget {
    Q_OBJECT

  public:
    explicit HelpWindow(QWidget* parent = nullptr);
    ~HelpWindow() override;

    // Opens `file` (again, if another file or a changed one was open), shows
    // the view asked for and raises the window.
    void ShowHelp(const std::string& file, HelpView view, std::uint32_t context);

    HelpBrowser* Browser() const { return browser_; }
    QTreeWidget* Contents() const { return contents_; }
    QListWidget* Index() const { return index_; }

  private:
    void OpenFile(const std::string& file);
    void ShowTopic(const std::string& insidePath);
    void FillContents();
    void FillIndex();
    void FilterIndex(const QString& typed);
    void OnLinkClicked(const QUrl& url);
    void MarkCurrentInContents(const QUrl& url);

    std::unique_ptr<ChmFile> file_;
    std::string openPath_;
    long long openStamp_ = 0;  // the open file's change time, to see it replaced
    HelpBrowser* browser_ = nullptr;
    QTabWidget* navigation_ = nullptr;
    QTreeWidget* contents_ = nullptr;
    QLineEdit* indexFilter_ = nullptr;
    QListWidget* index_ = nullptr;
    QAction* back_ = nullptr;
    QAction* forward_ = nullptr;
    QAction* home_ = nullptr;
};

// The viewer behind every help request: one HelpWindow for the run, made at
// the first request. Deleting the viewer closes the window.
std::unique_ptr<HelpViewer> MakeHelpWindowViewer();

}  // namespace tarnwell
