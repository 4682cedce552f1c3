#include "foundation/XMLUtils.h"

#include <QDomDocument>

#include <gtest/gtest.h>

namespace {

QDomDocument parse(const char* xml)
{
    QDomDocument document;
    document.setContent(QByteArray(xml));
    return document;
}

} // namespace

TEST(XMLUtils, LookupsAmongDirectChildren)
{
    const QDomDocument document = parse("<root><a>text<b>inner</b></a><b>top</b><empty/><item>1</item><item>2</item></root>");
    const QDomElement root = document.documentElement();

    EXPECT_EQ(getXMLTreeName(root), QStringLiteral("root"));
    EXPECT_EQ(getXMLTreeName(QDomNode()), QStringLiteral(""));
    EXPECT_EQ(findXMLTag(root, QStringLiteral("b")), QStringLiteral("top"));
    EXPECT_EQ(findXMLTag(root, QStringLiteral("empty")), QStringLiteral(""));
    EXPECT_TRUE(findXMLTag(root, QStringLiteral("missing")).isNull());
    EXPECT_EQ(findXMLTag(QDomNode(), QStringLiteral("b")), QStringLiteral(""));
    EXPECT_EQ(getXMLTag(findXMLElem(root, QStringLiteral("a"))), QStringLiteral("text"));
    EXPECT_EQ(getXMLTag(findXMLElem(root, QStringLiteral("empty"))), QStringLiteral(""));

    EXPECT_EQ(getXMLTag(findXMLElemPath(root, QStringLiteral("a/b"))), QStringLiteral("inner"));
    EXPECT_TRUE(findXMLElemPath(root, QStringLiteral("a/x")).isNull());
    EXPECT_TRUE(findXMLElemPath(root, QStringLiteral("b/b")).isNull());

    EXPECT_EQ(getXMLTag(findnthXMLElem(root, QStringLiteral("item"), 1)), QStringLiteral("2"));
    EXPECT_TRUE(findnthXMLElem(root, QStringLiteral("item"), 2).isNull());
}

TEST(XMLUtils, TextChildrenDoNotCountAsElements)
{
    // "a" as a text node beside the element a: the path only looks at elements.
    const QDomDocument document = parse("<root><x>a</x><a><b>found</b></a></root>");
    const QDomElement x = findXMLElem(document.documentElement(), QStringLiteral("x"));
    EXPECT_EQ(findXMLTag(x, QStringLiteral("a")), QStringLiteral("")) << "a text child named by its characters";
    EXPECT_TRUE(findXMLElem(x, QStringLiteral("a")).isNull());
    EXPECT_EQ(getXMLTag(findXMLElemPath(document.documentElement(), QStringLiteral("a/b"))), QStringLiteral("found"));
}
