#include "ModelBuilders.h"

#include "markdown/HTMLTag.h"
#include "markdown/MarkdownContent.h"

#include <gtest/gtest.h>

#include <future>
#include <unordered_set>

using namespace ModelBuilders;

namespace {

using Kind = BlockNode::Kind;

TEST(MarkdownParse, emptyAndBlankInputGiveNoBlocks)
{
    EXPECT_TRUE(parse("").empty());
    EXPECT_TRUE(parse("   \n\n\t\n").empty());
    EXPECT_TRUE(MarkdownContent(std::string_view()).blocks.empty());
}

TEST(MarkdownParse, listsKeepTheirKindStartAndTightness)
{
    // One ticked item turns the whole list into a task list; the plain item is open.
    EXPECT_EQ(parse("- [x] done\n- plain\n"),
              BlockNodes{BlockNode::taskList(true, {task(true, "done"), task(false, "plain")})});
    EXPECT_EQ(parse("1. [ ] open\n2. [X] shut\n"),
              BlockNodes{BlockNode::taskList(true, {task(false, "open"), task(true, "shut")})});

    EXPECT_EQ(parse("3. three\n4. four\n"),
              BlockNodes{BlockNode::numberedList(true, 3, {item("three"), item("four")})});
    EXPECT_EQ(parse("0. zero\n"), BlockNodes{BlockNode::numberedList(true, 0, {item("zero")})});

    EXPECT_EQ(parse("* a\n\n* b\n"), BlockNodes{BlockNode::bulletedList(false, {item("a"), item("b")})});

    // A checkbox that is not at the start of the item is plain text.
    const BlockNodes notTask = parse("- text [x]\n");
    ASSERT_EQ(notTask.size(), 1u);
    EXPECT_EQ(notTask[0].kind(), Kind::bulletedList);
}

TEST(MarkdownParse, codeBlocksKeepFenceInfoAndFinalLineFeed)
{
    EXPECT_EQ(parse("```json\n{\"a\": 1}\n```\n"),
              BlockNodes{BlockNode::codeBlock("json", "{\"a\": 1}\n")});
    EXPECT_EQ(parse("~~~ python extra\nx\n~~~\n"), BlockNodes{BlockNode::codeBlock("python extra", "x\n")});
    // Indented code has an empty, not an absent, fence info.
    EXPECT_EQ(parse("    let x = 1\n"), BlockNodes{BlockNode::codeBlock("", "let x = 1\n")});
    EXPECT_EQ(parse("```\n```\n"), BlockNodes{BlockNode::codeBlock("", "")});
}

TEST(MarkdownParse, extensionInlinesAndRawHtml)
{
    EXPECT_EQ(parse("~~gone~~ kept\n"),
              BlockNodes{BlockNode::paragraph({InlineNode::strikethrough({text("gone")}), text(" kept")})});

    const BlockNodes autolinked = parse("see www.example.com now\n");
    ASSERT_EQ(autolinked.size(), 1u);
    const InlineNodes& inlines = autolinked[0].as<BlockNode::Paragraph>()->content;
    ASSERT_EQ(inlines.size(), 3u);
    EXPECT_EQ(inlines[1], InlineNode::link("http://www.example.com", {text("www.example.com")}));

    const BlockNodes broken = parse("one<br>two\n");
    ASSERT_EQ(broken.size(), 1u);
    const InlineNodes& parts = broken[0].as<BlockNode::Paragraph>()->content;
    ASSERT_EQ(parts.size(), 3u);
    ASSERT_EQ(parts[1].kind(), InlineNode::Kind::html);
    const std::optional<HTMLTag> tag = HTMLTag::fromInlineHtml(parts[1].as<InlineNode::Html>()->html);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->name, "br");

    // The tag filter only matters for HTML output: the model keeps the literal.
    EXPECT_EQ(parse("<script>alert(1)</script>\n"),
              BlockNodes{BlockNode::htmlBlock("<script>alert(1)</script>\n")});
}

TEST(MarkdownParse, linksAndImagesKeepWhatWasWritten)
{
    EXPECT_EQ(parse("[empty]()\n"), BlockNodes{BlockNode::paragraph({InlineNode::link("", {text("empty")})})});
    // Titles are not part of the model; relative destinations stay unresolved.
    EXPECT_EQ(parse("[a](../x \"title\")\n"),
              BlockNodes{BlockNode::paragraph({InlineNode::link("../x", {text("a")})})});
    EXPECT_EQ(parse("![alt *text*](img.png#gh-dark-mode-only)\n"),
              BlockNodes{BlockNode::paragraph({InlineNode::image(
                  "img.png#gh-dark-mode-only", {text("alt "), InlineNode::emphasis({text("text")})})})});
}

TEST(MarkdownParse, tablesHaveAlignmentsAndTheHeaderRowFirst)
{
    const BlockNodes blocks = parse("| L | C | R | N |\n|:--|:-:|--:|---|\n| 1 | 2 | 3 | 4 |\n| short |\n");
    using A = RawTableColumnAlignment;
    EXPECT_EQ(blocks, BlockNodes{BlockNode::table({A::left, A::center, A::right, A::none},
                                                   {row({"L", "C", "R", "N"}), row({"1", "2", "3", "4"}),
                                                    // short rows are filled up with empty cells
                                                    RawTableRow{{RawTableCell{{text("short")}}, {}, {}, {}}}})});

    // Without a delimiter row the pipes are just text.
    const BlockNodes plain = parse("| a | b |\n| c | d |\n");
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].kind(), Kind::paragraph);
}

