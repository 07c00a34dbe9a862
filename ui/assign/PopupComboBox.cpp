// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/assign/PopupComboBox.h"

namespace qob {

void PopupComboBox::showPopup() {
    emit popupAboutToShow();
    QComboBox::showPopup();
}

} // namespace qob
