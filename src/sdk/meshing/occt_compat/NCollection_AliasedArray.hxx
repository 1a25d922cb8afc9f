// Stand-in for a header Debian's OpenCASCADE 7.6.3 development packages leave out
// (Poly_ArrayOfNodes.hxx and Poly_ArrayOfUVNodes.hxx include it, so every B-rep
// header needs it). Only compiled when the system's copy is missing; it must keep the
// library's object layout (data pointer, stride, size, ownership flag, in that order)
// because the arrays are created inside the shared libraries and read inline here.
// It offers what the system headers that include it use, no more.
#ifndef _NCollection_AliasedArray_HeaderFile
#define _NCollection_AliasedArray_HeaderFile

#include <Standard.hxx>
#include <Standard_DefineAlloc.hxx>
#include <Standard_OutOfRange.hxx>
#include <Standard_RangeError.hxx>
#include <Standard_TypeMismatch.hxx>

#include <cstring>
#include <utility>

template <int MyAlignSize = 16>
class NCollection_AliasedArray {
public:
    DEFINE_STANDARD_ALLOC

    explicit NCollection_AliasedArray(Standard_Integer stride) : myStride(stride) {
        if (stride <= 0)
            throw Standard_RangeError("NCollection_AliasedArray: stride must be positive");
    }

    NCollection_AliasedArray(Standard_Integer stride, Standard_Integer length)
        : myStride(stride), mySize(length), myDeletable(true) {
        if (stride <= 0 || length <= 0)
            throw Standard_RangeError("NCollection_AliasedArray: bad size");
        myData = static_cast<Standard_Byte*>(Standard::AllocateAligned(SizeBytes(), MyAlignSize));
    }

    // Wraps caller-owned elements without copying them.
    template <typename T>
    NCollection_AliasedArray(const T& begin, Standard_Integer length)
        : myData(reinterpret_cast<Standard_Byte*>(const_cast<T*>(&begin))),
          myStride(static_cast<Standard_Integer>(sizeof(T))),
          mySize(length) {
        if (length <= 0)
            throw Standard_RangeError("NCollection_AliasedArray: length must be positive");
    }

    NCollection_AliasedArray(NCollection_AliasedArray&& other) noexcept
        : myData(other.myData), myStride(other.myStride), mySize(other.mySize), myDeletable(other.myDeletable) {
        other.myDeletable = false;
    }

    NCollection_AliasedArray(const NCollection_AliasedArray&) = delete;
    NCollection_AliasedArray& operator=(const NCollection_AliasedArray&) = delete;

    ~NCollection_AliasedArray() {
        if (myDeletable)
            Standard::FreeAligned(myData);
    }

    Standard_Integer Stride() const { return myStride; }
    Standard_Integer Size() const { return mySize; }
    Standard_Integer Length() const { return mySize; }
    Standard_Boolean IsEmpty() const { return mySize == 0; }
    Standard_Integer Lower() const { return 0; }
    Standard_Integer Upper() const { return mySize - 1; }
    Standard_Size SizeBytes() const {
        return static_cast<Standard_Size>(myStride) * static_cast<Standard_Size>(mySize);
    }

    // Takes other's buffer; other keeps pointing at it but no longer frees it.
    NCollection_AliasedArray& Move(NCollection_AliasedArray& other) {
        if (&other == this)
            return *this;
        if (myDeletable)
            Standard::FreeAligned(myData);
        myData = other.myData;
        myStride = other.myStride;
        mySize = other.mySize;
        myDeletable = other.myDeletable;
        other.myDeletable = false;
        return *this;
    }

    template <typename T>
    const T& Value(Standard_Integer index) const {
        Standard_TypeMismatch_Raise_if(static_cast<size_t>(myStride) != sizeof(T), "NCollection_AliasedArray: type");
        return *reinterpret_cast<const T*>(at(index));
    }

    template <typename T>
    T& ChangeValue(Standard_Integer index) {
        Standard_TypeMismatch_Raise_if(static_cast<size_t>(myStride) != sizeof(T), "NCollection_AliasedArray: type");
        return *reinterpret_cast<T*>(const_cast<Standard_Byte*>(at(index)));
    }

protected:
    const Standard_Byte* at(Standard_Integer index) const {
        Standard_OutOfRange_Raise_if(index < 0 || index >= mySize, "NCollection_AliasedArray: index");
        return myData + static_cast<size_t>(myStride) * static_cast<size_t>(index);
    }

    Standard_Byte* myData = nullptr;
    Standard_Integer myStride = 0;
    Standard_Integer mySize = 0;
    Standard_Boolean myDeletable = false;
};

#endif
