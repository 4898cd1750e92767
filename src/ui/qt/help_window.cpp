#include "ui/qt/help_window.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "help_contexts.h"
#include "platform/shell_open.h"
#include "ui/qt/chm_file.h"
#include "ui/qt/help_sitemap.h"

namespace tarnwell {
namespace {

const QString kScheme = QStringLiteral("chm");
constexpr int kTopicRole = Qt::UserRole;

// Changes when the file is rewritten or replaced (a new build, an update).
long long ChangeStamp(const std::string& path) {
    std::error_code error;
    const auto modified = std::filesystem::last_write_time(path, error);
    if (error) return 0;
    const auto size = std::filesystem::file_size(path, error);
    return static_cast<long long>(modified.time_since_epoch().count()) ^
           (error ? 0 : static_cast<long long>(size) << 20);
}

// A sitemap's "Local" is relative to the file's root; the browser wants the
// address of the topic with any anchor kept.
QUrl UrlOfLocal(const std::string& local) {
    const QUrl relative(QString::fromUtf8(local));
    if (!relative.scheme().isEmpty()) return relative;
    return HelpUrl("/").resolved(relative);
}

}  // namespace

std::string TopicOfContext(std::uint32_t context) {
    for (const auto& entry : kHelpContextTopics)
        if (entry.context == context) return entry.topic;
    return {};
}

QUrl HelpUrl(const std::string& insidePath) {
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(QString::fromUtf8(insidePath));
    return url;
}

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent) {
    setObjectName(QStringLiteral("HelpBrowser"));
    // Links are followed here: topics inside the file, anything else by the
    // desktop.
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != kScheme || file_ == nullptr) return {};
    const std::optional<std::string> bytes = file_->Read(name.path().toStdString());
    if (!bytes) {
        if (type == QTextDocument::HtmlResource)
            return QStringLiteral("<p>This topic is not in the help file: %1</p>")
                .arg(name.path().toHtmlEscaped());
        return {};
    }
    return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Tarnwell Help"));
    // The main window alone ends the run; an open help window must not keep
    // it going, nor be the reason it ends.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("HelpToolBar"));
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    back_ = tools->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("Back"));
    back_->setObjectName(QStringLiteral("HelpBack"));
    back_->setShortcut(QKeySequence::Back);
    forward_ = tools->addAction(style()->standardIcon(QStyle::SP_ArrowForward), tr("Forward"));
    forward_->setObjectName(QStringLiteral("HelpForward"));
    forward_->setShortcut(QKeySequence::Forward);
    home_ = tools->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), tr("Home"));
    home_->setObjectName(QStringLiteral("HelpHome"));

    navigation_ = new QTabWidget(this);
    navigation_->setObjectName(QStringLiteral("HelpNavigation"));
    contents_ = new QTreeWidget(navigation_);
    contents_->setObjectName(QStringLiteral("HelpContents"));
    contents_->setHeaderHidden(true);
    navigation_->addTab(contents_, tr("Contents"));

    auto* indexPage = new QWidget(navigation_);
    indexFilter_ = new QLineEdit(indexPage);
    indexFilter_->setObjectName(QStringLiteral("HelpIndexFilter"));
    indexFilter_->setPlaceholderText(tr("Type a keyword"));
    indexFilter_->setClearButtonEnabled(true);
    index_ = new QListWidget(indexPage);
    index_->setObjectName(QStringLiteral("HelpIndex"));
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexLayout->setContentsMargins(0, 0, 0, 0);
    indexLayout->addWidget(indexFilter_);
    indexLayout->addWidget(index_);
    navigation_->addTab(indexPage, tr("Index"));

    browser_ = new HelpBrowser(this);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(navigation_);
    split->addWidget(browser_);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes(
        {fontMetrics().averageCharWidth() * 40, fontMetrics().averageCharWidth() * 110});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(split, 1);

    back_->setEnabled(false);
    forward_->setEnabled(false);
    connect(back_, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(forward_, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(home_, &QAction::triggered, this, [this] {
        if (file_) ShowTopic(file_->DefaultTopic());
    });
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::OnLinkClicked);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::MarkCurrentInContents);
    connect(contents_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item == nullptr) return;
        const QUrl url = item->data(0, kTopicRole).toUrl();
        if (url.isValid() && url != browser_->source()) browser_->setSource(url);
    });
    const auto openIndexEntry = [this](QListWidgetItem* item) {
        if (item != nullptr) browser_->setSource(item->data(kTopicRole).toUrl());
    };
    connect(index_, &QListWidget::itemActivated, this, openIndexEntry);
    connect(index_, &QListWidget::itemClicked, this, openIndexEntry);
    connect(indexFilter_, &QLineEdit::textChanged, this, &HelpWindow::FilterIndex);
    connect(navigation_, &QTabWidget::currentChanged, this, [this](int page) {
        if (page == 1) indexFilter_->setFocus();
    });
    connect(indexFilter_, &QLineEdit::returnPressed, this,
            [this, openIndexEntry] { openIndexEntry(index_->currentItem()); });

    // Wide enough for a topic beside the contents, and never larger than the
    // screen it opens on.
    QSize size(fontMetrics().averageCharWidth() * 150, fontMetrics().height() * 42);
    if (const QScreen* screen = QApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    resize(size);
}

HelpWindow::~HelpWindow() = default;

