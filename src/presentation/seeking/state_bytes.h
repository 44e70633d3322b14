// Byte pieces of the show's state: plain copies of trivially copyable values,
// written one after another and read back in the same order and sizes; a
// read fails on too few bytes, and a list's on any other count than it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

using Bytes = std::vector<uint8_t>;

template <class T> void put(Bytes* out, const T* values, size_t count) {
    static_assert(std::is_trivially_copyable_v<T>, "copied as bytes");
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(values);
    out->insert(out->end(), bytes, bytes + count * sizeof(T));
}

template <class T> void put_vector(Bytes* out, const std::vector<T>& values) {
    const uint64_t count = values.size();
    put(out, &count, 1);
    put(out, values.data(), values.size());
}

// What is left to read of a piece or a file.
struct Reader {
    const uint8_t* at;
    size_t left;
};

template <class T> bool take(Reader* in, T* values, size_t count) {
    static_assert(std::is_trivially_copyable_v<T>, "copied as bytes");
    const size_t bytes = count * sizeof(T);
    if (bytes > in->left) return false;
    if (bytes) std::memcpy(values, in->at, bytes);
    in->at += bytes;
    in->left -= bytes;
    return true;
}

template <class T> bool take_vector(Reader* in, std::vector<T>* values) {
    uint64_t count = 0;
    return take(in, &count, 1) && count == values->size() &&
           take(in, values->data(), values->size());
}
