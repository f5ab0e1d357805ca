/* Ulmar: flat C interface to the two-channel USB-CAN adapter (04D8:0053).
 *
 * Every function returns a signed 32-bit result: 1 done, 0 rejected or
 * failed, -1 pipe not open (or a failed frame transfer), or a count where a
 * count is asked for. All records are packed and little-endian; the caller
 * owns them and passes them by pointer. */
#ifndef ULMAR_H
#define ULMAR_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define VCI_API __stdcall
#else
#define VCI_API
#endif

#ifdef __cplusplus
#define VCI_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define VCI_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

/* Device type codes accepted by every export that takes one. 3 and 4 behave
 * alike; 20 and 21 take their bit rate from VCI_SetReference kind 0. */
#define VCI_DEVICE_TYPE_3 3u
#define VCI_DEVICE_TYPE_4 4u
#define VCI_DEVICE_TYPE_20 20u
#define VCI_DEVICE_TYPE_21 21u

#pragma pack(push, 1)

/* One CAN frame, element of the arrays of VCI_Transmit and VCI_Receive. */
typedef struct VciCanFrame {
    uint32_t canId;       /* identifier, right-aligned (11 or 29 bits) */
    uint32_t stampTicks;  /* device time stamp in 0.1 ms, receive only */
    uint8_t stampValid;   /* 1 on every received frame */
    uint8_t transmitMode; /* passed to the adapter on transmit; 0 on receive */
    uint8_t isRemote;     /* 1 = remote frame */
    uint8_t isExtended;   /* 1 = 29-bit identifier */
    uint8_t length;       /* data length code, 0 to 8 */
    uint8_t payload[8];
    uint8_t spare[3];
} VciCanFrame;

/* Argument of VCI_InitCAN. btr0/btr1 use the SJA1000 bus timing layout. */
typedef struct VciInitConfig {
    uint32_t acceptCode;
    uint32_t acceptMask;
    uint32_t spare;
    uint8_t filterKind;
    uint8_t btr0;
    uint8_t btr1;
    uint8_t busMode; /* 0 to 3 */
} VciInitConfig;

/* Filled by VCI_ReadCANStatus. */
typedef struct VciCanStatus {
    uint8_t statusCode;
    uint8_t modeBits;
    uint8_t registerImage[6];
    uint32_t extra;
} VciCanStatus;

/* Filled by VCI_ReadErrInfo (always zeros). */
typedef struct VciErrorInfo {
    uint32_t errorCode;
    uint8_t errorDetail[4];
} VciErrorInfo;

/* Filled by VCI_ReadBoardInfo; bytes 0 to 42 at most are written. */
typedef struct VciBoardInfo {
    uint16_t reportedVersion1;
    uint16_t deviceRelease;
    uint16_t reportedVersion2;
    uint16_t libraryVersion;
    uint16_t reservedWord;
    uint8_t channelCount;
    char serialText[20];
    char typeText[12];
} VciBoardInfo;

/* Filled by VCI_FindUsbDevice; entry 0 of deviceCodes is read by
 * VCI_WriteBoardInfo. */
typedef struct VciDeviceList {
    uint16_t reportedVersion1;
    uint16_t deviceRelease;
    uint16_t reportedVersion2;
    uint16_t libraryVersion;
    uint16_t reservedWord;
    uint8_t channelCount;
    uint8_t spareByte;
    char serialText[8]; /* "CAN-" and four characters, no terminator */
    char typeText[16];
    char deviceCodes[10][4];
} VciDeviceList;

/* One entry of a channel's acceptance filter (VCI_SetReference kind 1). */
typedef struct VciFilterEntry {
    uint32_t frameKind; /* compared with isExtended */
    uint32_t firstId;   /* inclusive, unsigned */
    uint32_t lastId;    /* inclusive, unsigned */
} VciFilterEntry;

#pragma pack(pop)

