#include "html/html_tags.h"

#include <array>

namespace zid {

namespace html {

namespace {

constexpr std::wstring_view kTagNames[] = {
    L"",       L"li",      L"dt",       L"dd",       L"p",       L"thead",      L"tbody",   L"tfoot", L"tr",
    L"td",     L"th",      L"address",  L"article",  L"aside",   L"blockquote", L"div",     L"dl",    L"fieldset",
    L"footer", L"form",    L"h1",       L"h2",       L"h3",      L"h4",         L"h5",      L"h6",    L"header",
    L"hgroup", L"hr",      L"main",     L"nav",      L"ol",      L"pre",        L"section", L"table", L"ul",
    L"area",   L"base",    L"br",       L"col",      L"command", L"embed",      L"img",     L"input", L"keygen",
    L"link",   L"meta",    L"param",    L"source",   L"track",   L"wbr",        L"a",       L"b",     L"body",
    L"button", L"caption", L"code",     L"colgroup", L"em",      L"head",       L"html",    L"i",     L"label",
    L"option", L"script",  L"select",   L"small",    L"span",    L"strong",     L"style",   L"sup",   L"textarea",
    L"title",  L"u",       L"!doctype",
};
static_assert(std::size(kTagNames) == static_cast<size_t>(Tag::Count));

constexpr bool Between(Tag tag, Tag first, Tag last) {
    return tag >= first && tag <= last;
}

// Open addressing over a table several times the number of names: most
// names are found at their first slot, a miss costs a probe or two.
constexpr size_t kSlots = 512;

constexpr size_t Hash(std::wstring_view name) {
    const size_t n = name.size();
    return (n * 131 + static_cast<size_t>(name[0]) * 31 + static_cast<size_t>(name[n - 1]) * 7 +
            static_cast<size_t>(name[n / 2])) &
           (kSlots - 1);
}

constexpr std::array<Tag, kSlots> MakeSlots() {
    std::array<Tag, kSlots> slots{};
    for (size_t i = 1; i < std::size(kTagNames); ++i) {
        size_t slot = Hash(kTagNames[i]);
        while (slots[slot] != Tag::Other)
            slot = (slot + 1) & (kSlots - 1);
        slots[slot] = static_cast<Tag>(i);
    }
    return slots;
}

constexpr std::array<Tag, kSlots> kSlotTable = MakeSlots();

}  // namespace

Tag LookUpTag(std::wstring_view name) {
    if (name.empty())
        return Tag::Other;
    for (size_t slot = Hash(name);; slot = (slot + 1) & (kSlots - 1)) {
        const Tag tag = kSlotTable[slot];
        if (tag == Tag::Other)
            return tag;
        // Names are short: compared in place rather than through a library call.
        const std::wstring_view known = kTagNames[static_cast<size_t>(tag)];
        if (known.size() == name.size()) {
            size_t i = 0;
            while (i < name.size() && known[i] == name[i])
                ++i;
            if (i == name.size())
                return tag;
        }
    }
}

CHtmlString TagName(Tag tag) {
    const std::wstring_view name = kTagNames[static_cast<size_t>(tag)];
    return CHtmlString::Static(name.data(), name.size());
}

bool IsVoidTag(Tag tag) {
    return tag == Tag::Hr || Between(tag, Tag::Area, Tag::Wbr);
}

bool IsClosedBy(Tag open, Tag tag) {
    switch (open) {
    case Tag::Li:
    case Tag::Tr:
        return tag == open;
    case Tag::Dt:
    case Tag::Dd:
        return tag == Tag::Dt || tag == Tag::Dd;
    case Tag::P:
        return tag == Tag::P || Between(tag, Tag::Address, Tag::Ul);
    case Tag::Thead:
        return tag == Tag::Thead || tag == Tag::Tbody || tag == Tag::Tfoot;
    case Tag::Tbody:
    case Tag::Tfoot:
        return tag == Tag::Tbody || tag == Tag::Tfoot;
    case Tag::Td:
    case Tag::Th:
        return tag == Tag::Td || tag == Tag::Th;
    default:
        return false;
    }
}

}  // namespace html

}  // namespace zid
