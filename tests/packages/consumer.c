/* A host program built against the installed Ulmar: it sends frames on
 * channel 0 of the first adapter and expects them on channel 1 (ulmar-emu
 * puts both channels on one bus). Exit code 0 when every frame arrived
 * intact, 1 otherwise. Built once through pkg-config and once through
 * find_package(Ulmar) by scripts/test-packages.sh. */
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <ulmar.h>

enum { kDeviceType = 4, kFrameCount = 20, kDeadlineSeconds = 30 };

static int startChannel(uint32_t channel) {
    VciInitConfig config;
    memset(&config, 0, sizeof config);
    config.acceptMask = 0xFFFFFFFFu;
    config.btr0 = 0x00; /* 500 kbit/s */
    config.btr1 = 0x1C;
    return VCI_InitCAN(kDeviceType, 0, channel, &config) == 1 &&
           VCI_StartCAN(kDeviceType, 0, channel) == 1;
}

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(void) {
    VciCanFrame sent[kFrameCount];
    VciCanFrame got[kFrameCount];
    int received = 0;
    int i;

    if (VCI_OpenDevice(kDeviceType, 0, 0) != 1 || !startChannel(0) || !startChannel(1)) {
        fprintf(stderr, "consumer: cannot open and start the adapter\n");
        return 1;
    }
    memset(sent, 0, sizeof sent);
    for (i = 0; i < kFrameCount; ++i) {
        sent[i].canId = 0x100u + (uint32_t)i;
        sent[i].length = 3;
        sent[i].payload[0] = (uint8_t)i;
        sent[i].payload[1] = 0xA5;
        sent[i].payload[2] = 0x5A;
    }
    if (VCI_Transmit(kDeviceType, 0, 0, sent, kFrameCount) != kFrameCount) {
        fprintf(stderr, "consumer: the adapter did not take every frame\n");
        return 1;
    }
    const double deadline = now() + kDeadlineSeconds;
    while (received < kFrameCount && now() < deadline) {
        const int32_t n =
            VCI_Receive(kDeviceType, 0, 1, got + received, (uint32_t)(kFrameCount - received), 100);
        if (n < 0) {
            fprintf(stderr, "consumer: receiving failed (%d)\n", (int)n);
            return 1;
        }
        received += n;
    }
    VCI_ResetCAN(kDeviceType, 0, 0);
    VCI_ResetCAN(kDeviceType, 0, 1);
    VCI_CloseDevice(kDeviceType, 0);

    if (received != kFrameCount) {
        fprintf(stderr, "consumer: %d of %d frames arrived\n", received, kFrameCount);
        return 1;
    }
    for (i = 0; i < kFrameCount; ++i) {
        if (got[i].canId != sent[i].canId || got[i].length != sent[i].length ||
            memcmp(got[i].payload, sent[i].payload, sent[i].length) != 0) {
            fprintf(stderr, "consumer: frame %d arrived changed (id %X)\n", i,
                    (unsigned)got[i].canId);
            return 1;
        }
    }
    printf("consumer: %d frames moved from channel 0 to channel 1\n", kFrameCount);
    return 0;
}
