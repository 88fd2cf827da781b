// The element tree pane: one root per loaded document, labels and icons by
// element kind, the selection kept in step with the document both ways, the
// subtree commands and following xlink:href.
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

#include "app/app_test_support.h"
#include "app/elem_tree_model.h"
#include "app/elem_view.h"
#include "app/icons.h"
#include "app/settings.h"
#include "app/vexo_doc.h"
#include "model/document.h"
#include "model/references.h"
#include "model/elem.h"

using vexo::CElemView;
using vexo::CVexoDoc;
using vexo::CElemTreeModel;
using vexo::CSettings;
using vexo::test::OpenAndWait;

namespace {

const QByteArray kMain =
    "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' width='100' height='100'>\n"
    "<defs><linearGradient id='grad'><stop offset='0.5' stop-color='red'/><stop stop-color='blue'/>"
    "</linearGradient></defs>\n"
    "<g id='group'><rect id='hidden' width='5' height='5' display='none'/>"
    "<rect id='invisible' width='1' height='1' visibility='hidden'/></g>\n"
    "<text>hello</text>\n"
    "<use id='ext' xlink:href='other.svg#r'/>\n"
    "<use id='local' xlink:href='#group'/>\n"
    "<use id='broken' xlink:href='#missing'/>\n"
    "<font><font-face font-family='Serif Demo'/><glyph id='ga' unicode='a'/><glyph id='gnone'/>"
    "<hkern id='kab' g1='a' g2='b'/><hkern id='ka' g1='a'/></font>\n"
    "<switch><rect id='other-language' systemLanguage='xx' width='1' height='1'/></switch>\n"
    "<a id='later' xlink:href='third.svg#t'><rect width='1' height='1'/></a>\n"
    "<g id='outer'><g id='middle'><g id='inner'><rect width='1' height='1'/></g></g></g>\n"
    "</svg>";
const QByteArray kOther =
    "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><rect id='r' width='3' height='3'/></svg>";
const QByteArray kThird =
    "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><circle id='t' r='3'/></svg>";

// Stands in for the "Link unavailable" message box, which would block.
class TestElemView : public CElemView {
public:
    using CElemView::CElemView;
    int linkUnavailable = 0;

protected:
    void ReportLinkUnavailable() override { ++linkUnavailable; }
};

}  // namespace

class ElemViewTest : public vexo::test::DocTestBase {
    Q_OBJECT
private slots:
    void init()
    {
        MakeDocument();
        view_ = std::make_unique<TestElemView>(*doc_);
        env_->WriteFile("other.svg", kOther);
        env_->WriteFile("third.svg", kThird);
        mainPath_ = env_->WriteFile("main.svg", kMain);
    }

    void cleanup()
    {
        view_.reset();
        DropDocument();
    }

    void referencedDocumentIsSecondRoot()
    {
        OpenAndWait(*doc_, mainPath_);
        CElemTreeModel& model = *view_->Model();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(Label(model.index(0, 0)), QString("svg \"main.svg\""));
        QCOMPARE(Label(model.index(1, 0)), QString("svg \"other.svg\""));
        QVERIFY(view_->Tree()->isExpanded(model.index(0, 0)));
        QVERIFY(view_->Tree()->isExpanded(model.index(1, 0)));
        QCOMPARE(model.rowCount(model.index(0, 0)), static_cast<int>(doc_->Root()->Children().size()));
        // The main root is selected in the tree and everywhere else.
        QCOMPARE(view_->SelectedElement(), doc_->Root());
        QCOMPARE(doc_->Selected(), doc_->Root());
    }

    void labelsAndIconsByKind()
    {
        OpenAndWait(*doc_, mainPath_);
        QCOMPARE(LabelOf("#grad"), QString("linearGradient [grad]"));
        QCOMPARE(IconOf("#grad"), vexo::kIconPaintServer);
        const svg::CElem* gradient = Find("#grad");
        QCOMPARE(Label(gradient->Children()[0]), QString("stop 0.5"));
        QCOMPARE(Label(gradient->Children()[1]), QString("stop"));
        QCOMPARE(Icon(gradient->Children()[0]), vexo::kIconElement);
        QCOMPARE(LabelOf("#group"), QString("g [group]"));
        QCOMPARE(IconOf("#group"), vexo::kIconContainer);
        QCOMPARE(Icon(doc_->Root()), vexo::kIconDocument);

        // text, and its character data in quotes.
        const svg::CElem* text = doc_->Root()->Children()[2];
        QCOMPARE(Label(text), QString("text"));
        QCOMPARE(Icon(text), vexo::kIconText);
        QCOMPARE(Label(text->Children()[0]), QString("\"hello\""));
        QCOMPARE(Icon(text->Children()[0]), vexo::kIconString);

        // A use, and the clone of its target under it.
        QCOMPARE(LabelOf("#ext"), QString("use other.svg#r [ext]"));
        QCOMPARE(IconOf("#ext"), vexo::kIconUse);
        const svg::CElem* clone = Find("#ext")->Children()[0];
        QCOMPARE(Label(clone), QString("rect [r]"));
        QCOMPARE(Icon(clone), vexo::kIconInstance);

        const svg::CElem* font = Find("#ga")->Parent();
        QCOMPARE(Label(font), QString("font"));
        QCOMPARE(Icon(font), vexo::kIconFont);
        QCOMPARE(Label(font->Children()[0]), QString("font-face \"Serif Demo\""));
        QCOMPARE(Icon(font->Children()[0]), vexo::kIconFont);
        QCOMPARE(LabelOf("#ga"), QString("glyph \"a\" [ga]"));
        QCOMPARE(LabelOf("#gnone"), QString("glyph [gnone]"));
        QCOMPARE(LabelOf("#kab"), QString("hkern \"a\"-\"b\" [kab]"));
        QCOMPARE(LabelOf("#ka"), QString("hkern [ka]"));
        QCOMPARE(IconOf("#kab"), vexo::kIconElement);

        // Not rendered: display none, hidden, excluded by systemLanguage.
        for (const char* reference : {"#hidden", "#invisible", "#other-language"})
            QCOMPARE(IconOf(reference), vexo::kIconElement + vexo::kDimmedIcon);
        QCOMPARE(vexo::ElemIcon(IconOf("#hidden")).cacheKey(),
                 vexo::ElemIcon(vexo::kIconElement + vexo::kDimmedIcon).cacheKey());
    }

