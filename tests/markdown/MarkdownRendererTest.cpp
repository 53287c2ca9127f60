#include "ModelBuilders.h"

#include <gtest/gtest.h>

using namespace ModelBuilders;

namespace {

using A = RawTableColumnAlignment;

TEST(MarkdownRender, extensionBlocksAreWrittenAndReadBack)
{
    const BlockNodes blocks{
        BlockNode::taskList(true, {task(true, "done"), task(false, "open")}),
        paragraph("between"), // adjacent lists would be kept apart by an HTML comment
        BlockNode::numberedList(true, 3, {item("three"), item("four")}),
        BlockNode::table({A::Left, A::Center, A::Right}, {row({"a", "b", "c"}), row({"1", "2", "3"})}),
        BlockNode::codeBlock("json", "{}\n"),
        BlockNode::paragraph({InlineNode::strikethrough({text("old")}), text(" "),
                              InlineNode::link("https://example.com/a", {text("link")}), text(" then"),
                              InlineNode::lineBreak(), InlineNode::image("pic.png", {text("alt")})}),
    };
    const std::string markdown = renderMarkdown(blocks);
    EXPECT_NE(markdown.find("- [x] done\n- [ ] open\n"), std::string::npos) << markdown;
    EXPECT_NE(markdown.find("3.  three\n"), std::string::npos) << markdown;
    EXPECT_NE(markdown.find("| :-- | :-: | --: |"), std::string::npos) << markdown;
    EXPECT_NE(markdown.find("~~old~~"), std::string::npos) << markdown;
    EXPECT_EQ(parse(markdown), blocks) << markdown;
}

TEST(MarkdownRender, modelsTheParserNeverMakesStillGiveSoundText)
{
    // A header row narrower than the others is filled up, so the text is still a table.
    const BlockNodes jagged{BlockNode::table({A::Right}, {row({"h"}), row({"1", "2"})})};
    EXPECT_EQ(parse(renderMarkdown(jagged)),
              BlockNodes{BlockNode::table(
                  {A::Right, A::None}, {RawTableRow{{RawTableCell{{text("h")}}, RawTableCell{}}}, row({"1", "2"})})});

    // A table without rows cannot be written and is left out; its neighbours stay.
    const BlockNodes withEmptyTable{paragraph("before"), BlockNode::table({A::None}, {}), paragraph("after")};
    EXPECT_EQ(parse(renderMarkdown(withEmptyTable)), (BlockNodes{paragraph("before"), paragraph("after")}));

    // Out-of-range heading levels are written at the nearest level.
    EXPECT_EQ(parse(renderMarkdown({BlockNode::heading(9, {text("deep")})})),
              BlockNodes{BlockNode::heading(6, {text("deep")})});
}

TEST(MarkdownRender, plainTextAndTableCopyText)
{
    const BlockNodes blocks = parse("Some *emphasis* and **strong** with `code`.\n");
    EXPECT_EQ(renderPlainText(blocks), "Some emphasis and strong with code.\n");

    const BlockNodes table = parse("| Name | Qty |\n|:--|--:|\n| apple | 3 |\n");
    ASSERT_EQ(table.size(), 1u);
    const std::string copied = tableCopyText(table[0]);
    EXPECT_EQ(copied + '\n', renderPlainText(table)); // exactly the final line feed removed
    EXPECT_NE(copied.find("apple"), std::string::npos);
    EXPECT_NE(copied.back(), '\n');
}

} // namespace
