#include "ui/qt/group_flow.h"

#include <QScrollBar>
#include <algorithm>

namespace tarnwell {
namespace {

constexpr int kSpacing = 2;

}  // namespace

const std::vector<std::vector<int>>& GroupRows(int columns) {
    // Two columns keep each setting beside the group it belongs with: where
    // to look and the buttons, what to track and the status, the two outputs.
    static const std::vector<std::vector<int>> three{{0, 1, 2}, {3, 4, 5}};
    static const std::vector<std::vector<int>> two{{0, 1}, {3, 4}, {2, 5}};
    static const std::vector<std::vector<int>> one{{0}, {3}, {1}, {4}, {2}, {5}};
    return columns >= 3 ? three : columns == 2 ? two : one;
}

int ColumnsThatFit(int width, const std::array<int, 3>& neededForOneTwoThree) {
    for (int columns = 3; columns > 1; --columns)
        if (neededForOneTwoThree[static_cast<std::size_t>(columns - 1)] <= width) return columns;
    return 1;
}

GroupFlow::GroupFlow(const std::array<QWidget*, kGroupCount>& groups, QWidget* parent)
    : QWidget(parent), groups_(groups) {
    for (QWidget* group : groups_) group->setParent(this);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int GroupFlow::WidthFor(int columns) const {
    const auto& rows = GroupRows(columns);
    int total = 0;
    for (int column = 0; column < columns; ++column) {
        int widest = 0;
        for (const auto& row : rows)
            if (column < static_cast<int>(row.size()))
                widest = std::max(widest, groups_[row[column]]->sizeHint().width());
        total += widest;
    }
    return total + kSpacing * (columns - 1);
}

int GroupFlow::HeightFor(int columns) const {
    int total = 0;
    for (const auto& row : GroupRows(columns)) {
        int tallest = 0;
        for (const int group : row)
            tallest = std::max(tallest, groups_[group]->sizeHint().height());
        total += tallest;
    }
    return total + kSpacing * (static_cast<int>(GroupRows(columns).size()) - 1);
}

std::array<int, 3> GroupFlow::NeededWidths() const {
    return {WidthFor(1), WidthFor(2), WidthFor(3)};
}

QSize GroupFlow::sizeHint() const {
    return {WidthFor(3), HeightFor(3)};
}

QSize GroupFlow::minimumSizeHint() const {
    return {WidthFor(1), HeightFor(3)};
}

int GroupFlow::heightForWidth(int width) const {
    return HeightFor(
        ColumnsThatFit(availableWidth_ >= 0 ? availableWidth_ : width, NeededWidths()));
}

void GroupFlow::SetAvailableWidth(int width) {
    if (width == availableWidth_) return;
    availableWidth_ = width;
    Place();
}

void GroupFlow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Place();
}

void GroupFlow::Place() {
    const int columns = Columns();
    const auto& rows = GroupRows(columns);
    std::vector<int> widths(static_cast<std::size_t>(columns), 0);
    for (const auto& row : rows)
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], groups_[row[column]]->sizeHint().width());
    // The groups of a row share its height, as the rows of a grid do.
    int y = 0;
    for (const auto& row : rows) {
        int tallest = 0;
        for (const int group : row)
            tallest = std::max(tallest, groups_[group]->sizeHint().height());
        int x = 0;
        for (std::size_t column = 0; column < row.size(); ++column) {
            groups_[row[column]]->setGeometry(x, y, widths[column], tallest);
            x += widths[column] + kSpacing;
        }
        y += tallest + kSpacing;
    }
    // The size the arrangement needs: a frame around it scrolls to what
    // does not fit.
    const QSize needed(WidthFor(columns), HeightFor(columns));
    if (minimumSize() != needed) {
        setMinimumSize(needed);
        updateGeometry();
    }
}

GroupArea::GroupArea(GroupFlow* flow, QWidget* parent) : QScrollArea(parent), flow_(flow) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidget(flow);
    // Never taller than the groups need: the list gets the rest.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
}

QSize GroupArea::sizeHint() const {
    // Until the page has been laid out the width is not known; the groups'
    // own widest arrangement is the guess.
    const int available = laidOut_ ? width() : flow_->sizeHint().width();
    return {flow_->sizeHint().width(), flow_->heightForWidth(available)};
}

void GroupArea::resizeEvent(QResizeEvent* event) {
    flow_->SetAvailableWidth(width() - 2 * frameWidth());
    QScrollArea::resizeEvent(event);
    laidOut_ = true;
    // A new arrangement needs a new height, which the page must hear of.
    const int needed = flow_->heightForWidth(width());
    if (needed != hintHeight_) {
        hintHeight_ = needed;
        updateGeometry();
    }
}

QSize GroupArea::minimumSizeHint() const {
    // Room for the first row of groups; the rest can be scrolled to.
    const int scrollBar = verticalScrollBar()->sizeHint().width();
    return {flow_->minimumSizeHint().width() + scrollBar, flow_->sizeHint().height() / 2};
}

}  // namespace tarnwell
