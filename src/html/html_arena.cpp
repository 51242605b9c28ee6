#include "html/html_arena.h"

#include <cstdlib>

namespace zid {

namespace {

// A small page fits in the first block; large pages get blocks of up to
// 1 MB, few enough that their allocation costs nothing next to parsing.
constexpr size_t kFirstBlock = 16 * 1024;
constexpr size_t kLargestBlock = 1024 * 1024;
// Room before the first object of a block, which holds the link to the previous block.
constexpr size_t kHeader = (sizeof(void*) + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);

}  // namespace

CHtmlArena::~CHtmlArena() {
    for (Block* block = m_blocks; block;) {
        Block* previous = block->previous;
        std::free(block);
        block = previous;
    }
}

void CHtmlArena::Reset() {
    if (!m_blocks)
        return;
    for (Block* block = m_blocks->previous; block;) {
        Block* previous = block->previous;
        std::free(block);
        block = previous;
    }
    m_blocks->previous = nullptr;
    m_next = reinterpret_cast<char*>(m_blocks) + kHeader;
}

void* CHtmlArena::AllocateSlow(size_t bytes, size_t align) {
    static_assert(sizeof(Block) <= kHeader);
    if (bytes > SIZE_MAX / 2 - kHeader - align)
        throw std::bad_alloc();
    const size_t need = kHeader + bytes + align;
    const size_t size = m_blockSize < kFirstBlock ? kFirstBlock : m_blockSize;
    // Twice what is needed, so that a string growing in place (Append) moves
    // only a logarithmic number of times.
    const size_t blockSize = need * 2 > size ? need * 2 : size;
    auto* block = static_cast<Block*>(std::malloc(blockSize));
    if (!block)
        throw std::bad_alloc();
    block->previous = m_blocks;
    m_blocks = block;
    m_next = reinterpret_cast<char*>(block) + kHeader;
    m_end = reinterpret_cast<char*>(block) + blockSize;
    if (m_blockSize < kLargestBlock)
        m_blockSize = size * 2;
    return Allocate(bytes, align);
}

wchar_t* CHtmlArena::NewString(size_t size, CHtmlString& result) {
    wchar_t* data = NewArray<wchar_t>(size + 1);
    data[size] = 0;
    result = CHtmlString(data, size);
    return data;
}

CHtmlString CHtmlArena::Copy(std::wstring_view text) {
    if (text.empty())
        return {};
    CHtmlString result;
    wchar_t* data = NewString(text.size(), result);
    std::memcpy(data, text.data(), text.size() * sizeof(wchar_t));
    return result;
}

CHtmlString CHtmlArena::Append(CHtmlString text, std::wstring_view more) {
    if (more.empty())
        return text;
    if (text.empty())
        return Copy(more);
    // In place: the string ends right before the free room, its terminator last.
    char* terminator = reinterpret_cast<char*>(const_cast<wchar_t*>(text.data() + text.size()));
    if (terminator + sizeof(wchar_t) == m_next &&
        static_cast<size_t>(m_end - m_next) / sizeof(wchar_t) >= more.size()) {
        auto* tail = reinterpret_cast<wchar_t*>(terminator);
        std::memcpy(tail, more.data(), more.size() * sizeof(wchar_t));
        tail[more.size()] = 0;
        m_next += more.size() * sizeof(wchar_t);
        return CHtmlString(text.data(), text.size() + more.size());
    }
    if (more.size() > SIZE_MAX / sizeof(wchar_t) / 2 - text.size())
        throw std::bad_alloc();
    CHtmlString result;
    wchar_t* data = NewString(text.size() + more.size(), result);
    std::memcpy(data, text.data(), text.size() * sizeof(wchar_t));
    std::memcpy(data + text.size(), more.data(), more.size() * sizeof(wchar_t));
    return result;
}

}  // namespace zid
