#include "html_bench_lexbor.h"

#include <lexbor/dom/interfaces/text.h>
#include <lexbor/html/html.h>

#include <cstdlib>
#include <string_view>

using namespace zid;

namespace {

std::string_view View(const lxb_char_t* data, size_t length) {
    return {reinterpret_cast<const char*>(data), data ? length : 0};
}

// The text nodes before an element's first child element, white space
// collapsed to one space as our model keeps it.
std::wstring LeadingText(lxb_dom_node_t* element) {
    std::wstring text;
    for (lxb_dom_node_t* child = element->first_child; child && child->type == LXB_DOM_NODE_TYPE_TEXT;
         child = child->next) {
        const lexbor_str_t& data = lxb_dom_interface_text(child)->char_data.data;
        text += WidenUtf8(View(data.data, data.length));
    }
    std::wstring collapsed;
    for (wchar_t c : text) {
        const bool space = c == L' ' || (c >= L'\t' && c <= L'\r');
        if (!space)
            collapsed.push_back(c);
        else if (collapsed.empty() || collapsed.back() != L' ')
            collapsed.push_back(L' ');
    }
    return collapsed;
}

lxb_html_document_t* Parse(const std::string& page) {
    lxb_html_document_t* document = lxb_html_document_create();
    if (!document || lxb_html_document_parse(document, reinterpret_cast<const lxb_char_t*>(page.data()), page.size()) !=
                         LXB_STATUS_OK)
        std::abort();
    return document;
}

}  // namespace

void LexborParse(const std::string& page) {
    lxb_html_document_destroy(Parse(page));
}

std::vector<std::wstring> LexborDigest(const std::string& page) {
    lxb_html_document_t* document = Parse(page);
    std::vector<std::wstring> digest;
    lxb_dom_node_t* root = lxb_dom_interface_node(document);
    for (lxb_dom_node_t* node = root->first_child; node;) {
        if (node->type == LXB_DOM_NODE_TYPE_ELEMENT) {
            lxb_dom_element_t* element = lxb_dom_interface_element(node);
            size_t length = 0;
            const std::string_view tag = View(lxb_dom_element_local_name(element, &length), length);
            if (tag == "tr" || tag == "th" || tag == "td" || tag == "a") {
                const lxb_char_t* href =
                    lxb_dom_element_get_attribute(element, reinterpret_cast<const lxb_char_t*>("href"), 4, &length);
                digest.push_back(WidenUtf8(tag) + L"|" + WidenUtf8(View(href, length)) + L"|" + LeadingText(node));
            }
        }
        // Document order without recursion.
        if (node->first_child) {
            node = node->first_child;
            continue;
        }
        while (node && !node->next)
            node = node->parent;
        if (node)
            node = node->next;
    }
    lxb_html_document_destroy(document);
    return digest;
}
