// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>

namespace qob {

// A drop-down list that tells when its list opens: a press that opens it while it already has the
// focus, or while the popup takes the focus away, sends no focus-in event of its own.
class PopupComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void popupAboutToShow();
};

} // namespace qob