void HelpWindow::ShowHelp(const std::string& file, HelpView view, std::uint32_t context) {
    OpenFile(file);
    if (!file_) {
        browser_->setHtml(QStringLiteral("<p>The help file cannot be read: %1</p>")
                              .arg(QString::fromLocal8Bit(file).toHtmlEscaped()));
    } else {
        switch (view) {
            case HelpView::TableOfContents:
                navigation_->setCurrentIndex(0);
                ShowTopic(file_->DefaultTopic());
                break;
            case HelpView::Index:
                navigation_->setCurrentIndex(1);
                if (browser_->source().isEmpty()) ShowTopic(file_->DefaultTopic());
                indexFilter_->setFocus();
                break;
            case HelpView::Context: {
                // A number the file does not map gets the start topic rather
                // than an empty window.
                const std::string topic = TopicOfContext(context);
                ShowTopic(topic.empty() ? file_->DefaultTopic() : topic);
                break;
            }
        }
    }
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void HelpWindow::OpenFile(const std::string& file) {
    const long long stamp = ChangeStamp(file);
    if (file_ && file == openPath_ && stamp == openStamp_) return;
    browser_->SetFile(nullptr);
    browser_->clear();
    browser_->clearHistory();
    file_ = std::make_unique<ChmFile>(file);
    openPath_ = file;
    openStamp_ = stamp;
    if (!file_->IsOpen()) file_.reset();
    browser_->SetFile(file_.get());
    FillContents();
    FillIndex();
    if (file_ && !file_->Title().empty()) setWindowTitle(QString::fromUtf8(file_->Title()));
}

void HelpWindow::ShowTopic(const std::string& insidePath) {
    if (insidePath.empty()) return;
    const QUrl url = UrlOfLocal(insidePath.front() == '/' ? insidePath.substr(1) : insidePath);
    if (browser_->source() == url) return;
    browser_->setSource(url);
}

void HelpWindow::FillContents() {
    contents_->clear();
    if (!file_) return;
    const auto text = file_->Read(file_->ContentsPath());
    if (!text) return;
    std::vector<QTreeWidgetItem*> parents;
    for (const SitemapEntry& entry : ParseSitemap(*text)) {
        // parents[k] is the last entry at depth k; a skipped level counts as
        // the next one down.
        const std::size_t depth = std::min(static_cast<std::size_t>(entry.depth), parents.size());
        QTreeWidgetItem* item =
            depth == 0 ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(parents[depth - 1]);
        item->setText(0, QString::fromUtf8(entry.name));
        if (!entry.local.empty()) item->setData(0, kTopicRole, UrlOfLocal(entry.local));
        parents.resize(depth);
        parents.push_back(item);
    }
    contents_->expandAll();
    // A flat table of contents needs no room for branch marks.
    bool nested = false;
    for (int i = 0; i < contents_->topLevelItemCount(); ++i)
        nested = nested || contents_->topLevelItem(i)->childCount() > 0;
    contents_->setRootIsDecorated(nested);
}

void HelpWindow::FillIndex() {
    index_->clear();
    if (!file_) return;
    const auto text = file_->Read(file_->IndexPath());
    if (!text) return;
    for (const SitemapEntry& entry : ParseSitemap(*text)) {
        if (entry.local.empty()) continue;
        auto* item = new QListWidgetItem(QString::fromUtf8(entry.name), index_);
        item->setData(kTopicRole, UrlOfLocal(entry.local));
    }
    FilterIndex(indexFilter_->text());
}

void HelpWindow::FilterIndex(const QString& typed) {
    // As in the index of a help viewer: the keywords that begin with what is
    // typed, the first of them chosen.
    QListWidgetItem* first = nullptr;
    for (int i = 0; i < index_->count(); ++i) {
        QListWidgetItem* item = index_->item(i);
        const bool matches = item->text().startsWith(typed.trimmed(), Qt::CaseInsensitive);
        item->setHidden(!matches);
        if (matches && first == nullptr) first = item;
    }
    if (first != nullptr && !typed.isEmpty()) index_->setCurrentItem(first);
}

void HelpWindow::OnLinkClicked(const QUrl& url) {
    const QUrl target = browser_->source().resolved(url);
    if (target.scheme() == kScheme) {
        browser_->setSource(target);
        return;
    }
    // A web address in a topic goes to the user's browser.
    ShellOpen(0, target.toString().toStdString());
}

void HelpWindow::MarkCurrentInContents(const QUrl& url) {
    QUrl page = url;
    page.setFragment(QString());
    for (QTreeWidgetItemIterator it(contents_); *it != nullptr; ++it) {
        QUrl itemPage = (*it)->data(0, kTopicRole).toUrl();
        itemPage.setFragment(QString());
        if (itemPage == page) {
            const QSignalBlocker quiet(contents_);
            contents_->setCurrentItem(*it);
            return;
        }
    }
}

namespace {

class HelpWindowViewer final : public HelpViewer {
  public:
    // After the application object has gone, widgets can no longer be
    // deleted; the process is ending then anyway.
    ~HelpWindowViewer() override {
        if (QCoreApplication::instance() != nullptr) delete window_.data();
    }

    void Show(const std::string& file, HelpView view, std::uint32_t context) override {
        // Ownerless: the help belongs to none of the program's windows.
        if (!window_) window_ = new HelpWindow;
        window_->ShowHelp(file, view, context);
    }

  private:
    QPointer<HelpWindow> window_;
};

}  // namespace

std::unique_ptr<HelpViewer> MakeHelpWindowViewer() {
    return std::make_unique<HelpWindowViewer>();
}

}  // namespace tarnwell
