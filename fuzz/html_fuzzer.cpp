// libFuzzer entry: parses arbitrary bytes as a page, then runs every query
// over the whole tree and checks the tree's links. Any broken link aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "html/html_parser.h"

using namespace zid;

namespace {

// UTF-8 to UTF-16 code units as the website reader receives them, except
// that each byte that is not part of a valid sequence becomes the lone
// surrogate U+DC00 + byte, so the fuzzer reaches every code unit value.
std::wstring Decode(const uint8_t* data, size_t size) {
    std::wstring out;
    out.reserve(size);
    for (size_t i = 0; i < size;) {
        const uint8_t b = data[i];
        if (b < 0x80) {
            out.push_back(static_cast<wchar_t>(b));
            ++i;
            continue;
        }
        const unsigned need = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
        if (need == 0 || i + need >= size) {
            out.push_back(static_cast<wchar_t>(0xDC00 + b));
            ++i;
            continue;
        }
        uint32_t cp = b & (0x3F >> need);
        bool valid = true;
        for (unsigned k = 1; k <= need; ++k) {
            if ((data[i + k] & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = cp << 6 | (data[i + k] & 0x3F);
        }
        if (!valid || cp > 0x10FFFF || (need == 2 && cp < 0x800) || (need == 3 && cp < 0x10000)) {
            out.push_back(static_cast<wchar_t>(0xDC00 + b));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(cp));
        }
        i += need + 1;
    }
    // The page text ends at its first zero, as a C string does.
    return out.substr(0, out.find(L'\0'));
}

void Check(bool condition) {
    if (!condition)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = Decode(data, size);
    CHtmlParser parser;
    parser.Parse(text.c_str());

    CHtmlElement* root = parser.GetRoot();
    if (!root)
        return 0;
    Check(root->m_parent == nullptr && root->m_next == nullptr);
    size_t count = 0;
    for (CHtmlElement* e = root; e; e = e->NextInDocument()) {
        ++count;
        CHtmlElement* last = nullptr;
        for (CHtmlElement* c = e->m_firstChild; c; c = c->m_next) {
            Check(c->m_parent == e);
            last = c;
        }
        Check(e->m_lastChild == last);
        // Each search walks the document: a few of them keep the run linear.
        if (count <= 32) {
            CHtmlElement* byId = parser.FindById(e->m_id);
            Check(byId != nullptr && byId->m_id == e->m_id);
            CHtmlElement* byTag = root->FindByTag(e->m_tag);
            Check(byTag != nullptr && byTag->m_tag == e->m_tag);
        }
        if (const wchar_t* href = e->GetHref())
            Check(std::wstring(href).size() <= text.size());
        Check(e->GetTagNameA().size() == e->m_tag.size());
        e->IsVoid();
        // Nothing can be longer than the page it came from.
        Check(e->m_text.size() <= text.size() && e->m_tag.size() <= text.size());
    }
    Check(count <= text.size());
    return 0;
}
