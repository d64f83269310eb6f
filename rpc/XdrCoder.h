#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Opaque.h"
#include "Xdr.h"

// One description of a type's fields serves both directions, as rpcgen's xdr_ routines do: a
// type's `template <typename Xdr> void Code(Xdr& x, T& value)` names its fields in wire order,
// and XdrDecoder reads them where XdrEncoder writes them. Read and Write of the type, the pair
// the rest of the code calls, are made from it by XDR_CODECS, so the two directions cannot
// disagree. A field of another type goes through that type's own Read or Write.

class XdrDecoder {
  public:
    explicit XdrDecoder(IInputStream& in) : m_in(in) {}

    template <typename... Fields>
    void operator()(Fields&... fields) {
        (Field(fields), ...);
    }
    // A discriminant (RFC 4506 4.19): whether the arm it guards follows.
    bool Follows(bool& flag) {
        Field(flag);
        return flag;
    }
    // An optional-data list: TRUE before each item, FALSE after the last.
    template <typename T>
    void List(std::vector<T>& items) {
        for (bool more = false; Follows(more);) Field(items.emplace_back());
    }

  private:
    void Field(uint32_t& value) { value = ReadUint32(m_in); }
    void Field(uint64_t& value) { value = ReadUint64(m_in); }
    void Field(bool& value) { value = ReadBool(m_in); }
    void Field(opaque& value) { ReadOpaque(m_in, value); }
    void Field(OpaqueView& value) { ReadOpaque(m_in, value); }
    void Field(std::string_view& value) {
        OpaqueView view;
        ReadOpaque(m_in, view);
        value = std::string_view(reinterpret_cast<const char*>(view.data), view.length);
    }
    template <size_t N>
    void Field(uint8_t (&bytes)[N]) {
        ReadExactly(m_in, bytes, N);
    }
    template <typename T>
    std::enable_if_t<!std::is_base_of_v<opaque, T>> Field(T& value) {
        Read(m_in, value);
    }

    IInputStream& m_in;
};

class XdrEncoder {
  public:
    explicit XdrEncoder(IOutputStream& out) : m_out(out) {}

    template <typename... Fields>
    void operator()(const Fields&... fields) {
        (Field(fields), ...);
    }
    bool Follows(bool flag) {
        Field(flag);
        return flag;
    }
    template <typename T>
    void List(const std::vector<T>& items) {
        for (const T& item : items) {
            Field(true);
            Field(item);
        }
        Field(false);
    }

  private:
    void Field(uint32_t value) { m_out.WriteInt32(value); }
    void Field(uint64_t value) { m_out.WriteInt64(value); }
    void Field(bool value) { WriteBool(m_out, value); }
    void Field(const opaque& value) { WriteOpaque(m_out, value); }
    void Field(const OpaqueView& value) { WriteOpaque(m_out, value.data, value.length); }
    void Field(std::string_view value) {
        WriteOpaque(m_out, value.data(), static_cast<uint32_t>(value.size()));
    }
    template <size_t N>
    void Field(const uint8_t (&bytes)[N]) {
        m_out.Write(bytes, N);
    }
    template <typename T>
    std::enable_if_t<!std::is_base_of_v<opaque, T> && std::is_class_v<T>> Field(const T& value) {
        Write(m_out, value);
    }

    IOutputStream& m_out;
};

// The Code of a type whose fields follow one another, each given as `value.field`.
#define XDR_FIELDS(type, ...)        \
    template <typename Xdr>          \
    void Code(Xdr& x, type& value) { \
        x(__VA_ARGS__);              \
    }

// The Code of an optional-data union (RFC 4506 4.19): `arm` follows when `flag` is TRUE.
#define XDR_OPTIONAL(type, flag, arm) \
    template <typename Xdr>           \
    void Code(Xdr& x, type& value) {  \
        if (x.Follows(flag)) x(arm);  \
    }

#define XDR_DECLARE_CODECS(type)              \
    void Read(IInputStream& in, type& value); \
    void Write(IOutputStream& out, const type& value);

// The encoder only reads the fields that Code names, so the const value is safe to hand it.
#define XDR_CODECS(type)                                \
    void Read(IInputStream& in, type& value) {          \
        XdrDecoder coder(in);                           \
        Code(coder, value);                             \
    }                                                   \
    void Write(IOutputStream& out, const type& value) { \
        XdrEncoder coder(out);                          \
        Code(coder, const_cast<type&>(value));          \
    }
