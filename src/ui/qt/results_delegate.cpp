#include "ui/qt/results_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <cmath>

namespace tarnwell {

namespace {

// Some screens' worth of cells: enough that rows scrolled up and down come
// back laid out, few enough that the texts of long-gone rows do not pile up.
constexpr qsizetype kMaxLaidTexts = 4096;

}  // namespace

ResultsDelegate::ResultsDelegate(Qt::TextElideMode elide, QObject* parent)
    : QStyledItemDelegate(parent), elide_(elide) {}

void ResultsDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = elide_;
}

const QStaticText& ResultsDelegate::Laid(const QString& text, int width,
                                         const QStyleOptionViewItem& option) const {
    if (width != laidWidth_ || option.font != laidFont_ || laid_.size() >= kMaxLaidTexts) {
        laid_.clear();
        laidWidth_ = width;
        laidFont_ = option.font;
    }
    auto found = laid_.find(text);
    if (found == laid_.end()) {
        // The cut the style makes: the whole text if it fits, else the text
        // cut where the column asks, with an ellipsis in its place.
        QStaticText laid(text);
        laid.setTextFormat(Qt::PlainText);
        laid.prepare(QTransform(), option.font);
        if (laid.size().width() > width) {
            laid.setText(option.fontMetrics.elidedText(text, elide_, width));
            laid.prepare(QTransform(), option.font);
        }
        found = laid_.insert(text, laid);
    }
    return *found;
}

void ResultsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    // Anything beyond one line of plain text (an icon, a check box, the frame
    // of a cell being edited) is the style's to draw.
    if (cell.features &
            (QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasCheckIndicator) ||
        cell.state & QStyle::State_Editing || cell.features & QStyleOptionViewItem::WrapText) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QWidget* widget = cell.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();

    // The panel and the selection, as the style draws them for a cell
    // without text; the focus frame goes over the text, as the style's does.
    const QString text = cell.text;
    const bool focused = (cell.state & QStyle::State_HasFocus) != 0;
    cell.text.clear();
    cell.features &= ~QStyleOptionViewItem::HasDisplay;
    cell.state &= ~QStyle::State_HasFocus;
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    cell.text = text;
    cell.features |= QStyleOptionViewItem::HasDisplay;
    if (focused) cell.state |= QStyle::State_HasFocus;

    QPalette::ColorGroup group =
        cell.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(cell.state & QStyle::State_Active))
        group = QPalette::Inactive;
    const bool selected = (cell.state & QStyle::State_Selected) != 0;

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget)
                           .adjusted(margin, 0, -margin, 0);
    if (!text.isEmpty() && area.width() > 0) {
        const QStaticText& laid = Laid(text, area.width(), cell);
        const QSize size(static_cast<int>(std::ceil(laid.size().width())),
                         cell.fontMetrics.height());
        const QRect placed = QStyle::alignedRect(cell.direction, cell.displayAlignment, size, area);
        painter->save();
        painter->setFont(cell.font);
        painter->setPen(
            cell.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setClipRect(area, Qt::IntersectClip);
        painter->drawStaticText(placed.topLeft(), laid);
        painter->restore();
    }

    if (focused) {
        QStyleOptionFocusRect frame;
        frame.QStyleOption::operator=(cell);
        frame.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &cell, widget);
        frame.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        frame.backgroundColor =
            cell.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, painter, widget);
    }
}

}  // namespace tarnwell
