// Owners for COM references, texts and variants, and COM for a scope: shared by the
// desktop shell's page opening and the firewall rule.
#pragma once

#include <objbase.h>
#include <oleauto.h>

#include <string>

#include "win32/win32.h"

// Owner of one reference to a COM object, released once.
template <typename Interface> class ComOwner {
public:
    ComOwner() = default;
    ComOwner(const ComOwner&) = delete;
    ComOwner& operator=(const ComOwner&) = delete;
    ~ComOwner() { reset(); }

    Interface* get() const { return object_; }
    Interface* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // For a call that hands out a reference; whatever was held goes first.
    Interface** put() {
        reset();
        return &object_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (object_) {
            object_->Release();
            object_ = nullptr;
        }
    }

private:
    Interface* object_ = nullptr;
};

// A VARIANT that frees what it holds.
class Variant {
public:
    Variant() { ::VariantInit(&value_); }
    explicit Variant(const std::wstring& text) : Variant() {
        value_.vt = VT_BSTR;
        value_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    explicit Variant(int number) : Variant() {
        value_.vt = VT_I4;
        value_.lVal = number;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&value_); }

    VARIANT* get() { return &value_; }
    // A copy for a call that takes a VARIANT by value and does not keep it.
    VARIANT lend() const { return value_; }

private:
    VARIANT value_;
};

inline void FreeText(BSTR text) {
    ::SysFreeString(text);
}
using UniqueBstr = UniqueOwner<BSTR, FreeText>;

// COM on this thread for the scope, apartment-threaded as the shell wants it. A thread
// that already chose the other model keeps it: the calls below work in either.
class ComScope {
public:
    ComScope()
        : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(result_)) {
            ::CoUninitialize();
        }
    }

private:
    HRESULT result_;
};
