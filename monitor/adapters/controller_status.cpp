#include "adapters/controller_status.h"

#include "ulmar.h"

namespace {

constexpr std::uint8_t ErrorWarningBit = 0x40;
constexpr std::uint8_t BusOffBit = 0x80;
// A controller whose counter reaches this takes part only passively.
constexpr std::uint8_t ErrorPassiveLimit = 128;
constexpr std::uint8_t ErrorWarningLimit = 96;

TControllerState StateOf(std::uint8_t statusRegister, std::uint8_t rx, std::uint8_t tx) {
    if (statusRegister & BusOffBit)
        return TControllerState::BusOff;
    if (rx >= ErrorPassiveLimit || tx >= ErrorPassiveLimit)
        return TControllerState::ErrorPassive;
    if ((statusRegister & ErrorWarningBit) || rx >= ErrorWarningLimit || tx >= ErrorWarningLimit)
        return TControllerState::Warning;
    return TControllerState::ErrorActive;
}

} // namespace

TControllerStatus TControllerStatusReader::Take(const VciCanStatus& record) {
    const auto count =
        static_cast<std::uint16_t>(record.registerImage[2] | (record.extra & 0xFF) << 8);
    if (FHaveBaseline)
        FOverruns += static_cast<std::uint16_t>(count - FLastCount);
    FHaveBaseline = true;
    FLastCount = count;

    TControllerStatus status;
    status.Valid = true;
    status.ReceiveErrors = record.registerImage[0];
    status.TransmitErrors = record.registerImage[1];
    status.State = StateOf(record.statusCode, status.ReceiveErrors, status.TransmitErrors);
    status.Overruns = FOverruns;
    return status;
}
