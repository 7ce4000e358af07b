#pragma once
// The tree of products, their updates and files, with a check state on
// products and updates: a click on the state image or the space key
// toggles it, and a product's state follows its updates.
#include <QTreeWidget>

#include "platform/ui/image_strip.h"

namespace klc {

enum TreeState : int { STATE_NONE = 0, STATE_CHECKED = 1, STATE_UNCHECKED = 2, STATE_PARTIAL = 3 };

// Where an item of the tree points: indexes into the catalogue; -1 where
// the level has none (a product has no update, an update no file).
struct TreePosition {
    int product{-1};
    int update{-1};
    int file{-1};
    int level() const { return update < 0 ? 0 : file < 0 ? 1 : 2; }
};

class CProductTree : public QTreeWidget {
    Q_OBJECT
  public:
    explicit CProductTree(QWidget* parent = nullptr);

    void SetImages(plat::ui::ImageStrip states, plat::ui::ImageStrip items);
    plat::ui::ImageStrip& Items() { return m_items; }

    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const QString& text, int image, int state,
                             TreePosition position);
    static int State(const QTreeWidgetItem* item);
    static int Image(const QTreeWidgetItem* item);
    static TreePosition Position(const QTreeWidgetItem* item);
    void SetState(QTreeWidgetItem* item, int state);

    // As the click and the space key do.
    void Toggle(QTreeWidgetItem* item);
    // The parent's state from its children's.
    void UpdateParentState(QTreeWidgetItem* parent);
    // Where the state image of the item is drawn, in viewport pixels.
    QRect StateImageRect(QTreeWidgetItem* item) const;

  signals:
    void stateToggled(QTreeWidgetItem* item);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Redraw(QTreeWidgetItem* item);

    plat::ui::ImageStrip m_states;
    plat::ui::ImageStrip m_items;
};

} // namespace klc