VCI_STATIC_ASSERT(sizeof(VciCanFrame) == 24, "VciCanFrame is 24 bytes");
VCI_STATIC_ASSERT(offsetof(VciCanFrame, canId) == 0, "VciCanFrame.canId");
VCI_STATIC_ASSERT(offsetof(VciCanFrame, stampTicks) == 4, "VciCanFrame.stampTicks");
VCI_STATIC_ASSERT(offsetof(VciCanFrame, stampValid) == 8, "VciCanFrame.stampValid");
VCI_STATIC_ASSERT(offsetof(VciCanFrame, transmitMode) == 9, "VciCanFrame.transmitMode");
VCI_STATIC_ASSERT(offsetof(VciCanFrame, isRemote) == 10, "VciCanFrame.isRemote");
VCI_STATIC_ASSERT(offsetof(VciCanFrame, isExtended) == 11, "VciCanFrame.isExtended");
VCI_STATIC_ASSERT(offsetof(VciCanFrame, length) == 12, "VciCanFrame.length");
VCI_STATIC_ASSERT(offsetof(VciCanFrame, payload) == 13, "VciCanFrame.payload");
VCI_STATIC_ASSERT(offsetof(VciCanFrame, spare) == 21, "VciCanFrame.spare");

VCI_STATIC_ASSERT(sizeof(VciInitConfig) == 16, "VciInitConfig is 16 bytes");
VCI_STATIC_ASSERT(offsetof(VciInitConfig, acceptCode) == 0, "VciInitConfig.acceptCode");
VCI_STATIC_ASSERT(offsetof(VciInitConfig, acceptMask) == 4, "VciInitConfig.acceptMask");
VCI_STATIC_ASSERT(offsetof(VciInitConfig, spare) == 8, "VciInitConfig.spare");
VCI_STATIC_ASSERT(offsetof(VciInitConfig, filterKind) == 12, "VciInitConfig.filterKind");
VCI_STATIC_ASSERT(offsetof(VciInitConfig, btr0) == 13, "VciInitConfig.btr0");
VCI_STATIC_ASSERT(offsetof(VciInitConfig, btr1) == 14, "VciInitConfig.btr1");
VCI_STATIC_ASSERT(offsetof(VciInitConfig, busMode) == 15, "VciInitConfig.busMode");

VCI_STATIC_ASSERT(sizeof(VciCanStatus) == 12, "VciCanStatus is 12 bytes");
VCI_STATIC_ASSERT(offsetof(VciCanStatus, statusCode) == 0, "VciCanStatus.statusCode");
VCI_STATIC_ASSERT(offsetof(VciCanStatus, modeBits) == 1, "VciCanStatus.modeBits");
VCI_STATIC_ASSERT(offsetof(VciCanStatus, registerImage) == 2, "VciCanStatus.registerImage");
VCI_STATIC_ASSERT(offsetof(VciCanStatus, extra) == 8, "VciCanStatus.extra");

VCI_STATIC_ASSERT(sizeof(VciErrorInfo) == 8, "VciErrorInfo is 8 bytes");
VCI_STATIC_ASSERT(offsetof(VciErrorInfo, errorCode) == 0, "VciErrorInfo.errorCode");
VCI_STATIC_ASSERT(offsetof(VciErrorInfo, errorDetail) == 4, "VciErrorInfo.errorDetail");

VCI_STATIC_ASSERT(sizeof(VciBoardInfo) == 43, "VciBoardInfo is 43 bytes");
VCI_STATIC_ASSERT(offsetof(VciBoardInfo, reportedVersion1) == 0, "VciBoardInfo.reportedVersion1");
VCI_STATIC_ASSERT(offsetof(VciBoardInfo, deviceRelease) == 2, "VciBoardInfo.deviceRelease");
VCI_STATIC_ASSERT(offsetof(VciBoardInfo, reportedVersion2) == 4, "VciBoardInfo.reportedVersion2");
VCI_STATIC_ASSERT(offsetof(VciBoardInfo, libraryVersion) == 6, "VciBoardInfo.libraryVersion");
VCI_STATIC_ASSERT(offsetof(VciBoardInfo, reservedWord) == 8, "VciBoardInfo.reservedWord");
VCI_STATIC_ASSERT(offsetof(VciBoardInfo, channelCount) == 10, "VciBoardInfo.channelCount");
VCI_STATIC_ASSERT(offsetof(VciBoardInfo, serialText) == 11, "VciBoardInfo.serialText");
VCI_STATIC_ASSERT(offsetof(VciBoardInfo, typeText) == 31, "VciBoardInfo.typeText");

