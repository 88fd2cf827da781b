// The attribute grid on loaded documents: categories in the schema's order,
// the "Other" group, the loader's location attribute kept out, the
// alphabetical toggle, Move to link, and following the document's signals.
#include <QAction>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

#include "app/app_test_support.h"
#include "app/properties_wnd.h"
#include "app/settings.h"
#include "app/vexo_doc.h"
#include "model/document.h"
#include "model/references.h"
#include "model/elem.h"

using vexo::CPropertiesWnd;
using vexo::CVexoDoc;
using vexo::test::OpenAndWait;

namespace {

const QByteArray kDocument =
    "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' width='100' height='100'>\n"
    "<defs><linearGradient id='grad'><stop offset='0' stop-color='red'/></linearGradient></defs>\n"
    "<rect id='r' x='1' y='2' width='30' height='40' style='fill:url(#grad)' foo='bar'/>\n"
    "<circle r='5' onclick='go()' id='c' systemLanguage='en' fill='red'/>\n"
    "<use id='u' xlink:href='#r'/>\n"
    "<use id='lost' xlink:href='#missing'/>\n"
    "<a id='web' xlink:href='http://example.com/'><rect width='1' height='1'/></a>\n"
    "<svg id='inner' x='10'><use id='innerUse' xlink:href='#c'/></svg>\n"
    "<use id='far' xlink:href='other.svg#o'/>\n"
    "<g id='bare'><title/></g><mystery id='m' a='1'/>\n"
    "</svg>";

const QByteArray kOtherDocument =
    "<svg xmlns='http://www.w3.org/2000/svg'><rect id='o' width='5' height='5'/></svg>";

QStringList TopLevelTexts(const QTreeWidget* tree)
{
    QStringList texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts << tree->topLevelItem(i)->text(0);
    return texts;
}

QStringList ChildTexts(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

QTreeWidgetItem* FindItem(const QTreeWidget* tree, const QString& name)
{
    const QList<QTreeWidgetItem*> found = tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive, 0);
    return found.isEmpty() ? nullptr : found.first();
}

}  // namespace