TEST(MarkdownParse, otherBlocksInDocumentOrder)
{
    const BlockNodes blocks = parse("## Title\n\n> quoted\n> > deeper\n\n***\n\n<div>\nraw\n</div>\n");
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0], BlockNode::heading(2, {text("Title")}));
    EXPECT_EQ(blocks[1], BlockNode::blockquote({paragraph("quoted"), BlockNode::blockquote({paragraph("deeper")})}));
    EXPECT_EQ(blocks[2], BlockNode::thematicBreak());
    EXPECT_EQ(blocks[3], BlockNode::htmlBlock("<div>\nraw\n</div>\n"));

    EXPECT_EQ(parse("a  \nb\nc\n"),
              BlockNodes{BlockNode::paragraph(
                  {text("a"), InlineNode::lineBreak(), text("b"), InlineNode::softBreak(), text("c")})});
}

TEST(MarkdownModel, comparesAndHashesByValue)
{
    const std::string text = "# T\n\n- [x] a\n\n| x |\n|---|\n| `y` |\n\n**b** ~~c~~ [d](e)\n";
    const MarkdownContent first(text);
    const MarkdownContent second(text);
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::hash<MarkdownContent>{}(first), std::hash<MarkdownContent>{}(second));

    // Each of these differs from the text above in one payload only.
    for (const std::string changed : {"# T\n\n- [ ] a\n\n| x |\n|---|\n| `y` |\n\n**b** ~~c~~ [d](e)\n",
                                      "# T\n\n- [x] a\n\n| x |\n|--:|\n| `y` |\n\n**b** ~~c~~ [d](e)\n",
                                      "# T\n\n- [x] a\n\n| x |\n|---|\n| `y` |\n\n**b** ~~c~~ [d](f)\n",
                                      "## T\n\n- [x] a\n\n| x |\n|---|\n| `y` |\n\n**b** ~~c~~ [d](e)\n",
                                      "# T\n\n- [x] a\n\n| x |\n|---|\n| `y` |\n\n*b* ~~c~~ [d](e)\n"}) {
        const MarkdownContent other(changed);
        EXPECT_NE(first, other) << changed;
        EXPECT_NE(std::hash<MarkdownContent>{}(first), std::hash<MarkdownContent>{}(other)) << changed;
    }

    // Same text in different cases must not collide.
    std::unordered_set<InlineNode> inlines{InlineNode::text("x"), InlineNode::code("x"), InlineNode::html("x"),
                                           InlineNode::softBreak(), InlineNode::lineBreak()};
    EXPECT_EQ(inlines.size(), 5u);
}

TEST(MarkdownParse, hostileNestingStaysBoundedAndKeepsTheText)
{
    const std::string quotes = std::string(10000, '>') + " bottom\n";
    const BlockNodes blocks = parse(quotes);
    int depth = 0;
    const BlockNodes* level = &blocks;
    while (level->size() == 1 && level->front().kind() == Kind::blockquote) {
        level = &level->front().as<BlockNode::Blockquote>()->children;
        ++depth;
    }
    EXPECT_EQ(depth, maxNestingDepth);
    EXPECT_EQ(*level, BlockNodes{paragraph("bottom")});

    // Nested emphasis from long delimiter runs is unwrapped the same way.
    const std::string stars = std::string(3000, '*') + "x" + std::string(3000, '*');
    const BlockNodes emphasised = parse(stars);
    ASSERT_EQ(emphasised.size(), 1u);
    int inlineDepth = 0;
    const InlineNodes* inlines = &emphasised[0].as<BlockNode::Paragraph>()->content;
    while (inlines->size() == 1 && (inlines->front().as<InlineNode::Strong>() || inlines->front().as<InlineNode::Emphasis>())) {
        const InlineNode& node = inlines->front();
        inlines = node.as<InlineNode::Strong>() ? &node.as<InlineNode::Strong>()->children
                                                : &node.as<InlineNode::Emphasis>()->children;
        ++inlineDepth;
    }
    EXPECT_EQ(inlineDepth, maxNestingDepth);
    EXPECT_NE(renderPlainText(emphasised).find('x'), std::string::npos);
}

TEST(MarkdownParse, concurrentParsesGiveTheSameModels)
{
    // The extensions' special characters (~, |, :) live in library-wide state.
    const std::vector<std::string> texts = {"~~a~~ b\n", "| h |\n|:-:|\n| c |\n", "www.x.org and *e*\n",
                                            "- [x] t\n", "plain ~ text | with : marks\n"};
    std::vector<BlockNodes> expected;
    for (const std::string& text : texts)
        expected.push_back(parse(text));

    std::vector<std::future<bool>> workers;
    for (int worker = 0; worker < 4; ++worker) {
        workers.push_back(std::async(std::launch::async, [&texts, &expected, worker] {
            for (int round = 0; round < 300; ++round) {
                const std::size_t index = static_cast<std::size_t>(round + worker) % texts.size();
                if (parse(texts[index]) != expected[index])
                    return false;
            }
            return true;
        }));
    }
    for (std::future<bool>& worker : workers)
        EXPECT_TRUE(worker.get());
}

} // namespace
