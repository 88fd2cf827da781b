#include "app/elem_tree_model.h"

#include <QFileInfo>
#include <algorithm>
#include <string_view>

#include "app/icons.h"
#include "model/document.h"
#include "model/elem.h"

namespace vexo {
namespace {

// A label is one row of the tree: a long comment or data: URL is cut here so
// that drawing a row never converts megabytes.
constexpr qsizetype kMaxLabelChars = 200;

QString LabelText(const std::string& text)
{
    // Four bytes at most per character: enough bytes for the longest label.
    const std::size_t bytes = std::min<std::size_t>(text.size(), 4 * kMaxLabelChars + 4);
    QString label = QString::fromUtf8(text.data(), static_cast<qsizetype>(bytes));
    if (label.size() > kMaxLabelChars || bytes < text.size()) {
        label.truncate(kMaxLabelChars);
        if (!label.isEmpty() && label.back().isHighSurrogate())
            label.chop(1);
        label += QChar(0x2026);
    }
    // A row has one line; line breaks inside text nodes and comments would
    // be clipped.
    for (QChar& c : label)
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    return label;
}

QString Quoted(const std::string& text) { return u'"' + LabelText(text) + u'"'; }

// The name, then a blank and `suffix` unless the suffix is empty (the
// attribute it comes from is missing or empty).
QString NameWith(const svg::CElem& elem, const QString& suffix)
{
    const QString name = QString::fromStdString(elem.Name());
    return suffix.isEmpty() ? name : name + u' ' + suffix;
}

// The attribute's text, or an empty string when it is missing or empty;
// `quoted` puts a present value in double quotes.
QString AttributeText(const svg::CElem& elem, std::string_view name, bool quoted)
{
    const std::string* value = elem.attributes.Value(name);
    if (value == nullptr || value->empty())
        return {};
    return quoted ? Quoted(*value) : LabelText(*value);
}

QString DocumentLabel(const svg::CElemDocument& document)
{
    const QString fileName = QFileInfo(QString::fromStdString(document.Path())).fileName();
    if (fileName.startsWith(u'.'))
        return QStringLiteral("svg (temporary)");
    return QStringLiteral("svg ") + Quoted(fileName.toStdString());
}

QString KindLabel(const svg::CElem& elem)
{
    using svg::ElementId;
    switch (elem.Class()) {
    case svg::ElemClass::Comment: return LabelText(static_cast<const svg::CElemComment&>(elem).text);
    case svg::ElemClass::String: return Quoted(static_cast<const svg::CElemString&>(elem).text);
    case svg::ElemClass::Document: return DocumentLabel(static_cast<const svg::CElemDocument&>(elem));
    default: break;
    }
    switch (elem.Id()) {
    case ElementId::use: return NameWith(elem, AttributeText(elem, "xlink:href", false));
    case ElementId::font: return NameWith(elem, AttributeText(elem, "font-family", false));
    case ElementId::font_face: return NameWith(elem, AttributeText(elem, "font-family", true));
    case ElementId::glyph: return NameWith(elem, AttributeText(elem, "unicode", true));
    case ElementId::hkern:
    case ElementId::vkern: {
        const QString g1 = AttributeText(elem, "g1", true);
        const QString g2 = AttributeText(elem, "g2", true);
        return NameWith(elem, g1.isEmpty() || g2.isEmpty() ? QString() : g1 + u'-' + g2);
    }
    case ElementId::stop: return NameWith(elem, AttributeText(elem, "offset", false));
    default: return QString::fromStdString(elem.Name());
    }
}

int IconKind(const svg::CElem& elem)
{
    using svg::ElementId;
    if (elem.instanceSource != nullptr)
        return kIconInstance;
    switch (elem.Class()) {
    case svg::ElemClass::Comment: return kIconComment;
    case svg::ElemClass::String: return kIconString;
    case svg::ElemClass::Document: return kIconDocument;
    default: break;
    }
    switch (elem.Id()) {
    case ElementId::use: return kIconUse;
    case ElementId::font:
    case ElementId::font_face: return kIconFont;
    case ElementId::glyph:
    case ElementId::hkern:
    case ElementId::vkern:
    case ElementId::stop: return kIconElement;
    case ElementId::filter:
    case ElementId::mask:
    case ElementId::pattern:
    case ElementId::marker:
    case ElementId::clipPath:
    case ElementId::linearGradient:
    case ElementId::radialGradient: return kIconPaintServer;
    case ElementId::text:
    case ElementId::tspan:
    case ElementId::tref:
    case ElementId::textPath:
    case ElementId::altGlyph: return kIconText;
    default: break;
    }
    return elem.IsA(svg::ElemClass::Container) ? kIconContainer : kIconElement;
}

bool Dimmed(const svg::CElem& elem)
{
    return elem.excluded || elem.props.display == svg::Display::None ||
           elem.props.visibility != svg::Visibility::Visible;
}

}  // namespace

QString ElemLabel(const svg::CElem& elem)
{
    QString label = KindLabel(elem);
    if (!elem.IdAttribute().empty())
        label += QStringLiteral(" [") + LabelText(elem.IdAttribute()) + u']';
    return label;
}

int ElemIconNumber(const svg::CElem& elem) { return IconKind(elem) + (Dimmed(elem) ? kDimmedIcon : 0); }

// --- CElemTreeModel --------------------------------------------------------------

CElemTreeModel::CElemTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void CElemTreeModel::ShowDocuments(const svg::DocumentList* list)
{
    beginResetModel();
    documents_.clear();
    rows_.clear();
    for (std::size_t i = 0; list != nullptr && i < list->Size(); ++i)
        documents_.push_back(list->At(i));
    endResetModel();
}

void CElemTreeModel::ShowNewDocuments(const svg::DocumentList& list)
{
    const std::size_t shown = documents_.size();
    if (shown == 0 || list.Size() <= shown)
        return;  // nothing shown means no load has ended: nothing to add to
    beginInsertRows(QModelIndex(), static_cast<int>(shown), static_cast<int>(list.Size() - 1));
    for (std::size_t i = shown; i < list.Size(); ++i)
        documents_.push_back(list.At(i));
    endInsertRows();
}

void CElemTreeModel::Clear()
{
    beginResetModel();
    documents_.clear();
    rows_.clear();
    endResetModel();
}

const svg::CElem* CElemTreeModel::Element(const QModelIndex& index)
{
    return index.isValid() ? static_cast<const svg::CElem*>(index.internalPointer()) : nullptr;
}

int CElemTreeModel::RowOf(const svg::CElem* elem) const
{
    const svg::CElem* parent = elem->Parent();
    if (parent == nullptr) {
        const auto found = std::find(documents_.begin(), documents_.end(), elem);
        return found != documents_.end() ? static_cast<int>(found - documents_.begin()) : -1;
    }
    auto cached = rows_.find(elem);
    if (cached == rows_.end()) {
        int row = 0;
        for (const svg::CElem* sibling : parent->Children())
            rows_.emplace(sibling, row++);
        cached = rows_.find(elem);
    }
    return cached != rows_.end() ? cached->second : -1;
}

QModelIndex CElemTreeModel::IndexOf(const svg::CElem* elem) const
{
    if (elem == nullptr)
        return {};
    const svg::CElem* top = elem;
    while (top->Parent() != nullptr)
        top = top->Parent();
    if (RowOf(top) < 0)
        return {};  // not in a document shown
    const int row = RowOf(elem);
    return row < 0 ? QModelIndex() : createIndex(row, 0, const_cast<svg::CElem*>(elem));
}

QModelIndex CElemTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column != 0)
        return {};
    if (!parent.isValid()) {
        if (static_cast<std::size_t>(row) >= documents_.size())
            return {};
        return createIndex(row, 0, const_cast<svg::CElemDocument*>(documents_[static_cast<std::size_t>(row)]));
    }
    const auto children = Element(parent)->Children();
    if (static_cast<std::size_t>(row) >= children.size())
        return {};
    return createIndex(row, 0, const_cast<svg::CElem*>(children[static_cast<std::size_t>(row)]));
}

QModelIndex CElemTreeModel::parent(const QModelIndex& child) const
{
    const svg::CElem* elem = Element(child);
    if (elem == nullptr || elem->Parent() == nullptr)
        return {};
    const svg::CElem* parentElem = elem->Parent();
    const int row = RowOf(parentElem);
    if (row < 0)
        return {};
    return createIndex(row, 0, const_cast<svg::CElem*>(parentElem));
}

int CElemTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return static_cast<int>(documents_.size());
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(Element(parent)->Children().size());
}

int CElemTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool CElemTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return !documents_.empty();
    return parent.column() == 0 && !Element(parent)->Children().empty();
}

QVariant CElemTreeModel::data(const QModelIndex& index, int role) const
{
    const svg::CElem* elem = Element(index);
    if (elem == nullptr)
        return {};
    switch (role) {
    case Qt::DisplayRole: return ElemLabel(*elem);
    case Qt::DecorationRole: return ElemIcon(ElemIconNumber(*elem));
    case kIconNumberRole: return ElemIconNumber(*elem);
    default: return {};
    }
}

}  // namespace vexo