VCI_STATIC_ASSERT(sizeof(VciDeviceList) == 76, "VciDeviceList is 76 bytes");
VCI_STATIC_ASSERT(offsetof(VciDeviceList, reportedVersion1) == 0, "VciDeviceList.reportedVersion1");
VCI_STATIC_ASSERT(offsetof(VciDeviceList, deviceRelease) == 2, "VciDeviceList.deviceRelease");
VCI_STATIC_ASSERT(offsetof(VciDeviceList, reportedVersion2) == 4, "VciDeviceList.reportedVersion2");
VCI_STATIC_ASSERT(offsetof(VciDeviceList, libraryVersion) == 6, "VciDeviceList.libraryVersion");
VCI_STATIC_ASSERT(offsetof(VciDeviceList, reservedWord) == 8, "VciDeviceList.reservedWord");
VCI_STATIC_ASSERT(offsetof(VciDeviceList, channelCount) == 10, "VciDeviceList.channelCount");
VCI_STATIC_ASSERT(offsetof(VciDeviceList, spareByte) == 11, "VciDeviceList.spareByte");
VCI_STATIC_ASSERT(offsetof(VciDeviceList, serialText) == 12, "VciDeviceList.serialText");
VCI_STATIC_ASSERT(offsetof(VciDeviceList, typeText) == 20, "VciDeviceList.typeText");
VCI_STATIC_ASSERT(offsetof(VciDeviceList, deviceCodes) == 36, "VciDeviceList.deviceCodes");

VCI_STATIC_ASSERT(sizeof(VciFilterEntry) == 12, "VciFilterEntry is 12 bytes");
VCI_STATIC_ASSERT(offsetof(VciFilterEntry, frameKind) == 0, "VciFilterEntry.frameKind");
VCI_STATIC_ASSERT(offsetof(VciFilterEntry, firstId) == 4, "VciFilterEntry.firstId");
VCI_STATIC_ASSERT(offsetof(VciFilterEntry, lastId) == 8, "VciFilterEntry.lastId");

#ifdef __cplusplus
extern "C" {
#endif

/* Device life cycle. */
int32_t VCI_API VCI_OpenDevice(uint32_t deviceType, uint32_t deviceIndex, uint32_t reserved);
int32_t VCI_API VCI_CloseDevice(uint32_t deviceType, uint32_t deviceIndex);

/* Channel configuration. */
int32_t VCI_API VCI_InitCAN(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                            const VciInitConfig* config);
int32_t VCI_API VCI_StartCAN(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel);
int32_t VCI_API VCI_ResetCAN(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel);
int32_t VCI_API VCI_ClearBuffer(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel);
int32_t VCI_API VCI_GetReference(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                 uint32_t kind, uint32_t* value);
int32_t VCI_API VCI_SetReference(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                 uint32_t kind, const void* data);
int32_t VCI_API VCI_GetReference2(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                  uint32_t reserved, uint8_t* buffer27);
int32_t VCI_API VCI_SetReference2(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                  uint32_t kind, const uint8_t* data);

/* Frame transfer and status. */
int32_t VCI_API VCI_Transmit(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                             const VciCanFrame* frames, uint32_t count);
int32_t VCI_API VCI_Receive(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                            VciCanFrame* frames, uint32_t capacity, int32_t waitTime);
int32_t VCI_API VCI_GetReceiveNum(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel);
int32_t VCI_API VCI_ReadCANStatus(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                  VciCanStatus* status);
int32_t VCI_API VCI_ReadErrInfo(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                VciErrorInfo* info);

/* Board information and maintenance. */
int32_t VCI_API VCI_ReadBoardInfo(uint32_t deviceType, uint32_t deviceIndex, VciBoardInfo* info);
int32_t VCI_API VCI_WriteBoardInfo(uint32_t deviceType, uint32_t deviceIndex,
                                   const VciDeviceList* list);
int32_t VCI_API VCI_FindUsbDevice(VciDeviceList* list);
int32_t VCI_API VCI_FindUsbDevice2(VciDeviceList* list); /* same entry as VCI_FindUsbDevice */
int32_t VCI_API VCI_UsbDeviceReset(uint32_t deviceType, uint32_t deviceIndex, uint32_t reserved);
int32_t VCI_API VCI_ConnectDevice(uint32_t deviceType, uint32_t deviceIndex);
int32_t VCI_API VCI_ResumeConfig(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel);
int32_t VCI_API VCI_GetRepeaterReference(uint32_t deviceType, uint32_t deviceIndex,
                                         uint32_t channel, uint32_t kind, uint8_t* value);
int32_t VCI_API VCI_SetRepeaterReference(uint32_t deviceType, uint32_t deviceIndex,
                                         uint32_t channel, uint32_t kind, const uint8_t* value);

#ifdef __cplusplus
}
#endif

#endif /* ULMAR_H */