    void commentsAndLongTexts()
    {
        // Loaded documents carry no comments; the pane still labels them.
        svg::CElemComment comment(nullptr, " a note ");
        QCOMPARE(vexo::ElemLabel(comment), QString(" a note "));
        QCOMPARE(vexo::ElemIconNumber(comment), vexo::kIconComment);

        svg::CElemString text(nullptr, "line one\nline two" + std::string(5000, 'x'));
        const QString label = vexo::ElemLabel(text);
        QVERIFY(label.startsWith("\"line one line two"));
        QVERIFY(label.size() < 300);
        QVERIFY(label.endsWith(QString(QChar(0x2026)) + "\""));
    }

    void temporaryAndCompressedFiles()
    {
        OpenAndWait(*doc_, env_->WriteFile(".vexo-temp.svg", kOther));
        QCOMPARE(Label(view_->Model()->index(0, 0)), QString("svg (temporary)"));
        QVERIFY(!view_->EditSvgTextAction()->isEnabled());

        // The loader tells compressed files by their bytes, so plain text
        // under the .SVGZ name loads; the editor is offered for neither.
        OpenAndWait(*doc_, env_->WriteFile("drawing.SVGZ", kOther));
        QCOMPARE(Label(view_->Model()->index(0, 0)), QString("svg \"drawing.SVGZ\""));
        QVERIFY(!view_->EditSvgTextAction()->isEnabled());

        OpenAndWait(*doc_, mainPath_);
        QVERIFY(view_->EditSvgTextAction()->isEnabled());
        doc_->SelectElement(Find("#group"));
        QVERIFY(!view_->EditSvgTextAction()->isEnabled());
    }

    void selectionFollowsDocument()
    {
        OpenAndWait(*doc_, mainPath_);
        QTreeView& tree = *view_->Tree();
        const QModelIndex group = view_->Model()->IndexOf(Find("#group"));
        QVERIFY(!tree.isExpanded(group));

        doc_->SelectElement(Find("#hidden"));
        QCOMPARE(view_->SelectedElement(), Find("#hidden"));
        QVERIFY(tree.isExpanded(group));

        // An element of the referenced document.
        const svg::CElem* rect = doc_->Documents()->At(1)->Children()[0];
        doc_->SelectElement(rect);
        QCOMPARE(view_->SelectedElement(), rect);
        QCOMPARE(tree.currentIndex(), view_->Model()->IndexOf(rect));
        // A clone inside a use instance (the main view's hit test can give one).
        const svg::CElem* clone = Find("#local")->Children()[0]->Children()[0];
        doc_->SelectElement(clone);
        QCOMPARE(view_->SelectedElement(), clone);

        doc_->SelectElement(nullptr);
        QCOMPARE(view_->SelectedElement(), nullptr);
        // An element of no loaded document selects nothing.
        svg::CElemShape stray("rect", nullptr);
        doc_->SelectElement(Find("#group"));
        doc_->SelectElement(&stray);
        QCOMPARE(view_->SelectedElement(), nullptr);
    }

