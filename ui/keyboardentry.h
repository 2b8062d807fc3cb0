#pragma once

#include <QObject>

namespace qova::ui {

// A one-line field that the operator reaches from the keyboard (Tab, Enter where a dialog
// moves on with it, a mnemonic, or as the first field of a window just opened) has its text
// selected, so that typing replaces what it held instead of adding to it, as the edit fields
// of the analyser's earlier workstation did. A click still puts the cursor where it lands.
class KeyboardEntrySelects final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// Installs one KeyboardEntrySelects on the application, for every window it makes.
void SelectTextOnKeyboardEntry(QObject &application);

} // namespace qova::ui
