// The attribute grid pane: the attributes of one element in a read-only
// "Property" / "Value" tree, grouped under the categories of the attribute
// schema in the order the schema first meets them, with every attribute the
// schema does not list under a final "Other" group. A description area under
// the tree shows the selected row's full value. The pane follows the
// document: cleared() empties it (it holds an element pointer only between
// loaded() and cleared()), loaded() and elementSelected() show an element.
// User-interface thread only.
#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class QAction;
class QTextBrowser;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace svg {
class CElem;
}

namespace vexo {

class CVexoDoc;

// The reference a grid row links to: the text between "url(" and the next
// ")" when the value begins with "url(", else the value itself when the
// attribute is xlink:href; empty when the row links nowhere.
QString LinkReference(const QString& name, const QString& value);

class CPropertiesWnd : public QWidget {
    Q_OBJECT
public:
    explicit CPropertiesWnd(CVexoDoc& doc, QWidget* parent = nullptr);

    // Lists `elem`'s attributes; null empties the grid.
    void ShowElement(const svg::CElem* elem);
    // Empties the grid and forgets the element.
    void Clear();
    const svg::CElem* Element() const { return elem_; }

    QTreeWidget* Tree() const { return tree_; }
    QTextBrowser* Description() const { return description_; }
    QAction* ExpandAllAction() const { return expandAllAction_; }
    QAction* CollapseAllAction() const { return collapseAllAction_; }
    QAction* SortAction() const { return sortAction_; }
    QAction* MoveToLinkAction() const { return moveToLinkAction_; }

    // Resolves the selected row's link from the shown element and selects
    // the target everywhere. False, with nothing selected, when the row links
    // nowhere usable (a reference needs a '#' or a .svg/.svgz file) or the
    // target is not found; the tool bar command then shows "Link unavailable".
    bool MoveToLink();

private:
    struct Row {
        QString name;
        QString value;
        QString description;
    };
    struct Group {
        QString category;
        std::vector<Row> rows;
    };

    static std::vector<Group> GroupAttributes(const svg::CElem& elem);
    QToolBar* CreateToolBar();
    void OnMoveToLinkCommand();
    // Fills the tree from groups_, by category or, when sorting, as one
    // alphabetical list.
    void Populate();
    void AddRowItem(QTreeWidgetItem* parent, const Row& row);
    void UpdateDescription();
    void UpdateActions();
    bool HasRows() const;

    CVexoDoc& doc_;
    const svg::CElem* elem_ = nullptr;
    std::vector<Group> groups_;
    QTreeWidget* tree_ = nullptr;
    QTextBrowser* description_ = nullptr;
    QAction* expandAllAction_ = nullptr;
    QAction* collapseAllAction_ = nullptr;
    QAction* sortAction_ = nullptr;
    QAction* moveToLinkAction_ = nullptr;
};

}  // namespace vexo