class PropertiesWndTest : public vexo::test::DocTestBase {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        MakeDocument();
        env_->WriteFile("other.svg", kOtherDocument);
        wnd_ = std::make_unique<CPropertiesWnd>(*doc_);
        QObject::connect(doc_.get(), &CVexoDoc::elementSelected, [this](const svg::CElem* elem) { selected_.append(elem); });
        OpenAndWait(*doc_, env_->WriteFile("grid.svg", kDocument));
        QVERIFY(doc_->Root() != nullptr);
    }

    void init() { selected_.clear(); }

    void rectGroupsByCategoryWithOtherLast()
    {
        const svg::CElem* rect = Find("#r");
        doc_->SelectElement(rect);
        QCOMPARE(wnd_->Element(), rect);
        const QTreeWidget* tree = wnd_->Tree();
        // The style declaration's fill opens STYLE before POSITION, as the
        // schema meets #Style and #Paint before the rectangle's own rows.
        QCOMPARE(TopLevelTexts(tree), QStringList({"ID", "STYLE", "POSITION", "Other"}));
        QCOMPARE(ChildTexts(tree->topLevelItem(1)), QStringList({"fill"}));
        QCOMPARE(ChildTexts(tree->topLevelItem(2)), QStringList({"x", "y", "width", "height"}));
        QCOMPARE(ChildTexts(tree->topLevelItem(3)), QStringList({"foo"}));
        QCOMPARE(tree->topLevelItem(2)->child(2)->text(1), QString("30"));
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            QVERIFY(tree->topLevelItem(i)->isExpanded());

        // The loader keeps each element's source position as an attribute;
        // the grid never lists it.
        QVERIFY(rect->attributes.Contains("VexoLoc"));
        QVERIFY(FindItem(tree, "VexoLoc") == nullptr);

        // The description repeats a schema row's value; "Other" rows have none.
        wnd_->Tree()->setCurrentItem(FindItem(tree, "height"));
        QVERIFY(wnd_->Description()->toPlainText().contains("40"));
        wnd_->Tree()->setCurrentItem(FindItem(tree, "foo"));
        QCOMPARE(wnd_->Description()->toPlainText().trimmed(), QString("foo"));
    }

    void groupsFollowSchemaOrderNotAttributeOrder()
    {
        // Written as r, onclick, id, systemLanguage, fill.
        doc_->SelectElement(Find("#c"));
        QCOMPARE(TopLevelTexts(wnd_->Tree()), QStringList({"ID", "CONDITION", "STYLE", "EVENT", "POSITION"}));
    }

    void sortToggleListsRowsAlphabetically()
    {
        doc_->SelectElement(Find("#r"));
        QAction* sort = wnd_->SortAction();
        QVERIFY(sort->isEnabled());
        sort->setChecked(true);
        QCOMPARE(TopLevelTexts(wnd_->Tree()), QStringList({"fill", "foo", "height", "id", "width", "x", "y"}));
        // The mode stays while other elements are shown.
        doc_->SelectElement(Find("#c"));
        QCOMPARE(TopLevelTexts(wnd_->Tree()), QStringList({"fill", "id", "onclick", "r", "systemLanguage"}));
        sort->setChecked(false);
        QCOMPARE(TopLevelTexts(wnd_->Tree()).first(), QString("ID"));

        // An element whose only attribute is its source position has no rows.
        const svg::CElem* title = Find("#bare")->Children()[0];
        QCOMPARE(title->Name(), std::string("title"));
        doc_->SelectElement(title);
        QCOMPARE(wnd_->Tree()->topLevelItemCount(), 0);
        QVERIFY(!sort->isEnabled());
    }

    void unknownElementsListEverythingUnderOther()
    {
        doc_->SelectElement(Find("#m"));
        QCOMPARE(TopLevelTexts(wnd_->Tree()), QStringList({"Other"}));
        QCOMPARE(ChildTexts(wnd_->Tree()->topLevelItem(0)), QStringList({"id", "a"}));
    }

    void moveToLinkSelectsTheTarget()
    {
        doc_->SelectElement(Find("#u"));
        QAction* move = wnd_->MoveToLinkAction();
        QVERIFY(!move->isEnabled());
        wnd_->Tree()->setCurrentItem(FindItem(wnd_->Tree(), "id"));
        QVERIFY(!move->isEnabled());
        QVERIFY(!wnd_->MoveToLink());
        wnd_->Tree()->setCurrentItem(FindItem(wnd_->Tree(), "xlink:href"));
        QVERIFY(move->isEnabled());
        selected_.clear();
        QVERIFY(wnd_->MoveToLink());
        QCOMPARE(selected_, QList<const svg::CElem*>({Find("#r")}));
        QCOMPARE(wnd_->Element(), Find("#r"));

        // A paint reference "url(#grad)" leads to the gradient.
        wnd_->Tree()->setCurrentItem(FindItem(wnd_->Tree(), "fill"));
        QVERIFY(move->isEnabled());
        QVERIFY(wnd_->MoveToLink());
        QCOMPARE(wnd_->Element()->Name(), std::string("linearGradient"));
    }

    void moveToLinkFailsWithoutSelecting()
    {
        for (const char* id : {"#lost", "#web"}) {
            doc_->SelectElement(Find(id));
            wnd_->Tree()->setCurrentItem(FindItem(wnd_->Tree(), "xlink:href"));
            QVERIFY(wnd_->MoveToLinkAction()->isEnabled());
            selected_.clear();
            QVERIFY2(!wnd_->MoveToLink(), id);
            QVERIFY(selected_.isEmpty());
            QCOMPARE(wnd_->Element(), Find(id));
        }
    }

    void moveToLinkFromNestedSvgAndOtherFile()
    {
        doc_->SelectElement(Find("#inner"));
        QCOMPARE(ChildTexts(FindItem(wnd_->Tree(), "POSITION")), QStringList({"x"}));

        const svg::CElem* innerUse = Find("#innerUse");
        QCOMPARE(innerUse->Parent(), Find("#inner"));
        doc_->SelectElement(innerUse);
        wnd_->Tree()->setCurrentItem(FindItem(wnd_->Tree(), "xlink:href"));
        QVERIFY(wnd_->MoveToLink());
        QCOMPARE(wnd_->Element(), Find("#c"));

        doc_->SelectElement(Find("#far"));
        wnd_->Tree()->setCurrentItem(FindItem(wnd_->Tree(), "xlink:href"));
        QVERIFY(wnd_->MoveToLink());
        QCOMPARE(wnd_->Element()->IdAttribute(), std::string("o"));
        QVERIFY(wnd_->Element()->Document() != doc_->Root());
    }

    void linkReferenceExtraction()
    {
        using vexo::LinkReference;
        QCOMPARE(LinkReference("xlink:href", "#a"), QString("#a"));
        QCOMPARE(LinkReference("xlink:href", "pic.svg"), QString("pic.svg"));
        QCOMPARE(LinkReference("fill", "url(#g) red"), QString("#g"));
        QCOMPARE(LinkReference("filter", "url(f.svg#x"), QString("f.svg#x"));
        QCOMPARE(LinkReference("fill", "red"), QString());
        QCOMPARE(LinkReference("xlink:title", "#a"), QString());
    }

    // Last: it drops the loaded document.
    void clearedAndReloadEmptyTheGrid()
    {
        doc_->SelectElement(Find("#r"));
        QVERIFY(wnd_->Tree()->topLevelItemCount() > 0);
        doc_->Close();
        QVERIFY(wnd_->Element() == nullptr);
        QCOMPARE(wnd_->Tree()->topLevelItemCount(), 0);
        QVERIFY(!wnd_->MoveToLink());

        // A completed load shows the document's selection, which a load resets.
        OpenAndWait(*doc_, env_->Path("grid.svg"));
        QVERIFY(wnd_->Element() == nullptr);
        QCOMPARE(wnd_->Tree()->topLevelItemCount(), 0);
    }

private:
    std::unique_ptr<CPropertiesWnd> wnd_;
    QList<const svg::CElem*> selected_;
};

QTEST_MAIN(PropertiesWndTest)
#include "properties_wnd_qtest.moc"
