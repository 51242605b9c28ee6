// Storage of a parsed page: one arena holds every element, string and list of
// a tree and releases them all at once, so building a tree costs a pointer
// bump per object and releasing it a free per block.
//
// CHtmlString and CHtmlList only refer to arena memory; they are trivially
// copyable and never release anything themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

namespace zid {

// An immutable, zero-terminated wide string that lives as long as the arena
// (or the literal) it points into. Empty by default.
class CHtmlString {
public:
    constexpr CHtmlString() = default;

    // A string with static storage, e.g. a literal; it must outlive every user.
    static constexpr CHtmlString Static(const wchar_t* text, size_t size) { return CHtmlString(text, size); }

    const wchar_t* c_str() const { return m_data; }
    const wchar_t* data() const { return m_data; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const wchar_t* begin() const { return m_data; }
    const wchar_t* end() const { return m_data + m_size; }
    wchar_t operator[](size_t i) const { return m_data[i]; }

    operator std::wstring_view() const { return {m_data, m_size}; }
    // A copy for callers that keep or edit the text.
    operator std::wstring() const { return {m_data, m_size}; }

    friend bool operator==(const CHtmlString& a, const CHtmlString& b) {
        return std::wstring_view(a) == std::wstring_view(b);
    }
    friend bool operator==(const CHtmlString& a, std::wstring_view b) { return std::wstring_view(a) == b; }
    friend bool operator==(const CHtmlString& a, const wchar_t* b) { return std::wstring_view(a) == b; }

private:
    friend class CHtmlArena;
    constexpr CHtmlString(const wchar_t* data, size_t size) : m_data(data), m_size(size) {}

    const wchar_t* m_data = L"";
    size_t m_size = 0;
};

class CHtmlArena {
public:
    CHtmlArena() = default;
    CHtmlArena(const CHtmlArena&) = delete;
    CHtmlArena& operator=(const CHtmlArena&) = delete;
    // Releases every block, and with them everything made from this arena.
    ~CHtmlArena();

    // Uninitialised room for `count` objects of T; T must need no destructor.
    template <class T>
    T* NewArray(size_t count) {
        static_assert(std::is_trivially_destructible_v<T>, "arena objects are never destroyed one by one");
        if (count > SIZE_MAX / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T*>(Allocate(count * sizeof(T), alignof(T)));
    }

    // Releases everything made so far at once; the newest block is kept for
    // what is made next.
    void Reset();

    // A zero-terminated copy of `text`.
    CHtmlString Copy(std::wstring_view text);
    // `text` followed by `more`. When `text` is the last string this arena
    // made and there is room behind it, `more` is added in place, so a
    // string that keeps growing costs time linear in its final length.
    CHtmlString Append(CHtmlString text, std::wstring_view more);
    // Room for a string of `size` units whose caller fills data[0..size);
    // the terminating zero is already written.
    wchar_t* NewString(size_t size, CHtmlString& result);

private:
    struct Block {
        Block* previous;
    };

    void* Allocate(size_t bytes, size_t align) {
        const size_t pad = static_cast<size_t>(-reinterpret_cast<uintptr_t>(m_next)) & (align - 1);
        if (static_cast<size_t>(m_end - m_next) >= bytes + pad && bytes + pad >= bytes) {
            void* p = m_next + pad;
            m_next += pad + bytes;
            return p;
        }
        return AllocateSlow(bytes, align);
    }
    void* AllocateSlow(size_t bytes, size_t align);

    Block* m_blocks = nullptr;  // newest first
    char* m_next = nullptr;     // free room of the newest block
    char* m_end = nullptr;
    size_t m_blockSize = 0;  // size of the next block, doubling up to a limit
};

// A growable array whose items live in an arena; T is trivially copyable.
template <class T>
class CHtmlList {
public:
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const T& operator[](size_t i) const { return m_items[i]; }
    const T* begin() const { return m_items; }
    const T* end() const { return m_items + m_size; }

    // Adds `item` at the end; growing doubles the room, so n appends cost
    // O(n) time and at most 2n items of arena memory.
    void Append(CHtmlArena& arena, const T& item) {
        static_assert(std::is_trivially_copyable_v<T>);
        if (m_size == m_capacity) {
            const uint32_t capacity = m_capacity ? m_capacity * 2 : 1;
            if (capacity <= m_capacity)
                throw std::bad_alloc();
            T* items = arena.NewArray<T>(capacity);
            if (m_size)
                std::memcpy(static_cast<void*>(items), m_items, m_size * sizeof(T));
            m_items = items;
            m_capacity = capacity;
        }
        new (&m_items[m_size++]) T(item);
    }

private:
    T* m_items = nullptr;
    uint32_t m_size = 0;
    uint32_t m_capacity = 0;
};

}  // namespace zid
