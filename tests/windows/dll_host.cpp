// A host program as users write them: loads Ulmar.dll at run time, resolves
// every export by its plain name and calls it through its own stdcall
// function pointer types (no Ulmar header, no import library).
//   ulmar_dll_host <path of Ulmar.dll>
// Run with an empty adapter directory: no adapter is present.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

using u32 = std::uint32_t;
using i32 = std::int32_t;
using OpenDeviceFn = i32(WINAPI*)(u32, u32, u32);
using CloseDeviceFn = i32(WINAPI*)(u32, u32);
using InitCanFn = i32(WINAPI*)(u32, u32, u32, const void*);
using ChannelFn = i32(WINAPI*)(u32, u32, u32);
using ReferenceFn = i32(WINAPI*)(u32, u32, u32, u32, void*);
using TransmitFn = i32(WINAPI*)(u32, u32, u32, const void*, u32);
using ReceiveFn = i32(WINAPI*)(u32, u32, u32, void*, u32, i32);
using ChannelRecordFn = i32(WINAPI*)(u32, u32, u32, void*);
using DeviceRecordFn = i32(WINAPI*)(u32, u32, void*);
using FindFn = i32(WINAPI*)(void*);
using DeviceFn = i32(WINAPI*)(u32, u32);

int gFailures = 0;

void check(const char* what, i32 result, i32 expected) {
    const bool ok = result == expected;
    std::printf("%-58s %4d %s\n", what, static_cast<int>(result), ok ? "ok" : "FAILED");
    if (!ok) {
        std::printf("    expected %d\n", static_cast<int>(expected));
        ++gFailures;
    }
}

