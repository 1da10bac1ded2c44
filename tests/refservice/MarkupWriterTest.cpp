// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/MarkupWriter.h"
#include "refservice/SoapReply.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pondrel::refservice {

namespace {

std::string savedByPugixml(const pugi::xml_node &node)
{
    std::ostringstream stream;
    node.print(stream, "", pugi::format_raw, pugi::encoding_utf8);
    return stream.str();
}

} // namespace

// Listings written as text must be the very bytes the tree-built replies were: every character
// below 0x80, text beyond ASCII, a NUL inside a text, special characters past the first eight
// bytes, empty texts and numbers.
TEST(MarkupWriter, WritesTheBytesPugixmlSavesForTheSameElements)
{
    QString everyAscii;
    for (char16_t character = 1; character < 0x80; ++character)
        everyAscii.append(QChar(character));
    const QString texts[]
        = {everyAscii, everyAscii + QStringLiteral("é😀 <&>"), QStringLiteral("Summer & friends"),
            QStringLiteral("cut") + QChar(0) + QStringLiteral("off"), QString(QChar(0)), QString(),
            QStringLiteral("01234567<9abcdef"), QStringLiteral("0123456789&bcdefgh"),
            QStringLiteral("0123456789abcd>fg"),
            QStringLiteral("01234567\t9abcd\x01"
                           "fg\x7f"),
            QStringLiteral("0123456789") + QChar(0) + QStringLiteral("bcdefgh")};
    pugi::xml_document expected;
    pugi::xml_node root = expected.append_child("Assets");
    QByteArray written;
    MarkupWriter markup(written);
    QByteArray writtenFromUtf8;
    MarkupWriter fromUtf8(writtenFromUtf8);
    markup.open("Assets");
    fromUtf8.open("Assets");
    for (const QString &text : texts) {
        SoapReply::addText(root, "Name", text);
        markup.element("Name", text);
        fromUtf8.utf8Element("Name", text.toUtf8());
    }
    // Stored bytes that are not UTF-8 come out as a QString made of them would.
    const QByteArray broken("01234567\xff" "9abcde\xc3" "ghij");
    markup.element("Name", QString::fromUtf8(broken));
    fromUtf8.utf8Element("Name", broken);
    SoapReply::addText(root, "Name", QString::fromUtf8(broken));
    fromUtf8.close("Assets");
    const QByteArray namesAsText = written + "</Assets>";
    SoapReply::addText(root, "FileSize", QString::number(-4812345));
    markup.element("FileSize", qint64(-4812345));
    pugi::xml_document folder;
    SoapReply::addText(folder.append_child("FolderAsset"), "Name", QStringLiteral("a<b"));
    SoapReply::addText(root.append_child("FolderAsset"), "Name", QStringLiteral("a<b"));
    markup.tree(folder.first_child());
    markup.close("Assets");
    EXPECT_EQ(written.toStdString(), savedByPugixml(root));
    EXPECT_EQ(writtenFromUtf8, namesAsText);
}

// The text written into the result's markup lands inside the result element of the envelope,
// with the outputs after it, exactly where the tree would have put it.
TEST(MarkupWriter, ResultMarkupTakesThePlaceOfTheResultsChildren)
{
    SoapReply built(QStringLiteral("GetAssets"), QStringLiteral("urn:ns"));
    SoapReply::addText(
        SoapReply::addElement(built.result(), "Assets"), "Name", QStringLiteral("x"));
    built.addOutput(QStringLiteral("more"), QStringLiteral("1"));
    SoapReply written(QStringLiteral("GetAssets"), QStringLiteral("urn:ns"));
    MarkupWriter markup(written.resultMarkup());
    markup.open("Assets");
    markup.element("Name", QStringLiteral("x"));
    markup.close("Assets");
    written.addOutput(QStringLiteral("more"), QStringLiteral("1"));
    EXPECT_EQ(written.serialize(), built.serialize());
}

} // namespace pondrel::refservice
