// Tag names known in advance, interned: an element of a known tag shares one
// static name and carries a small number, so the tree builder's rules (void
// elements, implied end tags, "pre", "br") are table look-ups instead of
// string comparisons. Internal to src/html.
#pragma once

#include <cstdint>
#include <string_view>

#include "html/html_arena.h"

namespace zid {

namespace html {

// Other is every name not listed; the order matches kTagNames.
enum class Tag : uint8_t {
    Other,
    // Closed implicitly (see IsClosedBy).
    Li,
    Dt,
    Dd,
    P,
    Thead,
    Tbody,
    Tfoot,
    Tr,
    Td,
    Th,
    // Close an open "p".
    Address,
    Article,
    Aside,
    Blockquote,
    Div,
    Dl,
    Fieldset,
    Footer,
    Form,
    H1,
    H2,
    H3,
    H4,
    H5,
    H6,
    Header,
    Hgroup,
    Hr,
    Main,
    Nav,
    Ol,
    Pre,
    Section,
    Table,
    Ul,
    // Void elements ("hr" is above).
    Area,
    Base,
    Br,
    Col,
    Command,
    Embed,
    Img,
    Input,
    Keygen,
    Link,
    Meta,
    Param,
    Source,
    Track,
    Wbr,
    // Common elsewhere.
    A,
    B,
    Body,
    Button,
    Caption,
    Code,
    Colgroup,
    Em,
    Head,
    Html,
    I,
    Label,
    Option,
    Script,
    Select,
    Small,
    Span,
    Strong,
    Style,
    Sup,
    Textarea,
    Title,
    U,
    Doctype,
    Count
};

// The tag whose name is exactly `name`, or Tag::Other.
Tag LookUpTag(std::wstring_view name);

// The interned name of a known tag (static storage).
CHtmlString TagName(Tag tag);

// Whether elements of `tag` are void (have no content).
bool IsVoidTag(Tag tag);

// Whether an open element of tag `open` is implicitly closed by a new start tag `tag`.
bool IsClosedBy(Tag open, Tag tag);

}  // namespace html

}  // namespace zid
