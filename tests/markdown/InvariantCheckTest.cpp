#include "ModelPrinter.h"
#include "markdown/CmarkLibrary.h"
#include "markdown/CmarkTreeConverter.h"

#include <cmark-gfm-core-extensions.h>

#include <gtest/gtest.h>

#include <memory>

using namespace Markdown;

namespace {

using Tree = std::unique_ptr<cmark_node, CmarkLibrary::NodeDeleter>;

// Trees that no text can produce with our options, built by hand.
class InvariantCheck : public testing::Test {
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        CmarkLibrary::ensureRegistered();
    }

    static void adopt(cmark_node* parent, cmark_node* child)
    {
        ASSERT_EQ(cmark_node_append_child(parent, child), 1) << "the library refused the hand-built tree";
    }
};

// An extension of our own whose nodes report a type string cmark-gfm never uses.
const char* bogusTypeString(cmark_syntax_extension*, cmark_node*) { return "bogus_node"; }

struct ExtensionDeleter {
    void operator()(cmark_syntax_extension* extension) const
    {
        cmark_syntax_extension_free(cmark_get_default_mem_allocator(), extension);
    }
};

TEST_F(InvariantCheck, unknownTypeStringsEndTheProgramNamingTheType)
{
    std::unique_ptr<cmark_syntax_extension, ExtensionDeleter> bogus(cmark_syntax_extension_new("bogus"));
    cmark_syntax_extension_set_get_type_string_func(bogus.get(), bogusTypeString);

    Tree document(cmark_node_new(CMARK_NODE_DOCUMENT));
    adopt(document.get(), cmark_node_new_with_ext(CMARK_NODE_CUSTOM_BLOCK, bogus.get()));
    EXPECT_DEATH(convertDocument(document.get()), "Unknown node type 'bogus_node' found\\.");

    Tree withInline(cmark_node_new(CMARK_NODE_DOCUMENT));
    cmark_node* paragraph = cmark_node_new(CMARK_NODE_PARAGRAPH);
    adopt(withInline.get(), paragraph);
    adopt(paragraph, cmark_node_new_with_ext(CMARK_NODE_CUSTOM_INLINE, bogus.get()));
    EXPECT_DEATH(convertDocument(withInline.get()), "Unknown node type 'bogus_node' found\\.");
}

TEST_F(InvariantCheck, typesTheLibraryNamesButWeDoNotShowAreDropped)
{
    // Custom nodes and the footnote kinds (off with our options) carry nothing to show.
    Tree document(cmark_node_new(CMARK_NODE_DOCUMENT));
    adopt(document.get(), cmark_node_new(CMARK_NODE_CUSTOM_BLOCK));
    adopt(document.get(), cmark_node_new(CMARK_NODE_FOOTNOTE_DEFINITION));
    cmark_node* paragraph = cmark_node_new(CMARK_NODE_PARAGRAPH);
    adopt(document.get(), paragraph);
    adopt(paragraph, cmark_node_new(CMARK_NODE_CUSTOM_INLINE));
    cmark_node* text = cmark_node_new(CMARK_NODE_TEXT);
    cmark_node_set_literal(text, "kept");
    adopt(paragraph, text);

    EXPECT_EQ(convertDocument(document.get()), BlockNodes{BlockNode::paragraph({InlineNode::text("kept")})});
}

} // namespace
