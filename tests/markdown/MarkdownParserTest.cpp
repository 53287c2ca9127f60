#include "ModelBuilders.h"

#include "markdown/MarkdownContent.h"

#include <gtest/gtest.h>

#include <future>
#include <unordered_set>

using namespace ModelBuilders;

namespace {

using Kind = BlockNode::Kind;

TEST(MarkdownParse, eachConstructKeepsWhatWasWritten)
{
    using A = RawTableColumnAlignment;
    const std::pair<std::string, BlockNodes> cases[] = {
        {"", {}},
        {"   \n\n\t\n", {}},
        // One ticked item turns the whole list into a task list; the plain item is open.
        {"- [x] done\n- plain\n", {BlockNode::taskList(true, {task(true, "done"), task(false, "plain")})}},
        {"1. [ ] open\n2. [X] shut\n", {BlockNode::taskList(true, {task(false, "open"), task(true, "shut")})}},
        {"3. three\n4. four\n", {BlockNode::numberedList(true, 3, {item("three"), item("four")})}},
        {"0. zero\n", {BlockNode::numberedList(true, 0, {item("zero")})}},
        {"* a\n\n* b\n", {BlockNode::bulletedList(false, {item("a"), item("b")})}},
        // Fence info is kept whole; indented code has an empty, not an absent, one.
        {"```json\n{\"a\": 1}\n```\n", {BlockNode::codeBlock("json", "{\"a\": 1}\n")}},
        {"~~~ python extra\nx\n~~~\n", {BlockNode::codeBlock("python extra", "x\n")}},
        {"    let x = 1\n", {BlockNode::codeBlock("", "let x = 1\n")}},
        {"```\n```\n", {BlockNode::codeBlock("", "")}},
        {"~~gone~~ kept\n", {BlockNode::paragraph({InlineNode::strikethrough({text("gone")}), text(" kept")})}},
        {"see www.example.com now\n",
         {BlockNode::paragraph(
             {text("see "), InlineNode::link("http://www.example.com", {text("www.example.com")}), text(" now")})}},
        {"one<br>two\n", {BlockNode::paragraph({text("one"), InlineNode::html("<br>"), text("two")})}},
        // The tag filter only matters for HTML output: the model keeps the literal.
        {"<script>alert(1)</script>\n", {BlockNode::htmlBlock("<script>alert(1)</script>\n")}},
        // Titles are not part of the model; relative destinations stay unresolved.
        {"[empty]()\n", {BlockNode::paragraph({InlineNode::link("", {text("empty")})})}},
        {"[a](../x \"title\")\n", {BlockNode::paragraph({InlineNode::link("../x", {text("a")})})}},
        {"![alt *text*](img.png#gh-dark-mode-only)\n",
         {BlockNode::paragraph(
             {InlineNode::image("img.png#gh-dark-mode-only", {text("alt "), InlineNode::emphasis({text("text")})})})}},
        // The header row comes first; short rows are filled up with empty cells.
        {"| L | C | R | N |\n|:--|:-:|--:|---|\n| 1 | 2 | 3 | 4 |\n| short |\n",
         {BlockNode::table({A::Left, A::Center, A::Right, A::None},
                           {row({"L", "C", "R", "N"}), row({"1", "2", "3", "4"}),
                            RawTableRow{{RawTableCell{{text("short")}}, {}, {}, {}}}})}},
        {"## Title\n\n> quoted\n> > deeper\n\n***\n\n<div>\nraw\n</div>\n",
         {BlockNode::heading(2, {text("Title")}),
          BlockNode::blockquote({paragraph("quoted"), BlockNode::blockquote({paragraph("deeper")})}),
          BlockNode::thematicBreak(), BlockNode::htmlBlock("<div>\nraw\n</div>\n")}},
        {"a  \nb\nc\n",
         {BlockNode::paragraph({text("a"), InlineNode::lineBreak(), text("b"), InlineNode::softBreak(), text("c")})}},
    };
    for (const auto& [markdown, blocks] : cases)
        EXPECT_EQ(parse(markdown), blocks) << markdown;
    EXPECT_TRUE(MarkdownContent(std::string_view()).blocks.empty());

    // A checkbox not at the start of the item, and pipes without a delimiter row, are plain text.
    for (const auto& [markdown, kind] :
         {std::pair("- text [x]\n", Kind::BulletedList), {"| a | b |\n| c | d |\n", Kind::Paragraph}}) {
        const BlockNodes blocks = parse(markdown);
        ASSERT_EQ(blocks.size(), 1u) << markdown;
        EXPECT_EQ(blocks[0].kind(), kind) << markdown;
    }
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
    while (level->size() == 1 && level->front().kind() == Kind::Blockquote) {
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
    while (inlines->size() == 1
           && (inlines->front().as<InlineNode::Strong>() || inlines->front().as<InlineNode::Emphasis>())) {
        const InlineNode& node = inlines->front();
        inlines = node.as<InlineNode::Strong>() ? &node.as<InlineNode::Strong>()->children
                                                : &node.as<InlineNode::Emphasis>()->children;
        ++inlineDepth;
    }
    EXPECT_EQ(inlineDepth, maxNestingDepth);
    EXPECT_NE(renderPlainText(emphasised).find('x'), std::string::npos);
}

// The extensions' special characters (~, |, :) live in library-wide state.
TEST(MarkdownParse, concurrentParsesAndRendersGiveTheSameResults)
{
    const std::vector<std::string> texts = {
        "~~a~~ b\n", "| h |\n|:-:|\n| c |\n",         "www.x.org and *e*\n",
        "- [x] t\n", "plain ~ text | with : marks\n", "| a | b |\n|---|---|\n| ~~x~~ | [y](z) |\n\n- [x] t\n"};
    std::vector<std::pair<BlockNodes, std::string>> expected;
    expected.reserve(texts.size());
    for (const std::string& text : texts)
        expected.emplace_back(parse(text), renderMarkdown(parse(text)));

    std::vector<std::future<bool>> workers;
    workers.reserve(4);
    for (int worker = 0; worker < 4; ++worker) {
        workers.push_back(std::async(std::launch::async, [&texts, &expected, worker] {
            for (int round = 0; round < 300; ++round) {
                const std::size_t index = static_cast<std::size_t>(round + worker) % texts.size();
                const BlockNodes blocks = parse(texts[index]);
                if (blocks != expected[index].first || renderMarkdown(blocks) != expected[index].second)
                    return false;
            }
            return true;
        }));
    }
    for (std::future<bool>& worker : workers)
        EXPECT_TRUE(worker.get());
}

} // namespace
