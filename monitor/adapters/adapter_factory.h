#pragma once

#include <memory>
#include <string>
#include <vector>

#include "adapters/adapter_custom.h"

// What the registry knows of an adapter kind without an instance: its name
// and how to create one.
struct TAdapterClass {
    std::string (*GetName)();
    std::unique_ptr<CAdapterCustom> (*Create)();
};

// The registry of adapter kinds. It creates at most one instance of each kind,
// on first request, and owns the instances until it is destroyed.
class CAdapterFactory {
public:
    CAdapterFactory();
    CAdapterFactory(const CAdapterFactory&) = delete;
    CAdapterFactory& operator=(const CAdapterFactory&) = delete;

    int Count() const { return static_cast<int>(FClasses.size()); }
    // None when the index is out of range.
    const TAdapterClass* GetAdapterClass(int index) const;
    // The kind's one instance, created on the first request; none when the
    // index is out of range.
    CAdapterCustom* GetAdapter(int index);
    // "unknown" when the index is out of range; creates no instance.
    std::string GetAdapterName(int index) const;
    // Appends the name of every kind, in registration order.
    void GetNames(std::vector<std::string>& strings) const;

private:
    bool IsValidIndex(int index) const { return index >= 0 && index < Count(); }

    // Declared before FAdapters so that the instances are freed first.
    std::vector<TAdapterClass> FClasses;
    std::vector<std::unique_ptr<CAdapterCustom>> FAdapters;
};
