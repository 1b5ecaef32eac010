#pragma once
// TComComboBox: a drop-down list bound to one setting of a port (port name, baud rate, …) through a
// TComSelect. It shows the possible values, selects the port's current value, and writes the user's
// choice back to the port when AutoApply is on. A selection made by the program writes nothing.
//
// A port list (cpPort) is refilled each time it drops down and is editable, so any device path can be
// typed (Enter or leaving the field chooses it); with AutoApply on, binding it to a port whose name is
// not on this machine chooses the first serial device (USB adapters first), if there is one.

#include "serial/core/com_select.h"

#include <QComboBox>

#include <functional>
#include <string>

class TCustomComPort;

enum TComboStyle { csDropDown, csDropDownList };

class TComComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TComComboBox(QWidget* parent = nullptr);
    ~TComComboBox() override;

    TCustomComPort* ComPort() const { return select_.ComPort(); }
    void SetComPort(TCustomComPort* port);
    TComProperty ComProperty() const { return select_.ComProperty(); }
    void SetComProperty(TComProperty v);
    bool AutoApply() const { return select_.AutoApply(); }
    void SetAutoApply(bool v);
    TComboStyle Style() const { return isEditable() ? csDropDown : csDropDownList; }
    void SetStyle(TComboStyle v);
    // The selected item's text ("" when nothing is selected; the typed text of an editable list).
    std::string Text() const;
    // Selects the item with this text (case-insensitive); otherwise nothing changes.
    void SetText(const std::string& text);
    // Selects the port's current value again (after the program changed the port).
    void SyncToPort();
    // Fills the list again (a port list does this itself when it drops down).
    void RefreshItems();

    // After a user's choice was taken (and written to the port with AutoApply).
    std::function<void(TComComboBox& sender)> OnChange;

    TComSelect& Select() { return select_; }

protected:
    void showPopup() override;

private:
    void Fill(const std::vector<std::string>& items);
    void UserChose(const QString& text);
    void ChoosePreferredPort();
    void PortDestroyed();

    TComSelect select_;
    bool filling_ = false;
};
