#pragma once
// The tab area of the main window. A tab's text is the watched path, which can
// be far longer than a tab should be: the tab is kept to a sensible width and
// the path is shortened in its middle on screen, whole in the tab's tool tip.
// The text itself stays the path. User-interface thread only.

#include <QTabBar>
#include <QTabWidget>

namespace tarnwell {

// The widest a tab's text is shown, in average characters of the tab's font.
inline constexpr int kLongestTabTextInCharacters = 40;

class PathTabBar : public QTabBar {
    Q_OBJECT

  public:
    explicit PathTabBar(QWidget* parent = nullptr);

  protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;
    bool event(QEvent* event) override;
};

class PageTabs : public QTabWidget {
    Q_OBJECT

  public:
    explicit PageTabs(QWidget* parent = nullptr);
};

}  // namespace tarnwell
