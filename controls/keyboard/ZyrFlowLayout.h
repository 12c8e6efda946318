// Places its items left to right in lines, starting a new line when the
// next item would pass the right edge, the way words fill a paragraph.
// Every item keeps its size hint. Internal to the library (the
// extended-character pop-up's layout).
//
// Negative spacings mean "not set": the parent widget's style (or the
// parent layout's spacing) decides, and failing both the item's own style.
// The generic QLayout::spacing() takes no part in the placement.
#pragma once

#include <QLayout>
#include <QList>
#include <QStyle>

class ZyrFlowLayout : public QLayout {
public:
    ZyrFlowLayout(QWidget* parent, int margin = -1, int hSpacing = -1, int vSpacing = -1);
    explicit ZyrFlowLayout(int margin = -1, int hSpacing = -1, int vSpacing = -1);
    ~ZyrFlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int horizontalSpacing() const;
    int verticalSpacing() const;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;
    QSize sizeHint() const override;
    QLayoutItem* takeAt(int index) override;

private:
    int doLayout(const QRect& rect, bool testOnly) const;
    int smartSpacing(QStyle::PixelMetric pm) const;

    QList<QLayoutItem*> m_items;
    int m_hSpace;
    int m_vSpace;
};
