#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

// The longest path a client can name: a share's folder and the names below it, joined.
constexpr uint32_t kMaxHostPath = 1024;

// A NUL-terminated path that someone holds for as long as a call uses it: an entry of the handle
// table, a PathText on the caller's stack, a string. The host seam takes paths this way, so what
// the table holds reaches the host uncopied.
class PathView {
  public:
    PathView(const char* text) : PathView(text, std::strlen(text)) {}
    PathView(const char* text, size_t length) : m_pText(text), m_nLength(length) {}
    PathView(const std::string& text) : PathView(text.c_str(), text.size()) {}

    const char* c_str() const { return m_pText; }
    size_t size() const { return m_nLength; }
    bool empty() const { return m_nLength == 0; }
    std::string_view view() const { return {m_pText, m_nLength}; }
    operator std::string_view() const { return view(); }

  private:
    const char* m_pText;
    size_t m_nLength;
};

// A path (or a name) held by value, NUL-terminated. The paths a call works on live on its own
// stack: nothing is shared between calls and nothing allocated up to kMaxHostPath characters,
// which every path a client can name keeps to. Only a longer one (a name listed in a folder that
// deep already, an entry below a folder moved to a longer name) takes room on the heap.
class PathText {
  public:
    PathText() { m_inline[0] = '\0'; }
    explicit PathText(std::string_view text) : PathText() { Append(text); }
    PathText(const PathText& other) : PathText(other.view()) {}
    PathText& operator=(const PathText& other) { return Assign(other.view()); }

    PathText& Assign(std::string_view text) {
        m_nLength = 0;
        return Append(text);
    }
    PathText& Append(std::string_view text);
    PathText& Append(char c) { return Append(std::string_view(&c, 1)); }

    const char* c_str() const { return m_pText; }
    size_t size() const { return m_nLength; }
    bool empty() const { return m_nLength == 0; }
    std::string_view view() const { return {m_pText, m_nLength}; }
    operator std::string_view() const { return view(); }
    operator PathView() const { return {m_pText, m_nLength}; }

  private:
    char m_inline[kMaxHostPath + 1];
    char* m_pText = m_inline;
    size_t m_nLength = 0;
    size_t m_nRoom = kMaxHostPath;
    std::unique_ptr<char[]> m_pHeap;
};

inline PathText& PathText::Append(std::string_view text) {
    const size_t length = m_nLength + text.size();
    if (length > m_nRoom) {
        auto room = std::make_unique<char[]>(length + 1);
        std::memcpy(room.get(), m_pText, m_nLength);
        m_pHeap = std::move(room);
        m_pText = m_pHeap.get();
        m_nRoom = length;
    }
    std::memmove(m_pText + m_nLength, text.data(), text.size());
    m_nLength = length;
    m_pText[length] = '\0';
    return *this;
}
