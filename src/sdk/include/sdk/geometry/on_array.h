#pragma once
// ON_SimpleArray / ON_ClassArray / ON_ObjectArray: the SDK's dynamic arrays, thin
// wrappers over std::vector with the SDK's int-indexed interface. The three names
// exist because SDK code names them; here they behave the same.
//
// Indices passed to operator[] must be in [0, Count()) (a caller's bug otherwise,
// checked by assert); At() returns null for an index out of range.
// Thread-safety: a value type.

#include <cassert>
#include <cstddef>
#include <vector>

template <class T>
class ON_SimpleArray {
public:
    ON_SimpleArray() = default;
    explicit ON_SimpleArray(int capacity) { Reserve(capacity); }

    int Count() const { return static_cast<int>(v_.size()); }
    void Reserve(int capacity) {
        if (capacity > 0)
            v_.reserve(static_cast<size_t>(capacity));
    }
    // Grows with default-constructed elements or shrinks; a negative count is ignored.
    void SetCount(int count) {
        if (count >= 0)
            v_.resize(static_cast<size_t>(count));
    }

    void Append(const T& value) { v_.push_back(value); }
    void Append(int count, const T* values) {
        if (count > 0 && values)
            v_.insert(v_.end(), values, values + count);
    }
    T& AppendNew() { return v_.emplace_back(); }
    void Insert(int index, const T& value) {
        assert(index >= 0 && index <= Count());
        v_.insert(v_.begin() + index, value);
    }
    void Remove(int index) {
        assert(index >= 0 && index < Count());
        v_.erase(v_.begin() + index);
    }
    void Empty() { v_.clear(); }

    T& operator[](int index) {
        assert(index >= 0 && index < Count());
        return v_[static_cast<size_t>(index)];
    }
    const T& operator[](int index) const {
        assert(index >= 0 && index < Count());
        return v_[static_cast<size_t>(index)];
    }
    T* At(int index) { return index >= 0 && index < Count() ? &v_[static_cast<size_t>(index)] : nullptr; }
    const T* At(int index) const { return index >= 0 && index < Count() ? &v_[static_cast<size_t>(index)] : nullptr; }
    T* Array() { return v_.data(); }
    const T* Array() const { return v_.data(); }
    T* First() { return At(0); }
    T* Last() { return At(Count() - 1); }

    auto begin() { return v_.begin(); }
    auto end() { return v_.end(); }
    auto begin() const { return v_.begin(); }
    auto end() const { return v_.end(); }

    std::vector<T>& vector() { return v_; }
    const std::vector<T>& vector() const { return v_; }

    friend bool operator==(const ON_SimpleArray& a, const ON_SimpleArray& b) { return a.v_ == b.v_; }

private:
    std::vector<T> v_;
};

template <class T>
class ON_ClassArray : public ON_SimpleArray<T> {
public:
    using ON_SimpleArray<T>::ON_SimpleArray;
};

template <class T>
class ON_ObjectArray : public ON_ClassArray<T> {
public:
    using ON_ClassArray<T>::ON_ClassArray;
};