    void userSelectionSelectsEverywhere()
    {
        OpenAndWait(*doc_, mainPath_);
        QSignalSpy selected(doc_.get(), &CVexoDoc::elementSelected);
        const QModelIndex group = view_->Model()->IndexOf(Find("#group"));
        view_->Tree()->selectionModel()->setCurrentIndex(group, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(doc_->Selected(), Find("#group"));
        QCOMPARE(view_->SelectedElement(), Find("#group"));

        // A right click selects the item under the mouse before the menu opens.
        view_->resize(300, 600);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
        const QModelIndex text = view_->Model()->IndexOf(doc_->Root()->Children()[2]);
        const QPoint pos = view_->Tree()->visualRect(text).center();
        QTimer::singleShot(0, [] {
            if (QWidget* menu = QApplication::activePopupWidget())
                menu->close();
        });
        emit view_->Tree()->customContextMenuRequested(pos);
        QCOMPARE(doc_->Selected(), doc_->Root()->Children()[2]);
        QCOMPARE(selected.count(), 2);
    }

    void wideGroupFindsRows()
    {
        QByteArray text = "<svg xmlns='http://www.w3.org/2000/svg'><g id='wide'>";
        for (int i = 0; i < 3000; ++i)
            text += "<rect id='r" + QByteArray::number(i) + "' width='1' height='1'/>";
        text += "</g></svg>";
        OpenAndWait(*doc_, env_->WriteFile("wide.svg", text));
        const CElemTreeModel& model = *view_->Model();
        const QModelIndex index = model.IndexOf(Find("#r2500"));
        QCOMPARE(index.row(), 2500);
        QCOMPARE(model.parent(index), model.IndexOf(Find("#wide")));
        QCOMPARE(model.index(2500, 0, model.parent(index)), index);
        QCOMPARE(Label(index), QString("rect [r2500]"));
        QCOMPARE(model.parent(model.IndexOf(Find("#wide"))), model.index(0, 0));
    }

    void clearedAndFailedLoadsEmptyTheTree()
    {
        OpenAndWait(*doc_, mainPath_);
        doc_->Close();
        QCOMPARE(view_->Model()->rowCount(), 0);
        QCOMPARE(view_->SelectedElement(), nullptr);

        OpenAndWait(*doc_, env_->Path("absent.svg"));
        QCOMPARE(view_->Model()->rowCount(), 0);
        QCOMPARE(doc_->Selected(), nullptr);
    }

    void expandAndCollapseSubtrees()
    {
        OpenAndWait(*doc_, mainPath_);
        QTreeView& tree = *view_->Tree();
        const CElemTreeModel& model = *view_->Model();
        const QModelIndex outer = model.IndexOf(Find("#outer"));
        const QModelIndex middle = model.IndexOf(Find("#middle"));
        const QModelIndex inner = model.IndexOf(Find("#inner"));
        doc_->SelectElement(Find("#outer"));
        QVERIFY(view_->ExpandAction()->isEnabled());
        view_->ExpandSelected();
        QVERIFY(tree.isExpanded(outer) && tree.isExpanded(middle) && tree.isExpanded(inner));

        view_->CollapseSelected();
        QVERIFY(!tree.isExpanded(outer) && !tree.isExpanded(middle) && !tree.isExpanded(inner));
        // Expanded again, the subtree shows folded.
        tree.expand(outer);
        QVERIFY(!tree.isExpanded(middle));

        doc_->SelectElement(Find("#hidden"));
        QVERIFY(!view_->ExpandAction()->isEnabled());
        QVERIFY(!view_->CollapseAction()->isEnabled());
    }

    void moveToHrefFollowsTheLink()
    {
        OpenAndWait(*doc_, mainPath_);
        doc_->SelectElement(Find("#group"));
        QVERIFY(!view_->MoveToHrefAction()->isEnabled());

        doc_->SelectElement(Find("#ext"));
        QVERIFY(view_->MoveToHrefAction()->isEnabled());
        view_->MoveToHref();
        const svg::CElem* target = doc_->Selected();
        QVERIFY(target != nullptr);
        QCOMPARE(target->IdAttribute(), std::string("r"));
        QCOMPARE(target->Document(), doc_->Documents()->At(1));
        QCOMPARE(view_->SelectedElement(), target);

        doc_->SelectElement(Find("#broken"));
        view_->MoveToHref();
        QCOMPARE(view_->linkUnavailable, 1);
        QCOMPARE(doc_->Selected(), Find("#broken"));

        // A link into a file no load has read yet: the file becomes a third
        // root of the tree.
        doc_->SelectElement(Find("#later"));
        view_->MoveToHref();
        QCOMPARE(view_->linkUnavailable, 1);
        QCOMPARE(view_->Model()->rowCount(), 3);
        QCOMPARE(Label(view_->Model()->index(2, 0)), QString("svg \"third.svg\""));
        QCOMPARE(view_->SelectedElement()->IdAttribute(), std::string("t"));
    }

private:
    QString Label(const QModelIndex& index) const { return view_->Model()->data(index).toString(); }
    QString Label(const svg::CElem* elem) const { return Label(view_->Model()->IndexOf(elem)); }
    QString LabelOf(const char* reference) const { return Label(Find(reference)); }
    int Icon(const svg::CElem* elem) const
    {
        return view_->Model()->data(view_->Model()->IndexOf(elem), CElemTreeModel::kIconNumberRole).toInt();
    }
    int IconOf(const char* reference) const { return Icon(Find(reference)); }

    std::unique_ptr<TestElemView> view_;
    QString mainPath_;
};

QTEST_MAIN(ElemViewTest)
#include "elem_view_qtest.moc"
