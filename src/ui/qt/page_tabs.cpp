#include "ui/qt/page_tabs.h"

#include <QHelpEvent>
#include <QToolTip>
#include <algorithm>

namespace tarnwell {

PathTabBar::PathTabBar(QWidget* parent) : QTabBar(parent) {
    setObjectName(QStringLiteral("PathTabBar"));
    // The start of a path and the name at its end say the most.
    setElideMode(Qt::ElideMiddle);
}

QSize PathTabBar::tabSizeHint(int index) const {
    QSize size = QTabBar::tabSizeHint(index);
    // The text's room plus the tab's own frame and padding.
    const int textWidth = fontMetrics().horizontalAdvance(tabText(index));
    const int frame = std::max(0, size.width() - textWidth);
    const int widest = kLongestTabTextInCharacters * fontMetrics().averageCharWidth() + frame;
    size.setWidth(std::min(size.width(), widest));
    return size;
}

QSize PathTabBar::minimumTabSizeHint(int index) const {
    return tabSizeHint(index).boundedTo(QTabBar::minimumTabSizeHint(index).expandedTo(
        QSize(fontMetrics().averageCharWidth() * 8, 0)));
}

bool PathTabBar::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = tabAt(help->pos());
        if (index >= 0 && tabToolTip(index).isEmpty()) {
            // The text as the page set it: "&&" stands for one "&".
            QString whole = tabText(index);
            whole.replace(QLatin1String("&&"), QLatin1String("&"));
            QToolTip::showText(help->globalPos(), whole, this, tabRect(index));
            return true;
        }
    }
    return QTabBar::event(event);
}

PageTabs::PageTabs(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new PathTabBar(this));
}

}  // namespace tarnwell
