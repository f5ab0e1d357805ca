// A pipe slot is 32 bits wide. Kernel handles fit: Windows keeps them within
// 32 significant bits (sign-extended) even in 64-bit processes, and
// INVALID_HANDLE_VALUE maps to the slot's -1.
#pragma once

#include <windows.h>

#include <cstdint>

namespace ulmar {

inline HANDLE HandleOfSlot(std::int32_t slot) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(slot));
}

inline std::int32_t SlotOfHandle(HANDLE handle) {
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(handle));
}

} // namespace ulmar
