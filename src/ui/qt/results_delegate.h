#pragma once
// Paints the cells of the results list as the style's own item delegate
// does (panel, selection, focus frame, one line of text cut to the column),
// with each cell's laid-out text kept from one paint to the next. While
// changes stream in, the list repaints every row on screen at each frame
// although only a few rows are new; laying out the same texts again was the
// largest part of the user-interface thread's time.
// User-interface thread only.

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace tarnwell {

class ResultsDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    // `elide`: where a text wider than its column is cut.
    explicit ResultsDelegate(Qt::TextElideMode elide, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    // The text as it is drawn in a column `width` pixels wide.
    const QStaticText& Laid(const QString& text, int width,
                            const QStyleOptionViewItem& option) const;

    Qt::TextElideMode elide_;
    // Texts as laid out for one column width and one font; any other width
    // or font starts afresh.
    mutable QHash<QString, QStaticText> laid_;
    mutable int laidWidth_ = -1;
    mutable QFont laidFont_;
};

}  // namespace tarnwell
