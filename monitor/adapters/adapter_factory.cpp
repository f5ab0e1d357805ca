#include "adapters/adapter_factory.h"

#include "adapters/zlg_adapter.h"

namespace {

template <class TAdapter> TAdapterClass AdapterClassOf() {
    return {&TAdapter::ClassName,
            []() -> std::unique_ptr<CAdapterCustom> { return std::make_unique<TAdapter>(); }};
}

} // namespace

CAdapterFactory::CAdapterFactory() {
    FClasses.push_back(AdapterClassOf<CAdapterZlg>());
    FAdapters.resize(FClasses.size());
}

const TAdapterClass* CAdapterFactory::GetAdapterClass(int index) const {
    return IsValidIndex(index) ? &FClasses[static_cast<size_t>(index)] : nullptr;
}

CAdapterCustom* CAdapterFactory::GetAdapter(int index) {
    if (!IsValidIndex(index)) {
        return nullptr;
    }
    std::unique_ptr<CAdapterCustom>& slot = FAdapters[static_cast<size_t>(index)];
    if (!slot) {
        slot = FClasses[static_cast<size_t>(index)].Create();
    }
    return slot.get();
}

std::string CAdapterFactory::GetAdapterName(int index) const {
    return IsValidIndex(index) ? FClasses[static_cast<size_t>(index)].GetName() : "unknown";
}

void CAdapterFactory::GetNames(std::vector<std::string>& strings) const {
    for (int i = 0; i < Count(); ++i) {
        strings.push_back(GetAdapterName(i));
    }
}
