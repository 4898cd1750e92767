#pragma once
// The six groups of a watch page above its results list. At the usual sizes
// they stand in two rows of three; where the page is too narrow for that (a
// large font, a scaled screen) they reflow into two columns, and at the last
// into one, so no group is ever cut off at the right. User-interface thread only.

#include <QScrollArea>
#include <QWidget>
#include <array>
#include <vector>

namespace tarnwell {

// The groups in the order of the widest arrangement, row by row:
// location, control, output to screen; activity, status, output to file.
inline constexpr int kGroupCount = 6;

// Rows of group indexes for an arrangement of 3, 2 or 1 columns.
const std::vector<std::vector<int>>& GroupRows(int columns);

// The most columns (3, 2, 1) whose arrangement fits `width`, given the width
// each arrangement needs; 1 when none fits.
int ColumnsThatFit(int width, const std::array<int, 3>& neededForOneTwoThree);

class GroupFlow : public QWidget {
    Q_OBJECT

  public:
    GroupFlow(const std::array<QWidget*, kGroupCount>& groups, QWidget* parent = nullptr);

    // The arrangement in use at the available width.
    int Columns() const { return ColumnsThatFit(AvailableWidth(), NeededWidths()); }

    // The width the arrangement is chosen for when it differs from the
    // widget's own: a scrolling frame's full width, scroll bar included, so
    // that a scroll bar never makes the groups reflow into more rows and so
    // keep itself needed.
    void SetAvailableWidth(int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    int AvailableWidth() const { return availableWidth_ >= 0 ? availableWidth_ : width(); }
    std::array<int, 3> NeededWidths() const;
    int WidthFor(int columns) const;
    int HeightFor(int columns) const;
    void Place();

    std::array<QWidget*, kGroupCount> groups_;
    int availableWidth_ = -1;
};

// The groups in a scrolling frame: on a screen too short for the groups and a
// useful part of the list, the groups scroll and the list keeps its rows.
class GroupArea : public QScrollArea {
    Q_OBJECT

  public:
    explicit GroupArea(GroupFlow* flow, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    GroupFlow* flow_;
    bool laidOut_ = false;
    int hintHeight_ = -1;
};

}  // namespace tarnwell