template <typename Fn> Fn resolve(HMODULE dll, const char* name) {
    const FARPROC entry = ::GetProcAddress(dll, name);
    if (entry == nullptr) {
        std::printf("%-58s missing FAILED\n", name);
        ++gFailures;
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(entry));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: %s <path of Ulmar.dll>\n", argv[0]);
        return 2;
    }
    const HMODULE dll = ::LoadLibraryA(argv[1]);
    if (dll == nullptr) {
        std::printf("LoadLibrary(%s) failed: %lu\n", argv[1], ::GetLastError());
        return 1;
    }

    const auto open = resolve<OpenDeviceFn>(dll, "VCI_OpenDevice");
    const auto close = resolve<CloseDeviceFn>(dll, "VCI_CloseDevice");
    const auto initCan = resolve<InitCanFn>(dll, "VCI_InitCAN");
    const auto startCan = resolve<ChannelFn>(dll, "VCI_StartCAN");
    const auto resetCan = resolve<ChannelFn>(dll, "VCI_ResetCAN");
    const auto clearBuffer = resolve<ChannelFn>(dll, "VCI_ClearBuffer");
    const auto getReference = resolve<ReferenceFn>(dll, "VCI_GetReference");
    const auto setReference = resolve<ReferenceFn>(dll, "VCI_SetReference");
    const auto getReference2 = resolve<ReferenceFn>(dll, "VCI_GetReference2");
    const auto setReference2 = resolve<ReferenceFn>(dll, "VCI_SetReference2");
    const auto transmit = resolve<TransmitFn>(dll, "VCI_Transmit");
    const auto receive = resolve<ReceiveFn>(dll, "VCI_Receive");
    const auto receiveNum = resolve<ChannelFn>(dll, "VCI_GetReceiveNum");
    const auto readStatus = resolve<ChannelRecordFn>(dll, "VCI_ReadCANStatus");
    const auto readErrInfo = resolve<ChannelRecordFn>(dll, "VCI_ReadErrInfo");
    const auto readBoardInfo = resolve<DeviceRecordFn>(dll, "VCI_ReadBoardInfo");
    const auto writeBoardInfo = resolve<DeviceRecordFn>(dll, "VCI_WriteBoardInfo");
    const auto find = resolve<FindFn>(dll, "VCI_FindUsbDevice");
    const auto find2 = resolve<FindFn>(dll, "VCI_FindUsbDevice2");
    const auto usbReset = resolve<OpenDeviceFn>(dll, "VCI_UsbDeviceReset");
    const auto connect = resolve<DeviceFn>(dll, "VCI_ConnectDevice");
    const auto resumeConfig = resolve<ChannelFn>(dll, "VCI_ResumeConfig");
    const auto getRepeater = resolve<ReferenceFn>(dll, "VCI_GetRepeaterReference");
    const auto setRepeater = resolve<ReferenceFn>(dll, "VCI_SetRepeaterReference");
    if (gFailures != 0)
        return 1;
    check("VCI_FindUsbDevice2 is the entry of VCI_FindUsbDevice", find2 == find ? 1 : 0, 1);

    std::uint8_t record[128] = {};
    std::uint8_t config[16] = {};
    u32 value = 0;

    // A device type outside 3, 4, 20, 21 is rejected by every export that takes one.
    constexpr u32 kBadType = 5;
    check("VCI_OpenDevice(type 5)", open(kBadType, 0, 0), 0);
    check("VCI_CloseDevice(type 5)", close(kBadType, 0), 0);
    check("VCI_InitCAN(type 5)", initCan(kBadType, 0, 0, config), 0);
    check("VCI_StartCAN(type 5)", startCan(kBadType, 0, 0), 0);
    check("VCI_ResetCAN(type 5)", resetCan(kBadType, 0, 0), 0);
    check("VCI_ClearBuffer(type 5)", clearBuffer(kBadType, 0, 0), 0);
    check("VCI_GetReference(type 5)", getReference(kBadType, 0, 0, 1, &value), 0);
    check("VCI_SetReference(type 5)", setReference(kBadType, 0, 0, 0, &value), 0);
    check("VCI_GetReference2(type 5)", getReference2(kBadType, 0, 0, 0, record), 0);
    check("VCI_SetReference2(type 5)", setReference2(kBadType, 0, 0, 0, record), 0);
    check("VCI_Transmit(type 5)", transmit(kBadType, 0, 0, record, 1), 0);
    check("VCI_Receive(type 5)", receive(kBadType, 0, 0, record, 1, 0), 0);
    check("VCI_GetReceiveNum(type 5)", receiveNum(kBadType, 0, 0), 0);
    check("VCI_ReadCANStatus(type 5)", readStatus(kBadType, 0, 0, record), 0);
    check("VCI_ReadErrInfo(type 5)", readErrInfo(kBadType, 0, 0, record), 0);
    check("VCI_ReadBoardInfo(type 5)", readBoardInfo(kBadType, 0, record), 0);
    check("VCI_WriteBoardInfo(type 5)", writeBoardInfo(kBadType, 0, record), 0);
    check("VCI_UsbDeviceReset(type 5)", usbReset(kBadType, 0, 0), 0);
    check("VCI_ConnectDevice(type 5)", connect(kBadType, 0), 0);
    check("VCI_ResumeConfig(type 5)", resumeConfig(kBadType, 0, 0), 0);
    check("VCI_GetRepeaterReference(type 5)", getRepeater(kBadType, 0, 0, 0, record), 0);
    check("VCI_SetRepeaterReference(type 5)", setRepeater(kBadType, 0, 0, 0, record), 0);

    // Channel 2 and device index 101 are rejected too.
    check("VCI_StartCAN(channel 2)", startCan(4, 0, 2), 0);
    check("VCI_ResumeConfig(channel 2)", resumeConfig(4, 0, 2), 0);
    check("VCI_OpenDevice(index 101)", open(4, 101, 0), 0);

    // With no adapter present.
    check("VCI_FindUsbDevice: no adapter", find(record), 0);
    check("VCI_FindUsbDevice2: no adapter", find2(record), 0);
    check("VCI_ConnectDevice: no adapter", connect(4, 0), 0);
    check("VCI_OpenDevice: no adapter", open(4, 0, 0), 0);
    check("VCI_InitCAN before open: pipe not open", initCan(4, 0, 0, config), -1);
    check("VCI_Transmit before open: pipe not open", transmit(4, 0, 1, record, 1), -1);
    check("VCI_Receive before open: pipe not open", receive(4, 0, 1, record, 1, 0), -1);
    check("VCI_ReadErrInfo fills zeros", readErrInfo(4, 0, 1, record), 1);
    check("VCI_ResumeConfig with valid arguments", resumeConfig(4, 0, 1), 1);
    check("VCI_CloseDevice without open", close(4, 0), 1);

    std::printf("%s\n", gFailures == 0 ? "all exports answered as expected" : "FAILURES");
    return gFailures == 0 ? 0 : 1;
}
