/* Compiles the public header as C, so its size and offset checks run in C too. */
#include "ulmar.h"

int ulmarHeaderCompilesAsC(void) {
    return (int)(sizeof(VciCanFrame) + sizeof(VciInitConfig) + sizeof(VciCanStatus) +
                 sizeof(VciErrorInfo) + sizeof(VciBoardInfo) + sizeof(VciDeviceList) +
                 sizeof(VciFilterEntry));
}
