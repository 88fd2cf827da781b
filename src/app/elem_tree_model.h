// The element trees of the loaded documents as a Qt item model: one top-level
// row per document of svg::DocumentList (main document first), under each the
// element tree in document order, "#string" and comment nodes included. Rows,
// labels and icons are computed from the elements when a view asks, so a
// tree of 100 000 elements costs only what is on screen. An index's internal
// pointer is its CElem.
//
// The model holds element pointers: call Clear() before the documents are
// deleted and ShowDocuments() once a load has ended; in between it is empty.
// Used on the user-interface thread only, while no load runs.
#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <unordered_map>
#include <vector>

namespace svg {
class CElem;
class CElemDocument;
class DocumentList;
}  // namespace svg

namespace vexo {

// The tree label of an element: its name, or the text the kind calls for
// ("use #a", `stop 0.5`, `svg "file.svg"`, the comment...), then " [id]".
// Very long texts are cut short.
QString ElemLabel(const svg::CElem& elem);

// The element's icon number: a kind of ElemIconKind, plus kDimmedIcon when
// the element is excluded, has display none or is not visible.
int ElemIconNumber(const svg::CElem& elem);

class CElemTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    // data() for this role gives ElemIconNumber.
    static constexpr int kIconNumberRole = Qt::UserRole;

    explicit CElemTreeModel(QObject* parent = nullptr);

    // Resets the model to the documents of `list` (null: none).
    void ShowDocuments(const svg::DocumentList* list);
    // Appends the documents of `list` after those shown: following a
    // reference loaded them after the load.
    void ShowNewDocuments(const svg::DocumentList& list);
    // Resets the model to nothing.
    void Clear();

    // The element of `index`; null for an invalid index.
    static const svg::CElem* Element(const QModelIndex& index);
    // The index of `elem`, found by walking up its ancestors; invalid when
    // it belongs to no document shown.
    QModelIndex IndexOf(const svg::CElem* elem) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    // The row of `elem` under its parent (or among the documents); -1 when
    // it is not there.
    int RowOf(const svg::CElem* elem) const;

    std::vector<const svg::CElemDocument*> documents_;
    // Rows of children, filled for all children of a parent the first time
    // one of them is asked for: a wide group is scanned once, not per child.
    mutable std::unordered_map<const svg::CElem*, int> rows_;
};

}  // namespace vexo
