// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/ElementMap.h"

#include "model/Preset.h"

namespace qob {

std::int16_t locateRegion(float x, float y, bool channelShift) {
    for (const Region& r : kRegions) {
        bool hit = false;
        if (r.kind == RegionKind::Wheel) {
            // Single precision throughout, as the pointer position arrives.
            const float dx = x - static_cast<float>(kWheelCentreX);
            const float dy = y - static_cast<float>(kWheelCentreY);
            const float sum = dx * dx + dy * dy;
            hit = sum < static_cast<float>(kWheelRadius * kWheelRadius);
        } else {
            hit = static_cast<float>(r.left) < x && x < static_cast<float>(r.right) &&
                  static_cast<float>(r.top) < y && y < static_cast<float>(r.bottom);
        }
        if (hit)
            return channelShift ? r.bank2Code : r.bank1Code;
    }
    return NO_ELEMENT;
}

} // namespace qob
