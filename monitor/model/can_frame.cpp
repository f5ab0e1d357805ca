#include "model/can_frame.h"

void TCanFrame::Assign(const TCanFrame& source) {
    *this = source;
}
